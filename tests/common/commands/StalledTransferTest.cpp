// Block transfers against units that answer without moving on: every
// conversation ends, keeps what arrived and says why it failed; and a
// cancelled settings write never turns into a read-back.

#include <gtest/gtest.h>

#include "ScriptedUnit.h"
#include "vantor/com/TcmdEWSTW.h"

namespace {

using namespace commands_test;

std::string ByteText(const lm::json::Value& array) {
  std::string out;
  for (const auto& v : array.get<lm::json::Array>()) out += static_cast<char>(static_cast<int>(v.get<double>()));
  return out;
}

// One answer of a script; `always` answers repeat once the script is used up.
struct Step {
  FieldMap fields;
  bool always = false;
  std::string raw{};  // bytes that are no answer frame, instead of `fields`
};

void Load(ScriptedUnit& unit, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    if (!s.raw.empty()) {
      unit.AnswerRaw(s.raw);
    } else if (s.always) {
      unit.AnswerAlways(s.fields);
    } else {
      unit.Answer(s.fields);
    }
  }
}

const FieldMap kTrendOk{{"STATUS", "0002-0000"}};
FieldMap Trend(FieldMap more) {
  more.emplace("STATUS", "0002-0000");
  return more;
}

struct TrendCase {
  const char* what;
  std::vector<Step> script;
  std::string data;  // DATA of the result
  std::size_t frames;
  bool success;
};

TEST(StalledTransfer, EtrndKeepsEveryBlockAndEndsWithoutProgress) {
  const std::string a(64, 'a'), b(64, 'b'), c(16, 'c');
  const FieldMap head{{"MAX", "144"}, {"INT", "3600"}, {"START", "7200"}, {"UTC", "9000"}};
  auto first = [&](std::string data) {
    FieldMap f = Trend(head);
    f["DATA"] = std::move(data);
    return f;
  };
  const TrendCase cases[] = {
      {"three blocks, the fields in the first only",
       {{first(a)}, {Trend({{"DATA", b}})}, {Trend({{"DATA", c}})}}, a + b + c, 3, true},
      {"a first answer without data goes on",
       {{first("")}, {Trend({{"DATA", a + b}})}, {Trend({{"DATA", c}})}}, a + b + c, 3, true},
      {"a first answer without a DATA field goes on",
       {{Trend(head)}, {Trend({{"DATA", a + b + c}})}}, a + b + c, 2, true},
      {"empty blocks for ever: three in a row end it",
       {{first(a)}, {Trend({{"DATA", ""}}), true}}, a, 4, false},
      {"blocks without a DATA field count as empty",
       {{first(a)}, {kTrendOk, true}}, a, 4, false},
      {"empty blocks between data blocks do not end it",
       {{first(a)}, {Trend({{"DATA", ""}})}, {Trend({{"DATA", ""}})}, {Trend({{"DATA", b}})},
        {Trend({{"DATA", ""}})}, {Trend({{"DATA", c}})}},
       a + b + c, 6, true},
      {"an answer not taken in counts as empty",
       {{first(a)}, {{}, false, "garbage"}, {Trend({{"DATA", b}})}, {Trend({{"DATA", c}})}}, a + b + c, 4, true},
      {"a refused block ends it at once", {{first(a)}, {{{"STATUS", "0002-0001"}}}}, a, 2, false},
  };
  for (const TrendCase& t : cases) {
    SCOPED_TRACE(t.what);
    ScriptedUnit unit("ETRND");
    Load(unit, t.script);
    Sorrel::Com::TcmdETRND handler{Sorrel::Com::NoUnits()};
    auto r = RunCall(handler, unit, "{}");
    EXPECT_EQ(unit.sent.size(), t.frames);
    EXPECT_EQ(ByteText(r["DATA"]), t.data);
    EXPECT_EQ(r["MAX"].get<double>(), 144);
    EXPECT_EQ(r["INT"].get<double>(), 3600);
    EXPECT_EQ(r["START"].get<double>(), 7200);
    EXPECT_EQ(r["UTC"].get<double>(), 9000);
    EXPECT_EQ(r["isSuccess"].get<bool>(), t.success);
  }
}

