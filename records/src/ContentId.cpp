#include "lm/records/ContentId.h"

#include <glib.h>

#include <memory>
#include <stdexcept>

#include "lm/Json.h"

namespace lm::records {

struct ContentHasher::Impl {
  GChecksum* checksum = g_checksum_new(G_CHECKSUM_SHA256);
  ~Impl() { g_checksum_free(checksum); }
};

ContentHasher::ContentHasher(std::string_view kind) : impl_(std::make_unique<Impl>()) { Add(kind); }

ContentHasher::~ContentHasher() = default;

void ContentHasher::Feed(char tag, const void* data, size_t size) {
  uint8_t prefix[9];
  prefix[0] = static_cast<uint8_t>(tag);
  for (int i = 0; i < 8; ++i) prefix[1 + i] = static_cast<uint8_t>(static_cast<uint64_t>(size) >> (8 * i));
  g_checksum_update(impl_->checksum, prefix, sizeof prefix);
  if (size > 0) g_checksum_update(impl_->checksum, static_cast<const guchar*>(data), static_cast<gssize>(size));
}

ContentHasher& ContentHasher::Add(int64_t value) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
  Feed('i', bytes, sizeof bytes);
  return *this;
}

ContentHasher& ContentHasher::Add(std::optional<int64_t> value) {
  if (value) return Add(*value);
  Feed('n', nullptr, 0);
  return *this;
}

ContentHasher& ContentHasher::Add(std::string_view text) {
  Feed('s', text.data(), text.size());
  return *this;
}

ContentHasher& ContentHasher::Add(std::span<const uint8_t> bytes) {
  Feed('b', bytes.data(), bytes.size());
  return *this;
}

std::string ContentHasher::Finish() { return g_checksum_get_string(impl_->checksum); }

std::string SiteContentId(int64_t serial) { return ContentHasher("site").Add(serial).Finish(); }

std::string VisitContentId(int64_t siteSerial, Millis startedAt) {
  return ContentHasher("visit").Add(siteSerial).Add(startedAt).Finish();
}

std::string RawContentId(const std::string& visitId, const RawRecord& r) {
  ContentHasher h(RawKindName(r.kind));
  h.Add(visitId).Add(r.takenAt).Add(r.unit).Add(r.source);
  h.Add(std::span<const uint8_t>(r.header)).Add(std::span<const uint8_t>(r.raw));
  // A record kept without bytes (an event log or settings read the program
  // hands over decoded only) is its decoded answer: two different answers
  // taken in the same millisecond must not share an id.
  // A plan's decoded form (its name, size and hash) and a map edit's (the
  // position) are part of what they are, whatever bytes come with them.
  if ((r.header.empty() && r.raw.empty()) || r.kind == RawKind::kPlan || r.kind == RawKind::kMapEdit) {
    h.Add(r.decodedJson);
  }
  return h.Finish();
}

std::string SurveyContentId(const std::string& visitId, const SurveyInfo& s) {
  ContentHasher h("survey");
  h.Add(visitId).Add(SurveyKindName(s.kind)).Add(s.startedAt).Add(int64_t{s.probesPerRoute});
  h.Add(s.routesJson).Add(s.thresholdsJson);
  // Appended only when there is one, so ids of surveys without it stay as they were.
  if (!s.registrationContentId.empty()) h.Add(s.registrationContentId);
  return h.Finish();
}

std::string ScanContentId(const std::string& visitId, const ScanInfo& s) {
  return ContentHasher("channel-scan").Add(visitId).Add(s.startedAt).Add(s.unit).Add(s.settingsJson).Finish();
}

std::string SettingsWriteContentId(const std::string& visitId, const SettingsWrite& w) {
  ContentHasher h("settings-write");
  h.Add(visitId).Add(w.writtenAt).Add(w.unit).Add(int64_t{w.succeeded}).Add(w.message);
  for (const auto& c : w.changes) {
    h.Add(c.key).Add(c.newJson);
    if (c.oldJson) h.Add(*c.oldJson); else h.Add(std::optional<int64_t>());
  }
  return h.Finish();
}

std::string VisitVersionContentId(const std::string& visitId, const VisitVersion& v) {
  ContentHasher h("visit-version");
  h.Add(visitId).Add(int64_t(v.replaces.size()));
  for (const auto& r : v.replaces) h.Add(r);
  return h.Add(v.madeAt).Add(v.technician).Add(v.customer).Add(v.notes).Finish();
}

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  const std::unique_ptr<GChecksum, decltype(&g_checksum_free)> checksum(g_checksum_new(G_CHECKSUM_SHA256),
                                                                        &g_checksum_free);
  g_checksum_update(checksum.get(), bytes.data(), static_cast<gssize>(bytes.size()));
  return g_checksum_get_string(checksum.get());
}

bool PlanMatchesItsImage(const RawRecord& plan) {
  const auto decoded = json::Parse(plan.decodedJson);
  if (!decoded) return false;
  const json::Value& named = json::Member(*decoded, "sha256");
  return named.is<std::string>() && named.get<std::string>() == Sha256Hex(plan.raw);
}

const char* RawKindName(RawKind kind) {
  switch (kind) {
    case RawKind::kRegistration: return "registration";
    case RawKind::kDownload: return "download";
    case RawKind::kEventLog: return "event-log";
    case RawKind::kSettingsReadback: return "settings-readback";
    case RawKind::kAcceptance: return "acceptance";
    case RawKind::kWaiver: return "waiver";
    case RawKind::kPlan: return "plan";
    case RawKind::kMapEdit: return "map-edit";
    case RawKind::kThinning: return "thinning";
  }
  throw std::logic_error("unknown record kind");
}

const char* RawKindTable(RawKind kind) {
  switch (kind) {
    case RawKind::kRegistration: return "registration_snapshots";
    case RawKind::kDownload: return "downloads";
    case RawKind::kEventLog: return "event_logs";
    case RawKind::kSettingsReadback: return "settings_readbacks";
    case RawKind::kAcceptance: return "acceptances";
    case RawKind::kWaiver: return "waivers";
    case RawKind::kPlan: return "site_plans";
    case RawKind::kMapEdit: return "map_edits";
    case RawKind::kThinning: return "thinnings";
  }
  throw std::logic_error("unknown record kind");
}

const char* SurveyKindName(SurveyKind kind) { return kind == SurveyKind::kSite ? "site" : "route"; }

}  // namespace lm::records
