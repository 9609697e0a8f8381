#include "sorrel/js/RecordsJson.h"

#include <algorithm>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/Base64.h"

namespace Sorrel::Js::records_json {
namespace {

using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Value;
using Need = ArgReader::Need;

constexpr double kMaxExact = 9007199254740991.0;  // the largest integer a page number holds exactly

[[noreturn]] void Invalid(const std::string& path) { throw cef::JsArgumentException(-2, cef::MsgInvalid(path)); }

Value Opt(const std::optional<int64_t>& v) { return v ? Number(*v) : Value(); }
Value Opt(const std::optional<double>& v) { return v ? Number(*v) : Value(); }

Value Strings(const std::vector<std::string>& texts) {
  Array out;
  for (const auto& t : texts) out.push_back(lm::json::String(t));
  return Value(std::move(out));
}

// Stored JSON text back as a value; text that does not parse stays text.
Value Parsed(const std::string& text) {
  if (text.empty()) return Value();
  auto v = lm::json::Parse(text);
  return v ? *v : lm::json::String(text);
}

// Each element of an array member as an object reader.
template <class F>
void EachObject(const ArgReader& r, const std::string& path, F&& read) {
  const Array* items = r.Array(path, Need::Optional);
  if (!items) return;
  for (size_t i = 0; i < items->size(); ++i) {
    const std::string name = path + "[" + std::to_string(i) + "]";
    cef::Ensure((*items)[i].is<lm::json::Object>(), -2, cef::MsgMustBeObject(name));
    read(ArgReader((*items)[i], -1, -2, name));
  }
}

int Int(const ArgReader& r, const std::string& path) {
  int32_t v = 0;
  r.Int32(path, v);
  return v;
}

}  // namespace

std::string Base64(const rec::Bytes& bytes) {
  static const char* const kDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = (uint32_t{bytes[i]} << 16) | (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                       (i + 2 < bytes.size() ? uint32_t{bytes[i + 2]} : 0);
    const size_t digits = std::min<size_t>(4, bytes.size() - i + 1);  // 2, 3 or 4
    for (size_t k = 0; k < 4; ++k) out += k < digits ? kDigits[(n >> (18 - 6 * k)) & 63] : '=';
  }
  return out;
}

std::optional<int64_t> OptInt64(const ArgReader& r, const std::string& path) {
  const Value* v = r.Find(path, Need::Optional);
  if (!v || v->is<picojson::null>()) return std::nullopt;
  if (!lm::json::IsIntegral(*v, -kMaxExact, kMaxExact)) Invalid(path);
  return static_cast<int64_t>(v->get<double>());
}

int64_t Int64(const ArgReader& r, const std::string& path) {
  r.Find(path, Need::Required);
  auto v = OptInt64(r, path);
  if (!v) Invalid(path);
  return *v;
}

rec::Millis TimeOr(const ArgReader& r, const std::string& path, rec::Millis fallback) {
  return OptInt64(r, path).value_or(fallback);
}

std::string TextOr(const ArgReader& r, const std::string& path) {
  std::string s;
  r.String(path, s, Need::Optional);
  return s;
}

rec::Bytes BytesOr(const ArgReader& r, const std::string& path) {
  const Value* v = r.Find(path, Need::Optional);
  rec::Bytes out;
  if (!v || v->is<picojson::null>()) return out;
  if (v->is<lm::json::Array>()) {
    r.Bytes(path, out);
    return out;
  }
  if (!v->is<std::string>()) Invalid(path);
  auto decoded = DecodeBase64(v->get<std::string>());
  if (!decoded) Invalid(path);
  return *decoded;
}

std::string JsonText(const ArgReader& r, const std::string& path, Need need) {
  const Value* v = r.Find(path, need);
  return v && !v->is<picojson::null>() ? lm::json::ToText(*v) : std::string();
}

rec::SiteInfo ReadSite(const ArgReader& r) {
  return {Int64(r, "site.serial"), TextOr(r, "site.name"), TextOr(r, "site.model")};
}

rec::VisitInfo ReadVisitInfo(const ArgReader& r, rec::Millis now) {
  return {TimeOr(r, "startedAt", now), TextOr(r, "technician"), TextOr(r, "customer"), TextOr(r, "notes")};
}

rec::RawRecord ReadRaw(const ArgReader& r, rec::RawKind kind, rec::Millis now) {
  rec::RawRecord out;
  out.kind = kind;
  out.takenAt = TimeOr(r, "takenAt", now);
  out.unit = OptInt64(r, "unit");
  out.source = TextOr(r, "source");
  if (kind == rec::RawKind::kDownload) out.header = BytesOr(r, "header");
  r.Find("raw", Need::Required);
  out.raw = BytesOr(r, "raw");
  out.decodedJson = JsonText(r, "decoded", Need::Optional);
  return out;
}

rec::SurveyInfo ReadSurveyInfo(const ArgReader& r, rec::Millis now) {
  rec::SurveyInfo out;
  std::string kind = "route";
  r.String("kind", kind, Need::Optional);
  if (kind != "route" && kind != "site") Invalid("kind");
  out.kind = kind == "site" ? rec::SurveyKind::kSite : rec::SurveyKind::kRoute;
  out.startedAt = TimeOr(r, "startedAt", now);
  out.probesPerRoute = Int(r, "probesPerRoute");
  r.Array("routes");
  out.routesJson = JsonText(r, "routes", Need::Required);
  out.thresholdsJson = JsonText(r, "thresholds", Need::Optional);
  // The registration snapshot (its row id) the survey is measured with.
  const Value* registration = r.Find("registrationId", Need::Optional);
  if (registration && !registration->is<picojson::null>()) out.registrationId = Int64(r, "registrationId");
  return out;
}

std::vector<rec::Probe> ReadProbes(const ArgReader& r) {
  std::vector<rec::Probe> out;
  EachObject(r, "probes", [&](const ArgReader& p) {
    rec::Probe probe{Int(p, "route"), Int(p, "seq"), Int64(p, "at"), false, BytesOr(p, "raw")};
    p.Bool("answered", probe.answered);
    out.push_back(std::move(probe));
  });
  return out;
}

std::vector<rec::HopStats> ReadHops(const ArgReader& r) {
  std::vector<rec::HopStats> out;
  EachObject(r, "hops", [&](const ArgReader& h) {
    rec::HopStats s;
    s.route = Int(h, "route");
    s.hop = Int(h, "hop");
    s.fromUnit = Int64(h, "fromUnit");
    s.unit = Int64(h, "unit");
    s.sent = Int(h, "sent");
    s.answered = Int(h, "answered");
    auto number = [&](const char* path, std::optional<double>& into) {
      double d = 0;
      const Value* v = h.Find(path, Need::Optional);
      if (v && !v->is<picojson::null>() && h.Number(path, d)) into = d;
    };
    number("levelMin", s.levelMin);
    number("levelAvg", s.levelAvg);
    number("levelMax", s.levelMax);
    number("battery", s.battery);
    out.push_back(s);
  });
  return out;
}

rec::ScanInfo ReadScanInfo(const ArgReader& r, rec::Millis now) {
  return {TimeOr(r, "startedAt", now), OptInt64(r, "unit"), JsonText(r, "settings", Need::Optional)};
}

std::vector<rec::ScanRound> ReadRounds(const ArgReader& r) {
  std::vector<rec::ScanRound> out;
  EachObject(r, "rounds", [&](const ArgReader& p) {
    out.push_back({Int(p, "round"), Int64(p, "at"), BytesOr(p, "raw"), JsonText(p, "decoded", Need::Optional)});
  });
  return out;
}

rec::SettingsWrite ReadSettingsWrite(const ArgReader& r, rec::Millis now) {
  rec::SettingsWrite out;
  out.writtenAt = TimeOr(r, "writtenAt", now);
  out.unit = OptInt64(r, "unit");
  r.Bool("succeeded", out.succeeded);
  out.message = TextOr(r, "message");
  r.Array("changes");
  EachObject(r, "changes", [&](const ArgReader& c) {
    rec::SettingChange change;
    c.String("key", change.key);
    const std::string old = JsonText(c, "old", Need::Optional);
    if (!old.empty()) change.oldJson = old;
    change.newJson = JsonText(c, "new", Need::Required);
    out.changes.push_back(std::move(change));
  });
  return out;
}

Value SiteJson(const rec::SiteRow& s) {
  return MakeObject({{"id", Number(s.id)}, {"contentId", lm::json::String(s.contentId)},
                     {"serial", Number(s.site.serial)}, {"name", lm::json::String(s.site.name)},
                     {"model", lm::json::String(s.site.model)}, {"visitCount", Number(s.visitCount)},
                     {"lastVisitAt", Opt(s.lastVisitAt)}});
}

namespace {

Value VersionJson(const rec::VisitVersion& v) {
  Array replaces;
  for (const auto& id : v.replaces) replaces.push_back(lm::json::String(id));
  return MakeObject({{"versionId", lm::json::String(v.contentId)}, {"replaces", Value(std::move(replaces))},
                     {"madeAt", Number(v.madeAt)}, {"technician", lm::json::String(v.technician)},
                     {"customer", lm::json::String(v.customer)}, {"notes", lm::json::String(v.notes)}});
}

}  // namespace

Value VisitJson(const rec::VisitRow& v) {
  Array competing;
  for (const auto& c : v.competing) competing.push_back(VersionJson(c));
  return MakeObject({{"id", Number(v.id)}, {"contentId", lm::json::String(v.contentId)},
                     {"siteSerial", Number(v.siteSerial)}, {"startedAt", Number(v.info.startedAt)},
                     {"endedAt", Opt(v.endedAt)}, {"technician", lm::json::String(v.info.technician)},
                     {"customer", lm::json::String(v.info.customer)}, {"notes", lm::json::String(v.info.notes)},
                     {"endedWithoutClosing", lm::json::Bool(v.endedWithoutClosing)},
                     {"versionId", lm::json::String(v.versionId)}, {"competing", Value(std::move(competing))},
                     {"sentBy", v.sentBy ? lm::json::String(*v.sentBy) : Value()},
                     {"synced", lm::json::Bool(v.synced)}});
}

std::vector<std::string> ReadReplaces(const ArgReader& r) {
  std::vector<std::string> out;
  const Array* items = r.Array("replaces", Need::Optional);
  if (!items) return out;
  for (size_t i = 0; i < items->size(); ++i) {
    const Value& id = (*items)[i];
    if (!id.is<std::string>() || id.get<std::string>().size() != 64) Invalid("replaces[" + std::to_string(i) + "]");
    out.push_back(id.get<std::string>());
  }
  return out;
}

namespace {

Value WriteJson(const rec::StoredSettingsWrite& w) {
  Array changes;
  for (const auto& c : w.write.changes) {
    changes.push_back(MakeObject({{"key", lm::json::String(c.key)},
                                  {"old", c.oldJson ? Parsed(*c.oldJson) : Value()},
                                  {"new", Parsed(c.newJson)}}));
  }
  return MakeObject({{"id", Number(w.id)}, {"contentId", lm::json::String(w.contentId)},
                     {"writtenAt", Number(w.write.writtenAt)}, {"unit", Opt(w.write.unit)},
                     {"succeeded", lm::json::Bool(w.write.succeeded)},
                     {"message", lm::json::String(w.write.message)}, {"changes", Value(std::move(changes))}});
}

}  // namespace

Value VisitRecordsJson(const rec::VisitRecords& v) {
  Array records, writes;
  for (const auto& r : v.records) {
    records.push_back(MakeObject({{"id", Number(r.id)}, {"contentId", lm::json::String(r.contentId)},
                                  {"kind", lm::json::String(r.kind)}, {"at", Number(r.at)},
                                  {"unit", Opt(r.unit)}, {"source", lm::json::String(r.source)}}));
  }
  for (const auto& w : v.settingsWrites) writes.push_back(WriteJson(w));
  return MakeObject({{"visit", VisitJson(v.visit)}, {"records", Value(std::move(records))},
                     {"settingsWrites", Value(std::move(writes))}});
}

Value RawJson(const rec::StoredRaw& r) {
  Value out = MakeObject({{"id", Number(r.id)}, {"contentId", lm::json::String(r.contentId)},
                          {"visitId", Number(r.visitId)}, {"kind", lm::json::String(rec::RawKindName(r.record.kind))},
                          {"takenAt", Number(r.record.takenAt)}, {"unit", Opt(r.record.unit)},
                          {"source", lm::json::String(r.record.source)},
                          {"header", lm::json::String(Base64(r.record.header))},
                          {"raw", lm::json::String(Base64(r.record.raw))}, {"decoded", Parsed(r.record.decodedJson)}});
  if (r.receipt) {  // a map edit the team server took: its number and who sent it
    out.get<lm::json::Object>()["receipt"] =
        MakeObject({{"number", Number(r.receipt->number)}, {"sentBy", lm::json::String(r.receipt->sentBy)}});
  }
  return out;
}

Value SurveyJson(const rec::StoredSurvey& s) {
  Array probes, hops;
  for (const auto& p : s.probes) {
    probes.push_back(MakeObject({{"route", Number(p.route)}, {"seq", Number(p.seq)}, {"at", Number(p.at)},
                                 {"answered", lm::json::Bool(p.answered)}, {"raw", lm::json::String(Base64(p.raw))}}));
  }
  for (const auto& h : s.hops) {
    hops.push_back(MakeObject({{"route", Number(h.route)}, {"hop", Number(h.hop)}, {"fromUnit", Number(h.fromUnit)},
                               {"unit", Number(h.unit)}, {"sent", Number(h.sent)}, {"answered", Number(h.answered)},
                               {"levelMin", Opt(h.levelMin)}, {"levelAvg", Opt(h.levelAvg)},
                               {"levelMax", Opt(h.levelMax)}, {"battery", Opt(h.battery)}}));
  }
  const std::string kind = std::string(rec::SurveyKindName(s.info.kind)) + "-survey";
  return MakeObject({{"id", Number(s.id)}, {"contentId", lm::json::String(s.contentId)},
                     {"visitId", Number(s.visitId)}, {"kind", lm::json::String(kind)},
                     {"startedAt", Number(s.info.startedAt)}, {"endedAt", Opt(s.endedAt)},
                     {"probesPerRoute", Number(s.info.probesPerRoute)}, {"routes", Parsed(s.info.routesJson)},
                     {"thresholds", Parsed(s.info.thresholdsJson)},
                     {"registrationId", Opt(s.info.registrationId)},
                     {"registrationContentId", s.info.registrationContentId.empty()
                                                   ? Value()
                                                   : lm::json::String(s.info.registrationContentId)},
                     {"probes", Value(std::move(probes))},
                     {"hops", Value(std::move(hops))}});
}

Value ScanJson(const rec::StoredScan& s) {
  Array rounds;
  for (const auto& r : s.rounds) {
    rounds.push_back(MakeObject({{"round", Number(r.round)}, {"at", Number(r.at)},
                                 {"raw", lm::json::String(Base64(r.raw))}, {"decoded", Parsed(r.decodedJson)}}));
  }
  return MakeObject({{"id", Number(s.id)}, {"contentId", lm::json::String(s.contentId)},
                     {"visitId", Number(s.visitId)}, {"kind", lm::json::String("channel-scan")},
                     {"startedAt", Number(s.info.startedAt)}, {"endedAt", Opt(s.endedAt)}, {"unit", Opt(s.info.unit)},
                     {"settings", Parsed(s.info.settingsJson)}, {"rounds", Value(std::move(rounds))}});
}

Value TrendJson(const rec::TrendPoint& p) {
  return MakeObject({{"visitId", Number(p.visitId)}, {"visitStartedAt", Number(p.visitStartedAt)},
                     {"surveyId", Number(p.surveyId)}, {"surveyStartedAt", Number(p.surveyStartedAt)},
                     {"sent", Number(p.sent)}, {"answered", Number(p.answered)}, {"levelMin", Opt(p.levelMin)},
                     {"levelAvg", Opt(p.levelAvg)}, {"battery", Opt(p.battery)}});
}

Value CountsJson(const rec::ImportCounts& c) {
  return MakeObject({{"sites", Number(c.sites)}, {"visits", Number(c.visits)}, {"records", Number(c.records)},
                     {"updated", Number(c.updated)}, {"skipped", Number(c.skipped)}, {"refused", Strings(c.refused)}});
}

}  // namespace Sorrel::Js::records_json