TEST(StalledTransfer, EtrndTakesEachFieldFromTheAnswerThatCarriedIt) {
  ScriptedUnit unit("ETRND");
  unit.Answer(Trend({{"MAX", "4"}, {"INT", "60"}, {"DATA", "ab"}}));
  unit.Answer(Trend({{"START", "100"}, {"DATA", "cd"}}));
  Sorrel::Com::TcmdETRND handler{Sorrel::Com::NoUnits()};
  auto r = RunCall(handler, unit, "{}");
  EXPECT_EQ(ByteText(r["DATA"]), "abcd");
  EXPECT_EQ(r["MAX"].get<double>(), 4);
  EXPECT_EQ(r["INT"].get<double>(), 60);
  EXPECT_EQ(r["START"].get<double>(), 100);
  EXPECT_FALSE(r.count("UTC"));  // never sent
}

// EISUC and EWSUC: answers that bring no new bytes are failed blocks.
struct RecordedCase {
  const char* what;
  const char* mnemonic;
  std::vector<Step> script;
  std::size_t frames;
  bool success;
  std::string data;  // Data on success
};

TEST(StalledTransfer, RecordedDataEndsAfterThreeAnswersWithoutNewBytes) {
  std::string header(64, '\0');
  header[30] = 6;  // EWSUC: six data bytes follow in all
  const FieldMap ok{{"STATUS", "0005-0000"}};
  auto data = [](std::string d) { return FieldMap{{"STATUS", "0005-0000"}, {"DATA", std::move(d)}}; };
  const FieldMap eisucHead{{"STATUS", "0005-0000"}, {"SIZE", "6"}, {"DATA", std::string(64, '\0')}};
  const FieldMap ewsucHead{{"STATUS", "0005-0000"}, {"SIZE", "70"}, {"DATA", header + "ab"}};
  const FieldMap accepted{{"STATUS", "0004-0000"}}, working{{"STATUS", "0004-0001"}};
  const RecordedCase cases[] = {
      {"EISUC: empty success blocks for ever", "EISUC", {{eisucHead}, {data("ab")}, {data(""), true}}, 5, false, ""},
      {"EISUC: success blocks without DATA for ever", "EISUC", {{eisucHead}, {ok, true}}, 4, false, ""},
      {"EISUC: two empty blocks in a row are tolerated", "EISUC",
       {{eisucHead}, {data("ab")}, {data("")}, {data("")}, {data("cd")}, {ok}, {data("ef")}}, 7, true, "abcdef"},
      {"EISUC: refused and empty blocks count together", "EISUC",
       {{eisucHead}, {data("ab")}, {{{"STATUS", "0005-0002"}}}, {data("")}, {ok}}, 5, false, ""},
      {"EWSUC: empty success blocks for ever", "EWSUC", {{accepted}, {ewsucHead}, {data(""), true}}, 5, false, ""},
      {"EWSUC: success blocks without DATA for ever", "EWSUC", {{accepted}, {ewsucHead}, {ok, true}}, 5, false, ""},
      {"EWSUC: still working for ever after the header", "EWSUC", {{accepted}, {ewsucHead}, {working, true}}, 5,
       false, ""},
      {"EWSUC: an empty DATA before the header is not the header", "EWSUC",
       {{accepted}, {data("")}, {ewsucHead}, {data("cdef")}}, 4, true, "abcdef"},
      {"EWSUC: pauses between blocks are tolerated", "EWSUC",
       {{accepted}, {ewsucHead}, {data("")}, {working}, {data("cd")}, {data("")}, {data("ef")}}, 7, true, "abcdef"},
  };
  const std::string ewsucArgs = R"({"CH":12,"ID":[1,2,3,4,5,6,7,8],"MODE":1,"RANGE":0})";
  com::vantor::CommandClock clock{.unixNow = [] { return std::int64_t{5000}; }, .tick = [] { return std::uint64_t{1}; }};
  for (const RecordedCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit(c.mnemonic);
    Load(unit, c.script);
    lm::json::Object r;
    std::string msg;
    if (std::string(c.mnemonic) == "EISUC") {
      Sorrel::Com::TcmdEISUC handler{Sorrel::Com::NoUnits()};
      r = RunCall(handler, unit, "{}", clock);
    } else {
      Sorrel::Com::TcmdEWSUC handler{Sorrel::Com::NoUnits()};
      r = RunCall(handler, unit, ewsucArgs, clock);
    }
    EXPECT_EQ(unit.sent.size(), c.frames);
    EXPECT_EQ(r["isSuccess"].get<bool>(), c.success);
    if (c.success) {
      EXPECT_EQ(ByteText(r["Data"]), c.data);
    } else {
      EXPECT_FALSE(r.count("Data"));
    }
  }
}

