// Argument reading and first frames of every mnemonic: what the page gives,
// what is sent, and the argument error of the first refused key.

#include <gtest/gtest.h>

#include "sorrel/cef/Exception.h"
#include "sorrel/com/TcmdCatalogueHandlers.h"

namespace {

using com::vantor::FieldMap;

const std::string kId = "[1,2,3,4,5,6,7,8]";
const std::string kIdBytes = "\x01\x02\x03\x04\x05\x06\x07\x08";

struct Case {
  std::string mnemonic;
  std::string args;       // members besides comInfo
  FieldMap sent;          // the first frame's fields (all of them)
  std::string error = {}; // the failure text instead, when not empty
  int code = 0;
};

std::string Bytes(std::size_t n, int value = 7) {
  std::string out = "[";
  for (std::size_t i = 0; i < n; ++i) out += (i ? "," : "") + std::to_string(value);
  return out + "]";
}

FieldMap Addressed(FieldMap more, const std::string& act = "0") {
  more["CH"] = "12";
  more["ID"] = kIdBytes;
  if (!act.empty()) more["ACT"] = act;
  return more;
}

std::string Refused(const std::string& key) { return R"({"code1":0,"msg":"Invalid arguments : ')" + key + R"('"})"; }

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"EBSTS", "", {}},
      {"EINIT", R"("MODE":"GSM")", {{"MODE", "GSM"}}},
      {"EINIT", R"("MODE":"REBOOT")", {}, Refused("MODE")},
      {"EINIT", "", {}, R"({"code1":-1,"msg":"Invalid arguments : 'MODE' is not found."})", -1},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"abc","NUM":250,"CH":0)",
       {{"ID", kIdBytes}, {"NAME", std::string("abc\0\0\0\0\0", 8)}, {"NUM", "250"}, {"CH", "0"}}},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"abcdefgh","NUM":1,"CH":255,"BAND":7)",
       {{"ID", kIdBytes}, {"NAME", "abcdefgh"}, {"NUM", "1"}, {"CH", "255"}, {"BAND", "7"}}},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"abcdefghi","NUM":0,"CH":0)", {}, Refused("NAME")},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"a","NUM":251,"CH":0)", {}, Refused("NUM")},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"a","NUM":0,"CH":0)", {}, Refused("NUM")},
      {"EIREG", R"("ID":)" + kId + R"(,"NAME":"a","NUM":1,"CH":0,"BAND":8)", {}, Refused("BAND")},
      {"EIREG", R"("ID":[1,2,3],"NAME":"a","NUM":1,"CH":0)", {}, Refused("ID")},
      {"EIRSP", "", {{"MODE", "1"}}},
      {"EISCL", "", {{"ACT", "1"}}},
      {"EISCL", R"("SendData":)" + Bytes(64), {{"ACT", "0"}, {"DATA", std::string(64, 7)}}},
      {"EISCL", R"("SendData":)" + Bytes(63), {}, Refused("SendData")},
      {"EISER", "", {}},
      {"EISET", "", {{"ACT", "1"}}},
      {"EISET", R"("SendData":)" + Bytes(64), {{"ACT", "0"}, {"DATA", std::string(64, 7)}}},
      {"EISET", R"("SendData":)" + Bytes(65), {}, Refused("SendData")},
      {"EISOH", R"("TIME":65535,"SendData":[1])", {{"TIME", "65535"}, {"DATA", "\x01"}}},
      {"EISOH", R"("TIME":65536)", {}, Refused("TIME")},
      {"EISOH", R"("SendData":[])", {}, Refused("SendData")},
      {"EISUC", "", {{"MODE", "0"}, {"RANGE", "0"}}},
      {"EISUC", R"("MODE":2,"RANGE":30)", {{"MODE", "2"}, {"RANGE", "30"}}},
      {"EISUC", R"("MODE":3)", {}, Refused("MODE")},
      {"EISUC", R"("RANGE":-1)", {}, Refused("RANGE")},
      {"EIWRS", R"("MODE":1)", {{"MODE", "1"}}},
      {"EIWRS", R"("MODE":2)", {}, Refused("MODE")},
      {"ELOGS", R"("MODE":0)", {{"MODE", "0"}, {"ACT", "0"}}},
      {"ELOGS", R"("MODE":1,"NUM":12,"Limit":-1)", {{"MODE", "1"}, {"ACT", "0"}, {"NUM", "12"}}},
      {"ELOGS", R"("MODE":1,"NUM":-1)", {{"MODE", "1"}, {"ACT", "0"}}},
      {"ELOGS", R"("MODE":1,"NUM":10000)", {}, Refused("NUM")},
      {"ELOGS", R"("MODE":1,"Limit":-2)", {}, Refused("Limit")},
      {"ETLAN", R"("ACT":1,"MODE":2)", {{"ACT", "1"}, {"MODE", "2"}}},
      {"ETLAN", R"("ACT":2,"MODE":3)", {}, Refused("ACT")},
      {"ETRND", "", {{"ACT", "0"}}},
      {"KENSA", R"("CMD":-5,"SendData":[])", {{"CMD", "-5"}, {"DATA", ""}}},
      {"KENSA", R"("CMD":1.5,"SendData":[])", {}, R"({"code1":-2,"msg":"Invalid arguments : 'CMD' value is invalid."})", -2},
      // Radio addressing.
      {"EWLEX", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWLEX", R"("CH":12,"ID":)" + kId + R"(,"MAX":3,"RELAY":[],"ROUTE":1,"BAND":7)",
       Addressed({{"MAX", "3"}, {"RELAY", std::string(1, '\0')}, {"ROUTE", "1"}, {"BAND", "7"}})},
      {"EWLRU", R"("CH":12,"ID":)" + kId + R"(,"RELAY":[1,2])", Addressed({{"RELAY", "\x01\x02"}})},
      {"EWLEX", R"("CH":256,"ID":)" + kId, {}, Refused("CH")},
      {"EWLEX", R"("CH":12,"ID":)" + kId + R"(,"ROUTE":2)", {}, Refused("ROUTE")},
      {"EWLEX", R"("CH":12,"ID":)" + kId + R"(,"BAND":8)", {}, Refused("BAND")},
      {"EWLEX", R"("CH":12,"ID":[1,2,3,4,5,6,7])", {}, Refused("ID")},
      {"EWLEX", R"("CH":12,"ID":)" + kId + R"(,"MAX":256,"ROUTE":2)", {}, Refused("MAX")},  // the first one
      {"EWLRU", R"("ID":)" + kId, {}, R"({"code1":-1,"msg":"Invalid arguments : 'CH' is not found."})", -1},
      {"EWOLR", R"("CH":12,"ID":)" + kId + R"(,"NUM":255)", Addressed({{"NUM", "255"}})},
      {"EWOLW", R"("CH":12,"ID":)" + kId + R"(,"DATA":)" + Bytes(64), Addressed({{"DATA", std::string(64, 7)}})},
      {"EWOLW", R"("CH":12,"ID":)" + kId + R"(,"DATA":)" + Bytes(65), {}, Refused("DATA")},
      {"EWPLR", R"("CH":12,"ID":)" + kId + R"(,"NUM":256)", {}, Refused("NUM")},
      {"EWPLW", R"("CH":12,"ID":)" + kId + R"(,"DATA":[])", Addressed({{"DATA", ""}})},
      {"EWPSP", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWPSR", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWPSW", R"("CH":12,"ID":)" + kId + R"(,"DATA":)" + Bytes(65), {}, Refused("DATA")},
      {"EWPTM", R"("CH":12,"ID":)" + kId + R"(,"DiffTime":43201,"TimeOffset":0)", {}, Refused("DiffTime")},
      {"EWPWR", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWPWW", R"("CH":12,"ID":)" + kId + R"(,"DATA":)" + Bytes(16), Addressed({{"DATA", std::string(16, 7)}})},
      {"EWPWW", R"("CH":12,"ID":)" + kId + R"(,"DATA":)" + Bytes(15), {}, Refused("DATA")},
      {"EWRSC", R"("CH":12,"ID":)" + kId + R"(,"FORMAT":5)", Addressed({{"FORMAT", "5"}})},
      {"EWRSC", R"("CH":12,"ID":)" + kId + R"(,"FORMAT":6)", {}, Refused("FORMAT")},
      {"EWRSP", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWSTR", R"("CH":12,"ID":)" + kId, Addressed({})},
      {"EWSTW", R"("CH":12,"ID":)" + kId + R"(,"FORMAT":1,"DATA":[1])", Addressed({{"FORMAT", "1"}, {"DATA", "\x01"}})},
      {"EWSTW", R"("CH":12,"ID":)" + kId + R"(,"FORMAT":2,"DATA":[1])", {}, Refused("FORMAT")},
      {"EWSUC", R"("CH":12,"ID":)" + kId + R"(,"MODE":2,"RANGE":0)", Addressed({{"MODE", "2"}, {"RANGE", "0"}}, "")},
      {"EWSUC", R"("CH":12,"ID":)" + kId + R"(,"MODE":0)", {},
       R"({"code1":-1,"msg":"Invalid arguments : 'RANGE' is not found."})", -1},
      {"RUINF", "", {}},
      // Only the keys given are sent; NAME may not be empty.
      {"WUINF", "", {}},
      {"WUINF", R"("UNITS":1,"NAME":")" + std::string(32, 'n') + R"(")",
       {{"NAME", std::string(32, 'n')}, {"UNITS", "1"}}},
      {"WUINF", R"("NAME":"")", {}, Refused("NAME")},
      {"WUINF", R"("NAME":")" + std::string(33, 'n') + R"(")", {}, Refused("NAME")},
      {"WUINF", R"("DESC":")" + std::string(65, 'd') + R"(")", {}, Refused("DESC")},
      {"WUINF", R"("UNITS":2)", {}, Refused("UNITS")},
  };
  return cases;
}

