#include "linkmeter/cli/AnswerFilters.h"

#include <set>
#include <string>

#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::cli {
namespace {

// The keys the command catalogue marks secret.
bool IsSecret(const std::string& key) { return com::vantor::catalogue::IsSecretKey(key); }

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

}  // namespace

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

}  // namespace linkmeter::cli