// The message a stalled transfer leaves says what happened: the added words
// only when accepted answers brought nothing; a failure status keeps the
// unit's own text.
TEST(StalledTransfer, StalledTransferMessageSaysWhatHappened) {
  const FieldMap head{{"STATUS", "0005-0000"}, {"SIZE", "6"}, {"DATA", std::string(64, '\0')}};
  const FieldMap someData{{"STATUS", "0005-0000"}, {"DATA", "ab"}};
  const FieldMap empty{{"STATUS", "0005-0000"}}, refused{{"STATUS", "0005-0003"}};
  const struct {
    const char* what;
    std::vector<Step> script;
    std::string msg;
  } cases[] = {
      {"accepted answers without bytes", {{head}, {someData}, {empty, true}},
       "STATUS=0005-0000 (EISUC 0 0 no new data in 3 answers in a row: 2 of 6 bytes)"},
      {"a failure status three times", {{head}, {someData}, {refused, true}}, "STATUS=0005-0003 (EISUC 0 0)"},
      {"refused, then empty to the end", {{head}, {refused}, {empty, true}},
       "STATUS=0005-0000 (EISUC 0 0 no new data in 3 answers in a row: 0 of 6 bytes)"},
      {"empty, then refused at the end", {{head}, {empty}, {empty}, {refused}}, "STATUS=0005-0003 (EISUC 0 0)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit("EISUC");
    Load(unit, c.script);
    Sorrel::Com::TcmdEISUC handler{Sorrel::Com::NoUnits()};
    auto command = handler.MakeCommand(*lm::json::Parse("{}"));
    unit.Execute(*command, 0);
    EXPECT_EQ(Sorrel::Com::tcmd_result::Message(*command), c.msg);
  }
}

// A write of a record that asks for read-back, cancelled while the unit
// still works on it; the answers after the cancel frame are the table's.
class QuickEwstw : public com::vantor::TcmdEWSTWValid {
 public:
  int GetInterval() const override { return 0; }  // the 2000 ms pauses change nothing here
};

struct CancelCase {
  const char* what;
  std::vector<FieldMap> afterCancel;
};

TEST(StalledTransfer, CancelledSettingsWriteEndsCancelledWithoutReadBack) {
  std::string record(64, '\0');
  record[30] = 0x10;
  std::string args = R"({"CH":12,"ID":[1,2,3,4,5,6,7,8],"FORMAT":0,"DATA":[)";
  for (int i = 0; i < 64; ++i) args += std::string(i ? "," : "") + (i == 30 ? "16" : "0");
  args += "]}";
  const FieldMap accepted{{"STATUS", "0004-0000"}}, working{{"STATUS", "0004-0001"}};
  const CancelCase cases[] = {
      {"a late 0004-0000 to the poll after the cancel", {accepted, accepted}},
      {"a late 0004-0000 with the record", {accepted, {{"STATUS", "0004-0000"}, {"DATA", record}}}},
      {"still working, then 0004-0000", {accepted, working, accepted}},
      {"the unit reports the cancel", {accepted, {{"STATUS", "0004-0008"}}}},
  };
  for (const CancelCase& c : cases) {
    SCOPED_TRACE(c.what);
    ScriptedUnit unit("EWSTW");
    unit.Answer(accepted);
    unit.Answer(working);
    unit.CancelDuring(2);
    for (const FieldMap& f : c.afterCancel) unit.Answer(f);
    unit.AnswerAlways({{"STATUS", "0004-0000"}, {"DATA", std::string(64, '\x01')}}, 5);  // a read-back that never matches
    std::uint64_t now = 0;
    auto command = std::make_shared<QuickEwstw>();
    const lm::json::Value parsed = *lm::json::Parse(args);
    Sorrel::Com::row_handler::ReadArguments(Sorrel::cef::ArgReader(parsed), *command);
    command->SetClock({.tick = [&] { return now += 100; }});
    unit.Execute(*command, 0);
    EXPECT_EQ(command->GetResult().status, ExecResult::kCancelled) << command->GetResult().message;
    ASSERT_EQ(unit.sent.size(), 3 + c.afterCancel.size() - 1);
    EXPECT_EQ(unit.sent[2], (FieldMap{{"ACT", "2"}}));
    for (std::size_t i = 3; i < unit.sent.size(); ++i) EXPECT_EQ(unit.sent[i], (FieldMap{{"ACT", "1"}}));
  }
}

}  // namespace
