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

std::string Repeat(const std::string& unit, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += unit;
  return out;
}

// A JSON string body of n copies of a character.
std::string Text(std::size_t n, const std::string& unit = "t") { return Repeat(unit, n); }

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
      // Settings blocks: reads send nothing; writes send what is given, checked
      // by byte length after conversion (温 is 2 bytes in CP932).
      {"RCURP", "", {}},
      {"WCURP", R"("INT":1439,"ROUTE":2,"SBJ":"温度")", {{"INT", "1439"}, {"ROUTE", "2"}, {"SBJ", "\x89\xB7\x93\x78"}}},
      {"WCURP", R"("INT":1440)", {}, Refused("INT")},
      {"WCURP", R"("TO1":")" + Text(33, "温") + R"(")", {}, Refused("TO1")},
      {"RENCD", "", {}},
      {"WENCD", R"("MAIL":1,"FTP":0)", {{"MAIL", "1"}, {"FTP", "0"}}},
      {"RNETP", "", {}},
      {"WNETP", R"("IP":"192.168.1.10","PW":"secret","DNS2":"255.255.255.255")",
       {{"IP", "192.168.1.10"}, {"PW", "secret"}, {"DNS2", "255.255.255.255"}}},
      {"WNETP", R"("IP":"")", {}, Refused("IP")},
      {"WNETP", R"("IP":"192.168.100.1000")", {}, Refused("IP")},
      {"WNETP", R"("PW":"short")", {}, Refused("PW")},
      {"RNSRV", "", {}},
      {"WNSRV", R"("FTPPT":65535,"PASV":1,"FTPPW":"pw")", {{"FTPPT", "65535"}, {"PASV", "1"}, {"FTPPW", "pw"}}},
      // Keys are read service by service: a port before a later text.
      {"WNSRV", R"("SMTPSV":")" + Text(65) + R"(","FTPPT":65536)", {}, Refused("FTPPT")},
      {"WNSRV", R"("AUTHID":")" + Text(65) + R"(","SMTPPT":-1)", {}, Refused("SMTPPT")},
      {"WNSRV", R"("SNTP2":")" + Text(65) + R"(","RESPT":70000)", {}, Refused("SNTP2")},
      {"RPRXY", "", {}},
      {"WPRXY", R"("HTTPEN":1,"HTTPIP":"proxy","HTTPPT":8080)", {{"HTTPEN", "1"}, {"HTTPIP", "proxy"}, {"HTTPPT", "8080"}}},
      {"WPRXY", R"("MAILEN":2,"FTPIP":")" + Text(65) + R"(")", {}, Refused("FTPIP")},
      {"RRUST", "", {}},
      {"WRUST", R"("ID":)" + kId + R"(,"NUM":250,"CH":1000,"BAND":6)",
       {{"ID", kIdBytes}, {"NUM", "250"}, {"CH", "1000"}, {"BAND", "6"}}},
      {"WRUST", R"("BAND":7)", {}, Refused("BAND")},
      {"WRUST", R"("CH":-1)", {}, Refused("CH")},
      {"WRUST", R"("ID":[1,2,3,4,5,6,7])", {}, Refused("ID")},
      {"RSUCP", "", {}},
      // Report events: enable, week, hour, minute as six digits.
      {"WSUCP", R"("EVT0":{"enable":0,"week":0,"hour":0,"minute":0},"EVT1":{"enable":1,"week":3,"hour":7,"minute":5},)"
                R"("EVT8":{"enable":1,"week":7,"hour":23,"minute":59},"ROUTE":1)",
       {{"EVT0", "000000"}, {"EVT1", "130705"}, {"EVT8", "172359"}, {"ROUTE", "1"}}},
      {"WSUCP", R"("EVT2":{"enable":1,"week":3,"hour":7,"minute":60})", {}, Refused("EVT2")},
      {"WSUCP", R"("EVT3":{"enable":2,"week":0,"hour":0,"minute":0})", {}, Refused("EVT3")},
      {"WSUCP", R"("EVT4":{"enable":0,"week":8,"hour":0,"minute":0})", {}, Refused("EVT4")},
      {"WSUCP", R"("EVT5":{"enable":0,"week":0,"hour":24,"minute":0})", {}, Refused("EVT5")},
      {"WSUCP", R"("EVT7":{"enable":0,"week":0,"hour":0})", {},
       R"({"code1":-1,"msg":"Invalid arguments : 'EVT7.minute' is not found."})", -1},
      {"WSUCP", R"("EVT7":{"enable":0,"week":0,"hour":0.5,"minute":0})", {},
       R"({"code1":-2,"msg":"Invalid arguments : 'EVT7.hour' value is invalid."})", -2},
      {"WSUCP", R"("EVT7":"130705")", {}, R"({"code1":-2,"msg":"Invalid arguments : 'EVT7' must have type object."})", -2},
      {"WSUCP", R"("ROUTE":2)", {}, Refused("ROUTE")},
      // ATTACH is read first, the events last.
      {"WSUCP", R"("ENABLE":2,"ATTACH":")" + Text(65) + R"(")", {}, Refused("ATTACH")},
      {"WSUCP", R"("EVT0":{"enable":0,"week":0,"hour":0,"minute":99},"FNAME":")" + Text(65) + R"(")", {}, Refused("FNAME")},
      {"RUSRD", "", {}},
      {"WUSRD", R"("DATA":)" + Bytes(64), {{"DATA", std::string(64, 7)}}},
      {"WUSRD", R"("DATA":[])", {{"DATA", ""}}},
      {"WUSRD", R"("DATA":)" + Bytes(65), {}, Refused("DATA")},
      {"WUSRD", "", {}, R"({"code1":-1,"msg":"Invalid arguments : 'DATA' is not found."})", -1},
      {"RWARP", "", {}},
      {"WWARP", R"("INT":1440,"FN4":255,"TO4":"x")", {{"INT", "1440"}, {"FN4", "255"}, {"TO4", "x"}}},
      {"WWARP", R"("INT":1441)", {}, Refused("INT")},
      {"RWLAN", "", {}},
      {"WWLAN", R"("CH":13,"SSID":")" + Text(16, "温") + R"(","WEP":")" + Text(26) + R"(","PSK":")" + Text(64) + R"(")",
       {{"CH", "13"}, {"SSID", Repeat("\x89\xB7", 16)}, {"WEP", std::string(26, 't')},
        {"PSK", std::string(64, 't')}}},
      {"WWLAN", R"("CH":14)", {}, Refused("CH")},
      {"WWLAN", R"("SSID":")" + Text(33) + R"(")", {}, Refused("SSID")},
      {"WWLAN", R"("WEP":"")", {}, Refused("WEP")},
      {"WWLAN", R"("PSK":")" + Text(65) + R"(")", {}, Refused("PSK")},
      {"RDTIM", "", {}},
      {"RSETF", "", {{"OFFSET", "0"}, {"SIZE", "1024"}}},
      {"WDTIM", R"("DST":")" + Text(26) + R"(","DIFF":"+090")", {}, Refused("DIFF")},
      {"WSETF", R"("SendData":[1,2],"OFFSET":3)", {{"DATA", "\x01\x02"}, {"OFFSET", "3"}}},
      {"WSETF", R"("regInfo":[])", {}, R"({"code1":-2,"msg":"Invalid arguments : 'regInfo' must have type object."})", -2},
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
  auto command = Sorrel::Com::TcmdEWPTM(Sorrel::Com::NoUnits()).MakeCommand(*args);
  command->SetClock({.unixNow = [] { return std::int64_t{1000}; }});
  auto frame = com::vantor::ParseFrame(command->BuildSendData(com::vantor::kPhaseFirst));
  EXPECT_EQ(std::string(*frame->Find("DATA")), com::vantor::TcmdEWPTM::ClockData(1000, -100, -43200));
}

}  // namespace
