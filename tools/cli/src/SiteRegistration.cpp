#include "linkmeter/cli/SiteRegistration.h"

#include <fstream>
#include <sstream>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/SiteRecorder.h"
#include "linkmeter/cli/UnitConnection.h"

namespace linkmeter::cli {
namespace {

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

std::optional<lm::json::Value> SiteRegistration(PageCalls& page, const UnitConnection& unit, SiteRecorder& recorder,
                                                const std::optional<std::string>& file, std::string& error) {
  const auto serial = SerialNumber(unit.Serial());
  if (file) {
    auto reg = ReadRegistrationFile(*file, error);
    if (reg) {
      recorder.Answer("RSETF", lm::json::MakeObject({{"regInfo", *reg}}), serial, NowMs(), "file");
    }
    return reg;
  }
  PageAnswer answer = page.Command("RSETF", lm::json::Object{{"comInfo", unit.ComInfo()}});
  if (!answer.ok) {
    error = "the base unit's registration could not be read (RSETF): " + FailureText(answer) +
            "; give it with --registration FILE";
    return std::nullopt;
  }
  recorder.Answer("RSETF", answer.value, serial, NowMs());
  if (!answer.value.contains("regInfo") || !HasGroups(answer.value.get("regInfo"))) {
    error = "the base unit holds no registration";
    return std::nullopt;
  }
  return answer.value.get("regInfo");
}

}  // namespace linkmeter::cli