TEST(ArgumentFrames, EveryMnemonicReadsItsKeysAndSendsItsFields) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.mnemonic + " {" + c.args + "}");
    const auto* entry = Sorrel::Com::FindCatalogueHandler(c.mnemonic);
    ASSERT_NE(entry, nullptr);
    auto args = lm::json::Parse("{\"comInfo\":{}" + std::string(c.args.empty() ? "" : ",") + c.args + "}");
    ASSERT_TRUE(args);
    try {
      auto command = entry->command(*args);
      EXPECT_TRUE(c.error.empty()) << "accepted";
      auto frame = com::vantor::ParseFrame(command->BuildSendData(com::vantor::kPhaseFirst));
      ASSERT_TRUE(frame);
      EXPECT_EQ(frame->name, c.mnemonic);
      EXPECT_EQ(frame->fields, c.sent);
    } catch (const Sorrel::cef::JsArgumentException& e) {
      EXPECT_EQ(e.Text(), c.error);
      EXPECT_EQ(e.Code(), c.code);
    }
  }
}

TEST(ArgumentFrames, EveryMnemonicIsCovered) {
  std::set<std::string> covered;
  for (const Case& c : Cases()) covered.insert(c.mnemonic);
  for (const auto& row : com::vantor::catalogue::kCatalogue) EXPECT_TRUE(covered.count(std::string(row.name))) << row.name;
}

