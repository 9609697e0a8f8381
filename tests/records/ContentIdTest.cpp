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
