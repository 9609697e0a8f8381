// The conversations of the commands with their own exchanges, against a
// scripted unit.

#include <gtest/gtest.h>

#include "ScriptedUnit.h"
#include "vantor/com/RecordedTimes.h"

namespace {

using namespace commands_test;

std::string Log(int category, int number, std::uint32_t utc, const std::string& text) {
  std::string r(12, '\0');
  r[0] = static_cast<char>(12 + text.size());
  r[1] = static_cast<char>(category);
  r[2] = static_cast<char>(number & 0xFF);
  r[3] = static_cast<char>(number >> 8);
  for (int i = 0; i < 4; ++i) r[4 + i] = r[8 + i] = static_cast<char>((utc >> (8 * i)) & 0xFF);
  return r + text;
}

TEST(Conversation, SurveySortsSignalsByUnitNumberKeepingEqualOnesInOrder) {
  ScriptedUnit unit("EWLEX");
  unit.Answer({{"STATUS", "0004-0000"}});
  unit.Answer({{"STATUS", "0004-0000"}, {"LEVEL", std::string("\x05\x10\x20\x02\x30\x40\x05\x11\x21\x09", 10)}});
  Sorrel::Com::TcmdEWLEX handler{Sorrel::Com::NoUnits()};
  auto r = RunCall(handler, unit, R"({"CH":1,"ID":[1,2,3,4,5,6,7,8]})");
  EXPECT_EQ(lm::json::ToText(r["Signals"]),
            R"([{"battery":64,"level":48,"number":2},{"battery":32,"level":16,"number":5},)"
            R"({"battery":33,"level":17,"number":5}])");
  EXPECT_EQ(unit.sent.size(), 2u);

  ScriptedUnit empty("EWLRU");
  empty.Answer({{"STATUS", "0004-0000"}});
  empty.Answer({{"STATUS", "0004-0002"}, {"LEVEL", ""}});
  Sorrel::Com::TcmdEWLRU lru{Sorrel::Com::NoUnits()};
  auto failed = RunCall(lru, empty, R"({"CH":1,"ID":[1,2,3,4,5,6,7,8]})");
  EXPECT_EQ(lm::json::ToText(failed["Signals"]), "[]");  // built whatever the STATUS
  EXPECT_FALSE(failed["isSuccess"].get<bool>());
}

TEST(Conversation, EisucFetchesBlocksUntilSizeAndGivesUpAfterThreeFailures) {
  Sorrel::Com::TcmdEISUC handler{Sorrel::Com::NoUnits()};
  {
    ScriptedUnit unit("EISUC");
    unit.Answer({{"STATUS", "0005-0000"}, {"SIZE", "0"}, {"DATA", std::string(64, '\0')}});
    auto r = RunCall(handler, unit, "{}");
    EXPECT_EQ(unit.sent.size(), 1u);  // SIZE 0: nothing to fetch
    EXPECT_TRUE(r["isSuccess"].get<bool>());
  }
  {
    ScriptedUnit unit("EISUC");
    unit.Answer({{"STATUS", "0005-0000"}, {"SIZE", "6"}, {"DATA", std::string(64, '\0')}});
    unit.Answer({{"STATUS", "0005-0000"}, {"DATA", "abcd"}});
    unit.Answer({{"STATUS", "0005-0001"}});
    unit.AnswerRaw("garbage");  // not taken in: a failed block too, not the last one again
    unit.Answer({{"STATUS", "0005-0000"}, {"DATA", "ef"}});
    auto r = RunCall(handler, unit, R"({"MODE":1})");
    EXPECT_EQ(unit.sent[0], (FieldMap{{"MODE", "1"}, {"RANGE", "0"}}));
    EXPECT_EQ(unit.sent[1], (FieldMap{{"MODE", "9"}}));
    EXPECT_EQ(lm::json::ToText(r["Data"]), "[97,98,99,100,101,102]");
    EXPECT_TRUE(r["isSuccess"].get<bool>());
  }
  {
    ScriptedUnit unit("EISUC");
    unit.Answer({{"STATUS", "0005-0000"}, {"SIZE", "10"}, {"DATA", std::string(64, '\0')}});
    unit.Answer({{"STATUS", "0005-0000"}, {"DATA", "abcd"}});
    for (int i = 0; i < 3; ++i) unit.Answer({{"STATUS", "0005-0002"}});
    auto r = RunCall(handler, unit, "{}");
    EXPECT_EQ(unit.sent.size(), 5u);
    EXPECT_FALSE(r["isSuccess"].get<bool>());
    EXPECT_FALSE(r.count("Data"));
  }
}

TEST(Conversation, ElogsReadsRecordsAcrossBlocksUpToTheEndOrTheLimit) {
  Sorrel::Com::TcmdELOGS handler{Sorrel::Com::NoUnits()};
  const std::string a = Log(1, 1, 100, "Power on"), b = Log(2, 2, 200, "Low"), c = Log(3, 3, 300, "Gone");
  {
    ScriptedUnit unit("ELOGS");
    unit.Answer({{"STATUS", "0002-0000"}, {"DATA", a + b.substr(0, 5)}});  // a record split over two blocks
    unit.Answer({{"STATUS", "0002-0000"}, {"DATA", b.substr(5) + c.substr(0, 14)}});  // the last one cut short
    unit.Answer({{"STATUS", "0002-0000"}});
    auto r = RunCall(handler, unit, R"({"MODE":0})");
    EXPECT_EQ(lm::json::ToText(r["logs"]),
              R"([{"category":1,"localtime":100,"number":1,"str":"Power on","utctime":100},)"
              R"({"category":2,"localtime":200,"number":2,"str":"Low","utctime":200}])");
    EXPECT_EQ(unit.sent[1], (FieldMap{{"ACT", "1"}}));
  }
  {
    ScriptedUnit unit("ELOGS");
    unit.Answer({{"STATUS", "0002-0000"}, {"DATA", a + b + c}});
    auto r = RunCall(handler, unit, R"({"MODE":0,"Limit":2})");
    EXPECT_EQ(r["logs"].get<lm::json::Array>().size(), 2u);
    EXPECT_EQ(unit.sent.size(), 1u);
  }
  {
    ScriptedUnit unit("ELOGS");  // a refused block ends the read instead of asking for ever
    unit.Answer({{"STATUS", "0002-0000"}, {"DATA", a}});
    unit.Answer({{"STATUS", "0002-0002"}});
    auto r = RunCall(handler, unit, R"({"MODE":0})");
    EXPECT_EQ(unit.sent.size(), 2u);
    EXPECT_FALSE(r["isSuccess"].get<bool>());
  }
}

TEST(Conversation, EtrndCollectsUntilMax) {
  Sorrel::Com::TcmdETRND handler{Sorrel::Com::NoUnits()};
  ScriptedUnit unit("ETRND");
  unit.Answer({{"STATUS", "0002-0000"}, {"MAX", "6"}, {"INT", "3600"}, {"START", "7200"}, {"UTC", "9000"}, {"DATA", "ab"}});
  unit.Answer({{"STATUS", "0002-0000"}, {"DATA", "cd"}});
  unit.Answer({{"STATUS", "0002-0000"}, {"DATA", "ef"}});
  auto r = RunCall(handler, unit, "{}");
  EXPECT_EQ(unit.sent.size(), 3u);
  EXPECT_EQ(unit.sent[0], (FieldMap{{"ACT", "0"}}));
  EXPECT_EQ(unit.sent[2], (FieldMap{{"ACT", "1"}}));
  EXPECT_EQ(r["MAX"].get<double>(), 6);  // from the first answer, the only one that carried it
  EXPECT_EQ(lm::json::ToText(r["DATA"]), "[97,98,99,100,101,102]");
}

TEST(Conversation, EisetVerifiesOnlyAnAcceptedWriteThatAsksForIt) {
  Sorrel::Com::TcmdEISET handler{Sorrel::Com::NoUnits()};
  std::string record(64, '\0');
  record[30] = 0x10;
  std::string args = R"({"SendData":[)";
  for (int i = 0; i < 64; ++i) args += std::string(i ? "," : "") + (i == 30 ? "16" : "0");
  args += "]}";
  {
    ScriptedUnit unit("EISET");
    unit.Answer({{"STATUS", "0005-0002"}});
    RunCall(handler, unit, args);
    EXPECT_EQ(unit.sent.size(), 1u);  // refused: nothing to read back
  }
  {
    std::uint64_t now = 0;
    ScriptedUnit unit("EISET");
    unit.Answer({{"STATUS", "0005-0000"}});
    unit.Answer({{"STATUS", "0005-0000"}, {"DATA", record}});
    auto r = RunCall(handler, unit, args, {.tick = [&] { return now += 100; }});
    ASSERT_EQ(unit.sent.size(), 2u);
    EXPECT_EQ(unit.sent[1].at("ACT"), "1");
    EXPECT_EQ(unit.sent[1].at("DATA"), record);
    EXPECT_TRUE(r["isSuccess"].get<bool>());
  }
}

TEST(Conversation, EiserShowsTheSerialAsEightHexDigits) {
  ScriptedUnit unit("EISER");
  unit.Answer({{"STATUS", "0005-0000"}, {"CODE", "5c"}, {"SER", "1a2b"}});
  Sorrel::Com::TcmdEISER handler{Sorrel::Com::NoUnits()};
  auto r = RunCall(handler, unit, "{}");
  EXPECT_EQ(r["SER"].get<std::string>(), "00001A2B");
  EXPECT_EQ(r["CODE"].get<double>(), 92);
}

TEST(Conversation, EwsucSplitsTheHeaderOffTheFirstDataAnswer) {
  std::string header(64, '\0');
  header[30] = 6;  // six data bytes follow, in all
  Sorrel::Com::TcmdEWSUC handler{Sorrel::Com::NoUnits()};
  const std::string args = R"({"CH":12,"ID":[1,2,3,4,5,6,7,8],"MODE":1,"RANGE":0})";
  std::uint64_t tick = 0;
  com::vantor::CommandClock clock{.unixNow = [] { return std::int64_t{5000}; }, .tick = [&] { return tick; }};
  {
    ScriptedUnit unit("EWSUC");
    unit.Answer({{"STATUS", "0004-0000"}});
    unit.Answer({{"STATUS", "0004-0001"}});
    unit.Answer({{"STATUS", "0005-0000"}, {"SIZE", "70"}, {"TIME", "3"}, {"DATA", header + "ab"}});
    unit.Answer({{"STATUS", "0005-0000"}, {"DATA", "cdef"}});
    auto r = RunCall(handler, unit, args, clock);
    EXPECT_TRUE(r["isSuccess"].get<bool>());
    EXPECT_EQ(r["Header"].get<lm::json::Array>().size(), 64u);
    EXPECT_EQ(lm::json::ToText(r["Data"]), "[97,98,99,100,101,102]");
    // No start time: dated by the PC clock at the first answer, the age and TIME.
    EXPECT_EQ(r["LastDataTime"].get<double>(), 5003);
    ASSERT_EQ(unit.sent.size(), 4u);
    FieldMap next = unit.sent[1];
    EXPECT_EQ(next.at("MODE"), "9");
    EXPECT_FALSE(next.count("RANGE"));
    EXPECT_EQ(next.at("CH"), "12");  // the addressing goes with every request
  }
  {
    ScriptedUnit unit("EWSUC");  // the far unit does not answer: no endless polling
    unit.Answer({{"STATUS", "0004-0000"}});
    unit.Answer({{"STATUS", "0004-0002"}});
    auto r = RunCall(handler, unit, args, clock);
    EXPECT_EQ(unit.sent.size(), 2u);
    EXPECT_FALSE(r["isSuccess"].get<bool>());
    EXPECT_FALSE(r.count("Header"));
  }
}

// Times worked out from recorded-data headers, one rule per case.
struct HeaderCase {
  const char* rule;
  int model, subtype, chType1, state;
  std::uint64_t start;
  std::uint16_t stored;
  bool radio;
  std::int64_t expectedLast;
};

TEST(Conversation, RecordedTimesFollowTheModelRules) {
  constexpr std::int64_t kNow = 1'700'000'000, kAge = 500, kTime = 7;
  const HeaderCase cases[] = {
      {"optical from start", 92, 0, 13, 1, 1000, 400, false, 1000 + 199 * 60},
      {"optical stopped full VL-RA", 93, 0, 13, 0, 1000, 32000, false, kNow - kAge},
      {"optical stopped full, other model", 96, 0, 13, 0, 1000, 32000, false, 1000 + 15999 * 60},
      {"optical no start time", 97, 0, 13, 1, 0, 400, false, kNow - kAge},
      {"optical 97 0xA5", 97, 0xA5, 13, 1, 1000, 400, false, 1000 + 200 * 60},
      {"radio stopped full 96", 96, 0, 13, 0, 1000, 32000, true, kNow - kAge + kTime},
      {"radio stopped full 97", 97, 0x10, 13, 0, 1000, 32000, true, kNow - kAge + kTime},
      {"radio 98 with 0x42 full at 16000", 98, 0, 0x42, 0, 1000, 16000, true, kNow - kAge + kTime},
      {"radio 98 without 0x42 not full at 16000", 98, 0, 13, 0, 1000, 16000, true, 1000 + 7999 * 60},
      {"radio recording full", 94, 0, 13, 1, 1000, 32000, true, 1000 + 15999 * 60},
      {"radio 97 0xA5", 97, 0xA5, 13, 1, 1000, 400, true, 1000 + 200 * 60},
  };
  for (const HeaderCase& c : cases) {
    SCOPED_TRACE(c.rule);
    std::string h(64, '\0');
    h[0] = 60;
    for (int i = 0; i < 8; ++i) h[2 + i] = static_cast<char>((c.start >> (8 * i)) & 0xFF);
    h[11] = static_cast<char>(c.state);
    h[12] = static_cast<char>(kAge & 0xFF);
    h[13] = static_cast<char>(kAge >> 8);
    h[32] = static_cast<char>(c.stored & 0xFF);
    h[33] = static_cast<char>(c.stored >> 8);
    const std::uint32_t word = static_cast<std::uint32_t>(c.model) << 17;
    for (int i = 0; i < 4; ++i) h[36 + i] = static_cast<char>((word >> (8 * i)) & 0xFF);
    h[42] = static_cast<char>(c.chType1);
    h[62] = static_cast<char>(c.subtype);
    auto view = com::vantor::HeaderView(h);
    const std::size_t width = static_cast<std::size_t>(view.RecordWidth());
    ASSERT_GT(width, 0u);
    const std::int64_t last = c.radio ? com::vantor::LastTimeRadio(view, kNow, kTime)
                                      : com::vantor::LastTimeOptical(view, kNow);
    EXPECT_EQ(last, c.expectedLast);
    EXPECT_EQ(com::vantor::FirstTime(view, last, 10 * width), last - 9 * 60);
    EXPECT_EQ(com::vantor::FirstTime(view, last, width), last);
  }
}

}  // namespace
