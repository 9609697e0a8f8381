#pragma once
// Content ids: the SHA-256 (hex) of a record's identifying content, so the
// same record recorded on two computers gets the same id and an import
// merges it instead of adding it twice. Every field is typed and
// length-prefixed, so ("ab", "c") and ("a", "bc") never collide.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "lm/records/Records.h"

namespace lm::records {

class ContentHasher {
 public:
  explicit ContentHasher(std::string_view kind);
  ~ContentHasher();
  ContentHasher(const ContentHasher&) = delete;
  ContentHasher& operator=(const ContentHasher&) = delete;

  ContentHasher& Add(int64_t value);
  ContentHasher& Add(std::optional<int64_t> value);
  ContentHasher& Add(std::string_view text);
  ContentHasher& Add(std::span<const uint8_t> bytes);
  // Bytes added in pieces, as Add(bytes) would add them whole: BeginBytes
  // with their count, then each piece in order (the count must be kept).
  ContentHasher& BeginBytes(uint64_t size);
  ContentHasher& AddPiece(std::span<const uint8_t> piece);
  // A real as its 8 IEEE 754 bytes, little-endian; absent as for an integer.
  ContentHasher& Add(std::optional<double> value);
  // The hex digest; the hasher is spent afterwards.
  std::string Finish();

 private:
  void Feed(char tag, const void* data, size_t size);
  void FeedHead(char tag, uint64_t size);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

std::string SiteContentId(int64_t serial);
std::string VisitContentId(int64_t siteSerial, Millis startedAt);
std::string RawContentId(const std::string& visitId, const RawRecord& record);

// RawContentId with the raw bytes fed in pieces: `head` is the record
// without them (its raw ignored), `rawSize` how many there are.
class RawContentStream {
 public:
  RawContentStream(const std::string& visitId, const RawRecord& head, uint64_t rawSize);
  void Add(std::span<const uint8_t> piece);
  // The content id; "" when the pieces did not come to rawSize bytes.
  std::string Finish();

 private:
  ContentHasher hasher_;
  std::string decodedJson_;
  bool withDecoded_;
  uint64_t left_;
};
std::string SurveyContentId(const std::string& visitId, const SurveyInfo& info);
std::string ScanContentId(const std::string& visitId, const ScanInfo& info);
std::string SettingsWriteContentId(const std::string& visitId, const SettingsWrite& write);
std::string VisitVersionContentId(const std::string& visitId, const VisitVersion& version);
// Seals: the content id of a finished record with every part it grew, in
// order (probes by route and sequence, hop statistics by route and hop,
// scan rounds by round), and of a visit's end. Taken when the record ends;
// a part added or changed afterwards no longer matches it.
std::string SurveySeal(const std::string& surveyId, Millis endedAt, std::span<const Probe> probes,
                       std::span<const HopStats> hops);
// The same seal taken part by part, for parts read one at a time already in
// sealed order: the probes' count, each probe, the hops' count, each hop.
class SurveySealer {
 public:
  SurveySealer(const std::string& surveyId, Millis endedAt, int64_t probes);
  void AddProbe(int route, int seq, Millis at, bool answered, std::span<const uint8_t> raw);
  void StartHops(int64_t hops);
  void AddHop(const HopStats& hop);
  std::string Finish() { return hasher_.Finish(); }

 private:
  ContentHasher hasher_;
};
std::string ScanSeal(const std::string& scanId, Millis endedAt, std::span<const ScanRound> rounds);
std::string VisitEndSeal(const std::string& visitId, Millis endedAt);
// The SHA-256 of some bytes, in hex.
std::string Sha256Hex(std::span<const uint8_t> bytes);
// The same of bytes fed in pieces.
class Sha256Stream {
 public:
  Sha256Stream();
  ~Sha256Stream();
  Sha256Stream(const Sha256Stream&) = delete;
  Sha256Stream& operator=(const Sha256Stream&) = delete;
  void Add(std::span<const uint8_t> piece);
  std::string Hex();  // spent afterwards

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
// Whether a plan's decoded form names the SHA-256 of its image: the map
// keys a plan by that hash, so an image under another image's hash would
// show on every position placed on that one.
bool PlanMatchesItsImage(const RawRecord& plan);
// The same with the image's SHA-256 (hex) taken already, piece by piece.
bool PlanNamesImage(const std::string& decodedJson, const std::string& imageSha256Hex);

}  // namespace lm::records
