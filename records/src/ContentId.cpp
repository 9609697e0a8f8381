#include "lm/records/ContentId.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "lm/Json.h"

namespace lm::records {

// Small fields are gathered and hashed a few kilobytes at a time: a seal
// feeds tens of thousands of them.
struct ContentHasher::Impl {
  static constexpr size_t kBatch = 4096;
  GChecksum* checksum = g_checksum_new(G_CHECKSUM_SHA256);
  uint8_t pending[kBatch];
  size_t used = 0;
  ~Impl() { g_checksum_free(checksum); }

  void Flush() {
    if (used > 0) g_checksum_update(checksum, pending, static_cast<gssize>(used));
    used = 0;
  }
  void Put(const void* data, size_t size) {
    if (used + size > kBatch) Flush();
    if (size > kBatch) {
      g_checksum_update(checksum, static_cast<const guchar*>(data), static_cast<gssize>(size));
      return;
    }
    if (size > 0) std::memcpy(pending + used, data, size);
    used += size;
  }
};

ContentHasher::ContentHasher(std::string_view kind) : impl_(std::make_unique<Impl>()) { Add(kind); }

ContentHasher::~ContentHasher() = default;

void ContentHasher::FeedHead(char tag, uint64_t size) {
  uint8_t prefix[9];
  prefix[0] = static_cast<uint8_t>(tag);
  for (int i = 0; i < 8; ++i) prefix[1 + i] = static_cast<uint8_t>(size >> (8 * i));
  impl_->Put(prefix, sizeof prefix);
}

void ContentHasher::Feed(char tag, const void* data, size_t size) {
  FeedHead(tag, size);
  impl_->Put(data, size);
}

ContentHasher& ContentHasher::BeginBytes(uint64_t size) {
  FeedHead('b', size);
  return *this;
}

ContentHasher& ContentHasher::AddPiece(std::span<const uint8_t> piece) {
  impl_->Put(piece.data(), piece.size());
  return *this;
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

ContentHasher& ContentHasher::Add(std::optional<double> value) {
  if (!value) return Add(std::optional<int64_t>());
  uint64_t bits = 0;
  std::memcpy(&bits, &*value, sizeof bits);
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(bits >> (8 * i));
  Feed('r', bytes, sizeof bytes);
  return *this;
}

std::string ContentHasher::Finish() {
  impl_->Flush();
  return g_checksum_get_string(impl_->checksum);
}

std::string SiteContentId(int64_t serial) { return ContentHasher("site").Add(serial).Finish(); }

std::string VisitContentId(int64_t siteSerial, Millis startedAt) {
  return ContentHasher("visit").Add(siteSerial).Add(startedAt).Finish();
}

std::string RawContentId(const std::string& visitId, const RawRecord& r) {
  RawContentStream id(visitId, r, r.raw.size());
  id.Add(r.raw);
  return id.Finish();
}

// A record kept without bytes (an event log or settings read the program
// hands over decoded only) is its decoded answer: two different answers
// taken in the same millisecond must not share an id.
// A plan's decoded form (its name, size and hash) and a map edit's (the
// position) are part of what they are, whatever bytes come with them.
RawContentStream::RawContentStream(const std::string& visitId, const RawRecord& r, uint64_t rawSize)
    : hasher_(RawKindName(r.kind)),
      decodedJson_(r.decodedJson),
      withDecoded_((r.header.empty() && rawSize == 0) || r.kind == RawKind::kPlan || r.kind == RawKind::kMapEdit),
      left_(rawSize) {
  hasher_.Add(visitId).Add(r.takenAt).Add(r.unit).Add(r.source);
  hasher_.Add(std::span<const uint8_t>(r.header)).BeginBytes(rawSize);
}

void RawContentStream::Add(std::span<const uint8_t> piece) {
  if (piece.size() > left_) {
    left_ = UINT64_MAX;  // more than promised: never a match
    return;
  }
  left_ -= piece.size();
  hasher_.AddPiece(piece);
}

std::string RawContentStream::Finish() {
  if (left_ != 0) return "";
  if (withDecoded_) hasher_.Add(decodedJson_);
  return hasher_.Finish();
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

namespace {

// The parts in their sealed order, whatever order they came in.
template <class T, class Less>
std::vector<const T*> Ordered(std::span<const T> parts, Less less) {
  std::vector<const T*> out;
  for (const auto& p : parts) out.push_back(&p);
  std::sort(out.begin(), out.end(), [&](const T* a, const T* b) { return less(*a, *b); });
  return out;
}

}  // namespace

SurveySealer::SurveySealer(const std::string& surveyId, Millis endedAt, int64_t probes) : hasher_("survey-seal") {
  hasher_.Add(surveyId).Add(endedAt).Add(probes);
}

void SurveySealer::AddProbe(int route, int seq, Millis at, bool answered, std::span<const uint8_t> raw) {
  hasher_.Add(int64_t{route}).Add(int64_t{seq}).Add(at).Add(int64_t{answered}).Add(raw);
}

void SurveySealer::StartHops(int64_t hops) { hasher_.Add(hops); }

void SurveySealer::AddHop(const HopStats& s) {
  hasher_.Add(int64_t{s.route}).Add(int64_t{s.hop}).Add(s.fromUnit).Add(s.unit).Add(int64_t{s.sent});
  hasher_.Add(int64_t{s.answered}).Add(s.levelMin).Add(s.levelAvg).Add(s.levelMax).Add(s.battery);
}

std::string SurveySeal(const std::string& surveyId, Millis endedAt, std::span<const Probe> probes,
                       std::span<const HopStats> hops) {
  SurveySealer sealer(surveyId, endedAt, static_cast<int64_t>(probes.size()));
  for (const Probe* p : Ordered(probes, [](const Probe& a, const Probe& b) {
         return std::pair(a.route, a.seq) < std::pair(b.route, b.seq);
       })) {
    sealer.AddProbe(p->route, p->seq, p->at, p->answered, p->raw);
  }
  sealer.StartHops(static_cast<int64_t>(hops.size()));
  for (const HopStats* s : Ordered(hops, [](const HopStats& a, const HopStats& b) {
         return std::pair(a.route, a.hop) < std::pair(b.route, b.hop);
       })) {
    sealer.AddHop(*s);
  }
  return sealer.Finish();
}

std::string ScanSeal(const std::string& scanId, Millis endedAt, std::span<const ScanRound> rounds) {
  ContentHasher h("scan-seal");
  h.Add(scanId).Add(endedAt).Add(static_cast<int64_t>(rounds.size()));
  for (const ScanRound* r :
       Ordered(rounds, [](const ScanRound& a, const ScanRound& b) { return a.round < b.round; })) {
    h.Add(int64_t{r->round}).Add(r->at).Add(std::span<const uint8_t>(r->raw)).Add(r->decodedJson);
  }
  return h.Finish();
}

std::string VisitEndSeal(const std::string& visitId, Millis endedAt) {
  return ContentHasher("visit-end").Add(visitId).Add(endedAt).Finish();
}

struct Sha256Stream::Impl {
  GChecksum* checksum = g_checksum_new(G_CHECKSUM_SHA256);
  ~Impl() { g_checksum_free(checksum); }
};

Sha256Stream::Sha256Stream() : impl_(std::make_unique<Impl>()) {}
Sha256Stream::~Sha256Stream() = default;

void Sha256Stream::Add(std::span<const uint8_t> piece) {
  if (!piece.empty()) g_checksum_update(impl_->checksum, piece.data(), static_cast<gssize>(piece.size()));
}

std::string Sha256Stream::Hex() { return g_checksum_get_string(impl_->checksum); }

std::string Sha256Hex(std::span<const uint8_t> bytes) {
  Sha256Stream sha;
  sha.Add(bytes);
  return sha.Hex();
}

bool PlanMatchesItsImage(const RawRecord& plan) { return PlanNamesImage(plan.decodedJson, Sha256Hex(plan.raw)); }

bool PlanNamesImage(const std::string& decodedJson, const std::string& imageSha256Hex) {
  const auto decoded = json::Parse(decodedJson);
  if (!decoded) return false;
  const json::Value& named = json::Member(*decoded, "sha256");
  return named.is<std::string>() && named.get<std::string>() == imageSha256Hex;
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
