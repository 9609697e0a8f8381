#include "linkmeter/cli/SiteRegistration.h"

#include <fstream>
#include <sstream>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

using lm::json::Value;

bool HasGroups(const lm::json::Value& v) {
  return v.is<lm::json::Object>() && v.contains("groups") && v.get("groups").is<lm::json::Array>();
}

}  // namespace

std::optional<lm::json::Value> ReadRegistrationFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read the registration file " + path;
    return std::nullopt;
  }
  std::ostringstream text;
  text << in.rdbuf();
  auto parsed = lm::json::Parse(text.str());
  if (parsed && parsed->is<lm::json::Object>() && parsed->contains("regInfo")) parsed = parsed->get("regInfo");
  if (!parsed || !HasGroups(*parsed)) {
    error = "the registration file " + path + " holds no registration ({\"groups\": [...]})";
    return std::nullopt;
  }
  return parsed;
}

std::optional<lm::json::Value> SiteRegistration(PageCalls& page, const UnitConnection& unit, PageFlows& flows,
                                                const std::optional<std::string>& file, std::string& error) {
  if (file) {
    auto reg = ReadRegistrationFile(*file, error);
    if (reg) flows.Run("registrationFile", {lm::json::MakeObject({{"regInfo", *reg}})}, nullptr);
    return reg;
  }
  PageAnswer answer = page.Command("RSETF", lm::json::Object{{"comInfo", unit.ComInfo()}});
  if (!answer.ok) {
    error = "the base unit's registration could not be read (RSETF): " + FailureText(answer) +
            "; give it with --registration FILE";
    return std::nullopt;
  }
  if (!answer.value.contains("regInfo") || !HasGroups(answer.value.get("regInfo"))) {
    error = "the base unit holds no registration";
    return std::nullopt;
  }
  return answer.value.get("regInfo");
}

Value TargetOfSerial(const Value& regInfo, const std::string& serial) {
  const Value& groups = regInfo.is<lm::json::Object>() && regInfo.contains("groups") ? regInfo.get("groups") : Value();
  if (!groups.is<lm::json::Array>()) return {};
  const lm::json::Array& list = groups.get<lm::json::Array>();
  for (size_t g = 0; g < list.size(); ++g) {
    for (const auto& [kind, member] : {std::pair{"remote", "remoteUnits"}, {"repeater", "repeaters"}}) {
      const Value& units = list[g].is<lm::json::Object>() && list[g].contains(member) ? list[g].get(member) : Value();
      if (!units.is<lm::json::Array>()) continue;
      for (const auto& u : units.get<lm::json::Array>()) {
        if (MemberText(u, "serial") != serial) continue;
        return lm::json::MakeObject({{"group", lm::json::Number(static_cast<int>(g))},
                                     {"kind", lm::json::String(kind)}, {"num", u.get("num")}});
      }
    }
  }
  return {};
}

}  // namespace linkmeter::cli