TEST(ArgumentFrames, RadioFollowUpsAndCancelCarryOnlyAct) {
  auto args = lm::json::Parse(R"({"CH":12,"ID":[1,2,3,4,5,6,7,8],"MAX":2})");
  auto command = Sorrel::Com::FindCatalogueHandler("EWLEX")->command(*args);
  command->BuildSendData(com::vantor::kPhaseFirst);
  EXPECT_EQ(com::vantor::ParseFrame(command->BuildSendData(com::vantor::kPhaseFollowUp))->fields,
            (FieldMap{{"ACT", "1"}}));
  EXPECT_EQ(com::vantor::ParseFrame(command->BuildSendData(com::vantor::kPhaseCancel))->fields,
            (FieldMap{{"ACT", "2"}}));
}

TEST(ArgumentFrames, EwptmCarriesTheClockInTwelveBytes) {
  auto data = com::vantor::TcmdEWPTM::ClockData(0x1'2345'6789LL, 1, -2);
  EXPECT_EQ(data, std::string("\x8A\x67\x45\x23\0\0\0\0\xFE\xFF\xFF\xFF", 12));
  // From the page, with a fixed clock.
  auto args = lm::json::Parse(R"({"CH":12,"ID":[1,2,3,4,5,6,7,8],"DiffTime":-43200,"TimeOffset":-100})");
  auto command = Sorrel::Com::TcmdEWPTM().MakeCommand(*args);
  command->SetClock({.unixNow = [] { return std::int64_t{1000}; }});
  auto frame = com::vantor::ParseFrame(command->BuildSendData(com::vantor::kPhaseFirst));
  EXPECT_EQ(std::string(*frame->Find("DATA")), com::vantor::TcmdEWPTM::ClockData(1000, -100, -43200));
}

}  // namespace
