#include "linkmeter/cli/SiteRecorder.h"

#include <algorithm>
#include <chrono>
#include <regex>
#include <set>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

bool IsSecret(const std::string& key) {
  static const std::regex kSecret("^(PW|FTPPW|AUTHPW|POPPW|WEP|PSK)$");
  return std::regex_match(key, kSecret);
}

const lm::json::Value& Hidden() {
  static const lm::json::Value hidden = lm::json::MakeObject({{"hidden", lm::json::Bool(true)}});
  return hidden;
}

lm::json::Value SecretsHidden(const lm::json::Value& v) {
  if (!v.is<lm::json::Object>()) return v;
  lm::json::Object out;
  for (const auto& [k, member] : v.get<lm::json::Object>()) out[k] = IsSecret(k) ? Hidden() : member;
  return lm::json::Value(std::move(out));
}

bool IsSettingsRead(const std::string& m) {
  static const std::regex kRead("^R[A-Z]{4}$|^EW[A-Z]{2}R$");
  return m != "RSETF" && std::regex_match(m, kRead);
}

}  // namespace

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

lm::json::Value AnswerData(const lm::json::Value& answer) {
  static const std::set<std::string> kFrame{"comInfo", "cmdName", "isSuccess", "isCancel", "isTimeout"};
  lm::json::Object out;
  if (!answer.is<lm::json::Object>()) return lm::json::Value(out);
  for (const auto& [k, v] : answer.get<lm::json::Object>()) {
    if (!kFrame.count(k)) out[k] = IsSecret(k) ? Hidden() : v;
  }
  if (out.count("undecoded")) out["undecoded"] = SecretsHidden(out["undecoded"]);
  return lm::json::Value(std::move(out));
}

lm::json::Value WithoutComInfo(const lm::json::Value& answer) {
  if (!answer.is<lm::json::Object>()) return answer;
  lm::json::Object out = answer.get<lm::json::Object>();
  out.erase("comInfo");
  return lm::json::Value(std::move(out));
}

SiteRecorder::SiteRecorder(PageCalls& page, Progress& progress, bool enabled)
    : page_(page), progress_(progress), enabled_(enabled) {}

std::optional<lm::json::Value> SiteRecorder::Call(const std::string& function, lm::json::Object arg) {
  if (!enabled_) return std::nullopt;
  PageAnswer answer = page_.Query("LmRecords" + function, lm::json::Value(std::move(arg)));
  if (answer.ok) return answer.value;
  if (error_.empty()) {
    error_ = "the site records could not be written (" + function + "): " + FailureText(answer);
    progress_.Line("warning: " + error_);
  }
  return std::nullopt;
}

void SiteRecorder::BeginVisit(const lm::json::Value& comInfo) {
  auto serial = SerialNumber(MemberText(comInfo, "serial"));
  if (!enabled_ || visitId_ || !serial) return;
  lm::json::Object site{{"serial", lm::json::Number(*serial)},
                        {"name", lm::json::String(MemberText(comInfo, "name"))},
                        {"model", lm::json::String(MemberText(comInfo, "model"))}};
  auto answer = Call("BeginVisit", {{"site", lm::json::Value(std::move(site))}});
  if (answer && answer->is<lm::json::Object>() && answer->contains("id") && answer->get("id").is<double>()) {
    visitId_ = static_cast<int64_t>(answer->get("id").get<double>());
  }
}

void SiteRecorder::EndVisit() {
  if (!visitId_) return;
  Call("EndVisit", {{"visitId", lm::json::Number(*visitId_)}, {"endedAt", lm::json::Number(NowMs())}});
  visitId_.reset();
}

void SiteRecorder::Answer(const std::string& mnemonic, const lm::json::Value& answer, std::optional<int64_t> unit,
                          int64_t at, const std::string& source) {
  if (!visitId_) return;
  // Two reads with empty raw bytes in the same millisecond would make one
  // content id, and the store would keep only the first: each read gets a
  // time of its own.
  at = std::max(at, lastTakenAt_ + 1);
  lastTakenAt_ = at;
  lm::json::Object arg{{"visitId", lm::json::Number(*visitId_)}, {"takenAt", lm::json::Number(at)},
                       {"source", lm::json::String(source)}, {"raw", lm::json::Value(lm::json::Array())}};
  if (unit) arg["unit"] = lm::json::Number(*unit);
  lm::json::Value data = AnswerData(answer);
  std::string function;
  if (mnemonic == "RSETF") {
    // The registration's bytes are the record's raw bytes, as the page
    // keeps them, not a member of its decoded form.
    function = "RecordRegistration";
    auto& d = data.get<lm::json::Object>();
    if (d.count("DATA")) arg["raw"] = d["DATA"];
    d.erase("DATA");
  } else if (mnemonic == "ELOGS") {
    function = "RecordLog";
  } else if (mnemonic == "EISUC" || mnemonic == "EWSUC") {
    function = "RecordDownload";
    auto& d = data.get<lm::json::Object>();
    arg["header"] = d.count("Header") ? d["Header"] : lm::json::Value(lm::json::Array());
    arg["raw"] = d.count("Data") ? d["Data"] : lm::json::Value(lm::json::Array());
    d.erase("Header");
    d.erase("Data");
  } else if (IsSettingsRead(mnemonic)) {
    function = "RecordSettingsRead";
  } else {
    return;
  }
  arg["decoded"] = std::move(data);
  Call(function, std::move(arg));
}

std::optional<int64_t> SiteRecorder::BeginSurvey(lm::json::Object arg) {
  if (!visitId_) return std::nullopt;
  arg["visitId"] = lm::json::Number(*visitId_);
  auto answer = Call("RecordSurvey", std::move(arg));
  if (answer && answer->is<lm::json::Object>() && answer->contains("id") && answer->get("id").is<double>()) {
    return static_cast<int64_t>(answer->get("id").get<double>());
  }
  return std::nullopt;
}

void SiteRecorder::SurveyProbes(std::optional<int64_t> surveyId, lm::json::Object arg) {
  if (!surveyId) return;
  arg["surveyId"] = lm::json::Number(*surveyId);
  Call("SurveyProbes", std::move(arg));
}

void SiteRecorder::ScanRound(lm::json::Object arg) {
  if (!visitId_) return;
  arg["visitId"] = lm::json::Number(*visitId_);
  Call("RecordScan", std::move(arg));
}

}  // namespace linkmeter::cli
