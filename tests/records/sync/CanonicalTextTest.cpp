// The same vectors through the laptop's content ids and the team server's
// SQL functions: both sides must compute the same id from the same fields,
// agree on which replaced-id lists are canonical, and agree on what text
// cannot be kept (U+0000, bytes that are not UTF-8).
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "TeamSyncFixture.h"
#include "lm/records/ContentId.h"
#include "lm/records/VisitVersions.h"
#include "lm/teamsync/RowText.h"
#include "lm/teamsync/SyncFailure.h"

namespace lm::teamsync::test {
namespace {

namespace rec = lm::records;

using CanonicalTextTest = TeamSyncTest;

const std::string kA(64, 'a'), kB(64, 'b');

// Texts both sides can keep, each a hazard of its own.
const std::vector<std::string> kTexts = {
    "", " ", "  ", " lead", "trail ", "a  b", "tab\there", "line\nbreak", "back\\slash", "quote'\"",
    "日本語の備考", "\xF0\x9F\x93\xA1 non-BMP \xF0\xA0\x80\x8B", "\xEF\xBB\xBF" "bom", "\x7F", "\\x00",
};

std::string Hex(const rec::Bytes& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out = "\\x";
  for (uint8_t b : bytes) out += std::string{digits[b >> 4], digits[b & 15]};
  return out;
}

PgValue Opt(const std::optional<int64_t>& v) { return v ? PgValue(std::to_string(*v)) : std::nullopt; }

TEST_F(CanonicalTextTest, TheLaptopAndTheServerComputeTheSameIdsFromTheSameFields) {
  PgConnection pg(server_->Uri(db_, "alice"));
  const auto server = [&](const std::string& sql, const std::vector<PgValue>& params) {
    return pg.Exec("SELECT linkmeter." + sql, params).Text(0, 0);
  };
  for (int64_t serial : {int64_t{0}, int64_t{-1}, std::numeric_limits<int64_t>::min(),
                         std::numeric_limits<int64_t>::max(), int64_t{0x00A00001}}) {
    EXPECT_EQ(rec::SiteContentId(serial), server("site_id($1)", {std::to_string(serial)})) << serial;
    EXPECT_EQ(rec::VisitContentId(serial, -serial / 2), server("visit_id($1, $2)", {std::to_string(serial),
                                                                                     std::to_string(-serial / 2)}));
  }
  const std::string visit = rec::VisitContentId(1, 2);
  for (const auto& text : kTexts) {
    SCOPED_TRACE(text);
    ASSERT_TRUE(rec::StorableText(text));
    const rec::VisitVersion v{"", {kA, kB}, 9, text, text + "c", text};
    EXPECT_EQ(rec::VisitVersionContentId(visit, v),
              server("version_id($1, $2, 9, $3, $4, $5)", {visit, kA + " " + kB, text, text + "c", text}));
    for (const rec::Bytes& bytes : {rec::Bytes{}, rec::Bytes{0, 0x20, 0xff}}) {
      for (auto kind : {rec::RawKind::kEventLog, rec::RawKind::kMapEdit}) {
        const rec::RawRecord r{kind, -5, bytes.empty() ? std::nullopt : std::optional<int64_t>(7), text, {}, bytes,
                               text};
        EXPECT_EQ(rec::RawContentId(visit, r),
                  server("raw_id($1, $2, -5, $3, $4, NULL, $5::bytea, $6)",
                         {std::string(rec::RawKindName(kind)), visit, Opt(r.unit), text, Hex(bytes), text}));
      }
    }
    const rec::SurveyInfo s{rec::SurveyKind::kSite, 3, 2, text, text, std::nullopt, text};
    EXPECT_EQ(rec::SurveyContentId(visit, s),
              server("survey_id($1, 'site', 3, 2, $2, $2, $2)", {visit, text}));
    EXPECT_EQ(rec::ScanContentId(visit, {4, std::nullopt, text}), server("scan_id($1, 4, NULL, $2)", {visit, text}));
  }
}

TEST_F(CanonicalTextTest, TheLaptopAndTheServerSplitAndJudgeReplacedIdsAlike) {
  PgConnection pg(server_->Uri(db_, "alice"));
  const std::string visit = rec::VisitContentId(1, 2);
  const std::string upper(64, 'A');
  const struct {
    std::string replaces;
    bool canonical;
  } cases[] = {
      {kA, true},           {kA + " " + kB, true},       {kA + "  " + kB, false}, {" " + kA, false},
      {kA + " ", false},    {kB + " " + kA, false},      {kA + " " + kA, false},  {"", false},
      {" ", false},         {upper, false},              {kA.substr(1), false},   {kA + "\t" + kB, false},
      {kA + " " + kB + " " + std::string(64, 'c'), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("replaces \"" + c.replaces + "\"");
    const auto ids = rec::SplitIds(c.replaces);
    EXPECT_EQ(rec::JoinIds(ids), c.replaces);
    EXPECT_EQ(rec::CanonicalIds(ids), c.canonical);
    EXPECT_EQ(pg.Exec("SELECT linkmeter.canonical_ids($1)", {c.replaces}).Text(0, 0), c.canonical ? "t" : "f");
    // Split alike, so even a list the server refuses hashes alike.
    EXPECT_EQ(rec::VisitVersionContentId(visit, {"", ids, 1, "", "", ""}),
              pg.Exec("SELECT linkmeter.version_id($1, $2, 1, '', '', '')", {visit, c.replaces}).Text(0, 0));
    const std::string id = rec::VisitVersionContentId(visit, {"", ids, 1, "", "", ""});
    bool taken = true;
    try {
      pg.Exec("INSERT INTO linkmeter.visit_versions(content_id, visit, replaces, made_at) VALUES ($1, $2, $3, 1)",
              {id, visit, c.replaces});
    } catch (const SyncFailure& f) {
      taken = false;
      EXPECT_EQ(f.kind(), SyncFailureKind::kRefused) << f.what();
    }
    // A canonical version is refused here only for its missing visit.
    if (!c.canonical) {
      EXPECT_FALSE(taken);
    }
  }
}

TEST_F(CanonicalTextTest, TextTheServerCannotKeepIsRefusedOnBothSides) {
  PgConnection pg(server_->Uri(db_, "alice"));
  for (const std::string& bytes : {std::string("a\0b", 3), std::string("\xff"), std::string("\xC0\x80"),
                                  std::string("\xED\xA0\x80")}) {
    SCOPED_TRACE(Hex(rec::Bytes(bytes.begin(), bytes.end())));
    EXPECT_FALSE(rec::StorableText(bytes));
    EXPECT_THROW(pg.Exec("SELECT convert_from($1::bytea, 'UTF8')", {Hex(rec::Bytes(bytes.begin(), bytes.end()))}),
                 SyncFailure);
  }
  // The laptop's store refuses it at the field.
  Laptop laptop;
  const auto visit = laptop.store->StartVisit({1, "North", "B"}, {10, "Ito", "", ""});
  ASSERT_TRUE(visit);
  const auto refused = laptop.store->UpdateVisit(*visit, {0, "Ito", "", std::string("gate\0code", 9)});
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().message.find("U+0000"), std::string::npos) << refused.error().message;
  EXPECT_FALSE(laptop.store->StartVisit({2, std::string("a\0", 2), "B"}, {10, "Ito", "", ""}));
}

}  // namespace
}  // namespace lm::teamsync::test
