#include "linkmeter/cli/PageCalls.h"

#include <regex>

#include "linkmeter/cli/PageFlows.h"

namespace linkmeter::cli {
namespace {

const lm::json::Object* AsObject(const lm::json::Value& v) {
  return v.is<lm::json::Object>() ? &v.get<lm::json::Object>() : nullptr;
}

std::string Member(const lm::json::Value& v, const std::string& key) {
  const lm::json::Object* o = AsObject(v);
  if (!o) return v.is<std::string>() ? v.get<std::string>() : std::string();
  auto it = o->find(key);
  if (it == o->end()) return {};
  return it->second.is<std::string>() ? it->second.get<std::string>() : it->second.to_str();
}

double NumberMember(const lm::json::Value& v, const std::string& key) {
  const lm::json::Object* o = AsObject(v);
  if (!o) return 0;
  auto it = o->find(key);
  return it != o->end() && it->second.is<double>() ? it->second.get<double>() : 0;
}

// The library failure a msg names: "Vcomm_SendComm : SEND_ERR(-25)".
std::optional<std::pair<std::string, int>> LibraryFailure(const lm::json::Value& v) {
  static const std::regex kLibrary(R"(\b(Vcomm_\w+) : [A-Z_]+\((-?\d+)\))");
  std::smatch m;
  const std::string msg = Member(v, "msg");
  if (std::regex_search(msg, m, kLibrary)) return std::make_pair(m[1].str(), std::stoi(m[2].str()));
  const double code1 = NumberMember(v, "code1");
  const double code2 = NumberMember(v, "code2");
  if (code1 > 1000 && code1 < 1100 && code2 >= 101 && code2 <= 105) {
    return std::make_pair(std::string(code2 == 101 || code2 == 105 ? "Vcomm_Open" : "Vcomm_Comm"),
                          static_cast<int>(1000 - code1));
  }
  return std::nullopt;
}

}  // namespace

PageAnswer PageCalls::Command(std::string_view mnemonic, lm::json::Object arg) {
  PageAnswer answer = Query("ComTcmd" + std::string(mnemonic), lm::json::Value(std::move(arg)));
  if (answer.ok) {
    const lm::json::Object* o = AsObject(answer.value);
    auto it = o ? o->find("isSuccess") : lm::json::Object::const_iterator();
    if (!o || it == o->end() || !it->second.is<bool>() || !it->second.get<bool>()) answer.ok = false;
  }
  return answer;
}

// The program's "method error : " heading off a failure's msg: it names
// the kind of failure, not what went wrong.
std::string WithoutKind(std::string msg) {
  constexpr std::string_view kKind = "method error";
  if (msg.rfind(kKind, 0) != 0) return msg;
  msg.erase(0, kKind.size());
  if (msg.rfind(" : ", 0) == 0) msg.erase(0, 3);
  return msg;
}

PageAnswer FlowPageCalls::Query(const std::string& name, const lm::json::Value& arg) {
  std::string error;
  auto done = flows_.Run("query", {lm::json::MakeObject({{"name", lm::json::String(name)}, {"arg", arg}})}, &error);
  PageAnswer answer;
  if (!done) {
    answer.value = lm::json::ErrorObject(-1, error);
    return answer;
  }
  const lm::json::Object* o = AsObject(*done);
  auto ok = o ? o->find("ok") : lm::json::Object::const_iterator();
  answer.ok = o && ok != o->end() && ok->second.is<bool>() && ok->second.get<bool>();
  if (o && o->count("value")) answer.value = o->at("value");
  if (!answer.ok) answer.code = static_cast<int32_t>(NumberMember(answer.value, "code1"));
  return answer;
}

std::string FailureText(const PageAnswer& answer) {
  std::string msg = WithoutKind(Member(answer.value, "msg"));
  const std::string status = Member(answer.value, "STATUS");
  if (Member(answer.value, "isTimeout") == "true") msg = msg.empty() ? "no answer in time" : msg;
  if (msg.empty()) msg = answer.value.is<std::string>() ? answer.value.get<std::string>() : "failed";
  if (!status.empty() && status != "0000-0000" && msg.find(status) == std::string::npos) msg += " (STATUS " + status + ")";
  return msg;
}

bool IsWrongPassword(const PageAnswer& answer) {
  if (answer.ok) return false;
  auto lib = LibraryFailure(answer.value);
  if (lib && lib->first.find("Open") != std::string::npos) return lib->second == -29;
  const std::string msg = Member(answer.value, "msg");
  return msg.rfind("fail to open", 0) == 0 && (NumberMember(answer.value, "code2") == -29 ||
                                                std::regex_search(msg, std::regex("LOGIN", std::regex::icase)));
}

bool IsLinkLost(const PageAnswer& answer) {
  if (answer.ok) return false;
  auto lib = LibraryFailure(answer.value);
  if (!lib || lib->first.find("Open") != std::string::npos) return false;
  return lib->second == -16 || lib->second == -25 || lib->second == -26 || lib->second == -28;
}

}  // namespace linkmeter::cli
