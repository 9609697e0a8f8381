#include "linkmeter/cli/RecordContents.h"

#include <set>

#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"

namespace linkmeter::cli {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

size_t Length(const Value& v) { return v.is<Array>() ? v.get<Array>().size() : 0; }

// Bytes behind base64 text.
size_t Base64Bytes(const Value& v) {
  if (!v.is<std::string>()) return 0;
  const std::string& s = v.get<std::string>();
  const size_t pad = s.size() >= 2 && s[s.size() - 2] == '=' ? 2 : (!s.empty() && s.back() == '=' ? 1 : 0);
  return s.size() / 4 * 3 - pad;
}

std::string Registration(const Value& decoded) {
  const Value& groups = MemberValue(MemberValue(decoded, "regInfo"), "groups");
  size_t units = 0;
  for (const auto& g : groups.is<Array>() ? groups.get<Array>() : Array()) units += Length(MemberValue(g, "remoteUnits"));
  return CountOf(Length(groups), "group") + ", " + CountOf(units, "unit");
}

// The first list a decoded answer carries (an event log's events).
size_t FirstListLength(const Value& decoded) {
  for (const auto& [key, member] : decoded.is<Object>() ? decoded.get<Object>() : Object()) {
    if (member.is<Array>() && key != "raw") return member.get<Array>().size();
  }
  return 0;
}

std::string Survey(const Value& s) {
  size_t answered = 0;
  for (const auto& p : MemberValue(s, "probes").is<Array>() ? MemberValue(s, "probes").get<Array>() : Array()) {
    if (MemberValue(p, "answered").is<bool>() && MemberValue(p, "answered").get<bool>()) ++answered;
  }
  const std::string ended = MemberValue(s, "endedAt").is<picojson::null>() ? ", not finished" : "";
  return CountOf(Length(MemberValue(s, "routes")), "route") + ", " + MemberText(s, "probesPerRoute") +
         " per route, " + std::to_string(answered) + " of " + CountOf(Length(MemberValue(s, "probes")), "probe") +
         " answered" + ended;
}

std::string SettingsWrite(const Value& visit, const std::string& id) {
  for (const auto& w : MemberValue(visit, "settingsWrites").is<Array>() ? MemberValue(visit, "settingsWrites").get<Array>() : Array()) {
    if (MemberText(w, "id") != id) continue;
    std::string keys;
    for (const auto& c : MemberValue(w, "changes").is<Array>() ? MemberValue(w, "changes").get<Array>() : Array()) {
      keys += (keys.empty() ? "" : " ") + MemberText(c, "key");
    }
    const bool ok = MemberValue(w, "succeeded").is<bool>() && MemberValue(w, "succeeded").get<bool>();
    return (keys.empty() ? std::string("no keys") : keys) + (ok ? ", accepted" : ", refused: " + MemberText(w, "message"));
  }
  return "";
}

// "1280 probes, 0 hop statistics of 1 survey removed (kept 30 and 365 days)", and
// when the visit's rounds were packed "; 71424 hop statistics of 144 surveys packed".
std::string Thinning(const Value& decoded) {
  auto number = [&](const Value& v, const char* key) {
    const Value& m = MemberValue(v, key);
    return m.is<double>() ? static_cast<size_t>(m.get<double>()) : size_t{0};
  };
  std::set<std::string> surveys;
  for (const auto& p : MemberValue(decoded, "removed").is<Array>() ? MemberValue(decoded, "removed").get<Array>() : Array()) {
    surveys.insert(MemberText(p, "survey"));
  }
  const Value& policy = MemberValue(decoded, "policy");
  const Value& packed = MemberValue(decoded, "packed");
  std::string packing;
  if (packed.is<Object>()) {
    packing = "; " + std::to_string(number(packed, "hops")) + " hop statistics of " +
              CountOf(number(packed, "surveys"), "survey") + " packed";
  }
  return CountOf(number(decoded, "probes"), "probe") + ", " + std::to_string(number(decoded, "hops")) +
         " hop statistics of " + CountOf(surveys.size(), "survey") + " removed (kept " +
         std::to_string(number(policy, "probeDays")) + " and " + std::to_string(number(policy, "hopDays")) + " days)" +
         packing;
}

// A map edit: what was done to which unit or plan, where, and by whom.
std::string MapEdit(const Value& e) {
  const std::string serial = MemberText(e, "serial"), plan = MemberText(e, "plan"), name = MemberText(e, "name");
  std::string out = MemberText(e, "action");
  if (!serial.empty()) out += " unit " + serial;
  if (!plan.empty()) out += std::string(serial.empty() ? " plan " : " on plan ") + plan.substr(0, 8);
  if (MemberValue(e, "x").is<double>() && MemberValue(e, "y").is<double>()) {
    out += " at (" + NumberText(MemberValue(e, "x")) + ", " + NumberText(MemberValue(e, "y")) + ")";
  }
  if (!name.empty()) out += " \"" + OneLine(name) + "\"";
  if (MemberValue(e, "hidden").is<bool>()) out += MemberValue(e, "hidden").get<bool>() ? ", hidden" : ", shown";
  const std::string by = MemberText(e, "by");
  return by.empty() ? out : out + ", by " + OneLine(by);
}

// A plan of the site: its name, image format and size.
std::string SitePlan(const Value& p) {
  std::string out = "\"" + OneLine(MemberText(p, "name")) + "\", " + MemberText(p, "format");
  if (MemberValue(p, "width").is<double>() && MemberValue(p, "height").is<double>()) {
    out += " " + NumberText(MemberValue(p, "width")) + " x " + NumberText(MemberValue(p, "height"));
  }
  return out;
}

}  // namespace

std::string RecordContents(PageCalls& page, const Value& record, const Value& visit) {
  const std::string kind = MemberText(record, "kind");
  if (kind == "settings-write") return SettingsWrite(visit, MemberText(record, "id"));
  PageAnswer read = page.Query("LmRecordsReadRecord", lm::json::MakeObject({{"kind", lm::json::String(kind)},
                                                                            {"id", MemberValue(record, "id")}}));
  if (!read.ok) return "";
  const Value& r = read.value;
  const Value& decoded = MemberValue(r, "decoded");
  if (kind == "registration") return Registration(decoded);
  if (kind == "download") return CountOf(Base64Bytes(MemberValue(r, "raw")), "byte") + " of recorded data";
  if (kind == "event-log") return CountOf(FirstListLength(decoded), "event");
  if (kind == "settings-readback") return CountOf(decoded.is<Object>() ? decoded.get<Object>().size() : 0, "value");
  if (kind == "route-survey" || kind == "site-survey") return Survey(r);
  if (kind == "channel-scan") return CountOf(Length(MemberValue(r, "rounds")), "round");
  if (kind == "thinning") return Thinning(decoded);
  if (kind == "map-edit") return MapEdit(decoded);
  if (kind == "plan") return SitePlan(decoded);
  return "";
}

}  // namespace linkmeter::cli
