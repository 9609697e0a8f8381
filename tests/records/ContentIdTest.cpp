// Content ids: equal for the same record recorded anywhere, different as
// soon as anything identifying differs.
#include <gtest/gtest.h>

#include "RecordsTestSupport.h"
#include "lm/records/ContentId.h"

namespace lm::records::test {
namespace {

TEST(RecordsContentId, FieldsAreDelimited) {
  EXPECT_NE(ContentHasher("k").Add("ab").Add("c").Finish(), ContentHasher("k").Add("a").Add("bc").Finish());
  EXPECT_NE(ContentHasher("k").Add("").Finish(), ContentHasher("k").Add(std::optional<int64_t>()).Finish());
  EXPECT_NE(ContentHasher("k").Add(int64_t{0}).Finish(), ContentHasher("k").Add(std::span<const uint8_t>()).Finish());
  EXPECT_EQ(ContentHasher("k").Add("x").Finish().size(), 64u);
}

TEST(RecordsContentId, RawRecordIdFollowsItsContent) {
  const RawRecord base = SampleRaw(RawKind::kDownload, 500);
  const std::string id = RawContentId("visit-a", base);
  EXPECT_EQ(RawContentId("visit-a", base), id);
  const struct {
    const char* change;
    void (*apply)(RawRecord&);
  } cases[] = {
      {"kind", [](RawRecord& r) { r.kind = RawKind::kEventLog; }},
      {"time", [](RawRecord& r) { r.takenAt += 1; }},
      {"unit", [](RawRecord& r) { r.unit = std::nullopt; }},
      {"source", [](RawRecord& r) { r.source = "file"; }},
      {"header", [](RawRecord& r) { r.header.push_back(0); }},
      {"raw byte", [](RawRecord& r) { r.raw[1] ^= 1; }},
      {"bytes moved from header to raw", [](RawRecord& r) {
         r.raw.insert(r.raw.begin(), r.header.back());
         r.header.pop_back();
       }},
  };
  for (const auto& c : cases) {
    RawRecord changed = base;
    c.apply(changed);
    EXPECT_NE(RawContentId("visit-a", changed), id) << c.change;
  }
  EXPECT_NE(RawContentId("visit-b", base), id) << "same bytes in another visit";
  RawRecord redecoded = base;
  redecoded.decodedJson = R"({"n":2})";
  EXPECT_EQ(RawContentId("visit-a", redecoded), id) << "decoding again is not new content";

  RawRecord decodedOnly = base;
  decodedOnly.header.clear();
  decodedOnly.raw.clear();
  RawRecord otherAnswer = decodedOnly;
  otherAnswer.decodedJson = R"({"block":"SYS"})";
  EXPECT_NE(RawContentId("visit-a", otherAnswer), RawContentId("visit-a", decodedOnly))
      << "without bytes, the decoded answer is the content";
}

// Bytes fed in pieces hash as the same bytes added whole, so an image
// streamed through a sync keeps the id it was recorded under.
TEST(RecordsContentId, BytesFedInPiecesGiveTheIdOfTheWholeBytes) {
  RawRecord plan = SampleRaw(RawKind::kPlan, 510), download = SampleRaw(RawKind::kDownload, 520);
  RawRecord decodedOnly = SampleRaw(RawKind::kEventLog, 530), bytesOnly = SampleRaw(RawKind::kEventLog, 540);
  decodedOnly.header.clear(), decodedOnly.raw.clear();
  bytesOnly.header.clear();
  for (const RawRecord* r : {&plan, &download, &decodedOnly, &bytesOnly}) {
    const std::span<const uint8_t> raw(r->raw);
    for (const size_t piece : {size_t{1}, size_t{2}, size_t{4096}}) {
      RawContentStream id("visit-a", *r, raw.size());
      Sha256Stream image;
      id.Add({});  // an empty piece changes nothing
      for (size_t at = 0; at < raw.size(); at += piece) {
        id.Add(raw.subspan(at, std::min(piece, raw.size() - at)));
        image.Add(raw.subspan(at, std::min(piece, raw.size() - at)));
      }
      EXPECT_EQ(id.Finish(), RawContentId("visit-a", *r)) << RawKindName(r->kind) << " in pieces of " << piece;
      EXPECT_EQ(image.Hex(), Sha256Hex(raw));
    }
  }
  RawContentStream shortOne("visit-a", download, download.raw.size() + 1), longOne("visit-a", download, 1);
  shortOne.Add(download.raw);
  longOne.Add(download.raw);
  EXPECT_EQ(shortOne.Finish(), "") << "fewer bytes than promised";
  EXPECT_EQ(longOne.Finish(), "") << "more bytes than promised";
}

TEST(RecordsContentId, SettingsWriteIdCoversEveryKeyAndValue) {
  const SettingsWrite base = SampleWrite(700);
  const std::string id = SettingsWriteContentId("v", base);
  const struct {
    const char* change;
    void (*apply)(SettingsWrite&);
  } cases[] = {
      {"new value", [](SettingsWrite& w) { w.changes[0].newJson = "301"; }},
      {"old value known", [](SettingsWrite& w) { w.changes[1].oldJson = "\"Tank 1\""; }},
      {"key", [](SettingsWrite& w) { w.changes[0].key = "interval2"; }},
      {"outcome", [](SettingsWrite& w) { w.succeeded = false; }},
      {"order of keys", [](SettingsWrite& w) { std::swap(w.changes[0], w.changes[1]); }},
  };
  for (const auto& c : cases) {
    SettingsWrite changed = base;
    c.apply(changed);
    EXPECT_NE(SettingsWriteContentId("v", changed), id) << c.change;
  }
}

}  // namespace
}  // namespace lm::records::test
