#include "linkmeter/cli/SiteRegistration.h"

#include <fstream>
#include <sstream>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/SiteLogic.h"
#include "linkmeter/cli/UnitConnection.h"
#include "linkmeter/cli/UnitNames.h"

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

std::optional<Value> TargetNamed(SiteLogic& logic, const Value& regInfo, const std::string& wanted, bool repeaters,
                                 std::string& error, std::string* serial) {
  auto listed = logic.Call("namedUnits", {regInfo}, &error);
  if (!listed || !listed->is<lm::json::Array>()) return std::nullopt;
  std::vector<Value> targets;
  std::vector<NamedUnit> named;
  for (const auto& u : listed->get<lm::json::Array>()) {
    if (!repeaters && MemberText(u, "kind") != "remote") continue;
    NamedUnit unit{MemberText(u, "serial"), {}, ""};
    for (const auto& name : MemberArray(u, "names")) unit.names.push_back(NumberText(name));
    named.push_back(std::move(unit));
    targets.push_back(lm::json::MakeObject({{"group", MemberValue(u, "group")}, {"kind", MemberValue(u, "kind")},
                                            {"num", MemberValue(u, "num")}}));
  }
  const UnitPick pick = PickUnit(named, wanted, repeaters ? "remote unit or repeater of the registration" : "remote unit of the registration");
  if (!pick.index) {
    error = pick.error;
    return std::nullopt;
  }
  if (serial) *serial = pick.serial;
  return targets[*pick.index];
}

}  // namespace linkmeter::cli
