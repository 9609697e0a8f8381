// The parts the subcommands share: option parsing, the output formats,
// choosing the base unit, the LAN password and what the records keep of an
// answer.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "linkmeter/cli/ArgParser.h"
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/AnswerFilters.h"
#include "linkmeter/cli/UnitConnection.h"
#include "linkmeter/cli/SilenceSubject.h"
#include "linkmeter/cli/UnitNames.h"

using namespace linkmeter::cli;

namespace {

lm::json::Value Json(const std::string& text) { return *lm::json::Parse(text); }

TEST(SubcommandArgs, ParsesOrRefuses) {
  const std::vector<OptionRule> known{{"--unit", true}, {"--site", false}};
  struct Case {
    std::vector<std::string> args;
    std::string error;  // "" when it parses
    std::string unit;
    size_t words;
  };
  const Case cases[] = {
      {{"--unit", "A", "read", "x"}, "", "A", 2},
      {{"--unit=B", "--site"}, "", "B", 0},
      {{"--", "--site"}, "", "", 1},  // after "--" everything is a word
      {{"--unit"}, "--unit needs a value", "", 0},
      {{"--unit="}, "--unit needs a value", "", 0},
      {{"--site=1"}, "--site takes no value", "", 0},
      {{"--unit", "A", "--unit", "B"}, "--unit given twice", "", 0},
      {{"--units", "A"}, "unknown option: --units", "", 0},
      {{"-"}, "", "", 1},
  };
  for (const Case& c : cases) {
    std::string error;
    auto parsed = ParseArgs(c.args, known, error);
    EXPECT_EQ(error, c.error) << c.args.front();
    if (!c.error.empty()) continue;
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->Get("--unit").value_or(""), c.unit);
    EXPECT_EQ(parsed->positionals.size(), c.words);
  }
}

// A file named on the command line stays the file it named when the
// arguments were read, whatever folder the process enters later (the LAN
// search library enters its own); one that cannot be read is refused then.
TEST(SubcommandArgs, InputFilesAreAbsoluteAndReadable) {
  ::unsetenv("LINKMETER_PASSWORD");
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("lm-cli-files-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir / "sub");
  std::ofstream(dir / "pw") << "secret\n";
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  const std::vector<OptionRule> known{{"--password-file", true, true}, {"--unit", true}};
  const struct {
    std::vector<std::string> args;
    std::string value, error;
  } cases[] = {
      {{"--password-file", "pw"}, (dir / "pw").string(), ""},
      {{"--password-file=./sub/../pw"}, (dir / "pw").string(), ""},
      {{"--password-file", (dir / "pw").string()}, (dir / "pw").string(), ""},
      {{"--unit", "pw"}, "", ""},  // not a file option: left as given
      {{"--password-file", "none"}, "", "cannot read " + (dir / "none").string() + ": No such file or directory"},
      {{"--password-file", "sub"}, "", "cannot read " + (dir / "sub").string() + ": it is a folder"},
  };
  std::vector<std::optional<ParsedArgs>> parsed;
  for (const auto& c : cases) {
    std::string error;
    parsed.push_back(ParseArgs(c.args, known, error));
    EXPECT_EQ(error, c.error) << c.args[0];
  }
  std::filesystem::current_path(dir / "sub");  // as a LAN search might
  for (size_t i = 0; i < std::size(cases); ++i) {
    if (cases[i].value.empty()) continue;
    ASSERT_TRUE(parsed[i]);
    EXPECT_EQ(parsed[i]->Get("--password-file"), cases[i].value);
    std::string error;
    EXPECT_EQ(LanPassword(parsed[i]->Get("--password-file"), Json("{}"), {}, error), "secret") << error;
  }
  EXPECT_EQ(parsed[3]->Get("--unit"), "pw");
  std::filesystem::current_path(before);
  std::filesystem::remove_all(dir);
}

TEST(SubcommandArgs, Counts) {
  struct Case {
    const char* text;
    std::optional<long> value;
  } const cases[] = {{"1", 1}, {"100", 100}, {"0", std::nullopt}, {"101", std::nullopt},
                     {"", std::nullopt}, {"5x", std::nullopt}, {"-3", std::nullopt}, {" 5", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(ParseCount(c.text, 1, 100), c.value) << c.text;
}

// A step names a unit: its name's line break must not end the log line
// (a monitor's log reader would take what follows for a line of its own).
TEST(SubcommandOutput, AProgressStepIsOneLineWhateverTheNameHolds) {
  std::ostringstream err;
  {
    Progress progress(err, false);
    progress.Step(1, 2, "unit 1/2 G1 RAIN\r\n2026-01-01T00:00:00Z alarm=resolved\t\x7f");
  }
  EXPECT_EQ(err.str(), "unit 1/2 G1 RAIN  2026-01-01T00:00:00Z alarm=resolved  \n");
}

TEST(SubcommandOutput, CsvQuotesAndGuardsFormulas) {
  std::ostringstream out;
  WriteCsv(out, {{"a", "b"}, {{"x,y", "say \"hi\""}, {"=SUM(A1)", "-12.5"}, {"@x", "+"}}});
  EXPECT_EQ(out.str(), "a,b\r\n\"x,y\",\"say \"\"hi\"\"\"\r\n'=SUM(A1),-12.5\r\n'@x,'+\r\n");
}

TEST(SubcommandOutput, AlignsByCharactersNotBytes) {
  std::ostringstream out;
  WriteAligned(out, {{"name", "n"}, {{"Grün", "1"}, {"x", "22"}}});
  EXPECT_EQ(out.str(), "name  n\n----  --\nGrün  1\nx     22\n");
}

// Display columns: kana and kanji take two.
size_t Columns(const std::string& line) {
  size_t n = 0;
  for (size_t i = 0; i < line.size(); ++i) {
    const auto c = static_cast<unsigned char>(line[i]);
    if ((c & 0xC0) == 0x80) continue;
    n += c >= 0xE3 && c <= 0xE9 ? 2 : 1;  // the CJK blocks start at U+3000
  }
  return n;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(SubcommandOutput, WideTablesWrapTheirProseToFitAHundredColumns) {
  const std::string prose = "Raise or move repeater G1 R1 and the antenna of G1 RAIN-P; "
                            "then survey the route again with twenty probes";
  const std::string kanji = "中継器G1 R1を高くするか、場所を移してください。子機G1 RAIN-Pのアンテナも。";
  const Table table{{"unit", "serial", "time (this computer)", "remedy"},
                    {{"G1 RAIN-P", "00C20203", "2026-12-10 14:14:13", prose},
                     {"G1 SUN-LX", "00C40204", "2026-12-10 14:15:01", kanji}}};
  std::ostringstream out;
  WriteAligned(out, table);
  const auto lines = Lines(out.str());
  for (const auto& line : lines) EXPECT_LE(Columns(line), kTableWidth) << line;
  // A header wraps before a cell does; short cells stay whole on their
  // row's first line; prose wraps at spaces, kanji where it must.
  ASSERT_EQ(lines.size(), 7u) << out.str();
  EXPECT_EQ(lines[0], "unit       serial    time (this           remedy") << out.str();
  EXPECT_EQ(lines[1], "                     computer)") << out.str();
  EXPECT_EQ(lines[3].rfind("G1 RAIN-P  00C20203  2026-12-10 14:14:13  Raise or move", 0), 0u) << out.str();
  EXPECT_EQ(lines[4], std::string(42, ' ') + "then survey the route again with twenty probes") << out.str();
  EXPECT_EQ(lines[5].rfind("G1 SUN-LX  00C40204  2026-12-10 14:15:01  中継器", 0), 0u) << out.str();
  // A table that fits is left as it is.
  std::ostringstream narrow;
  WriteAligned(narrow, {{"unit", "serial"}, {{"G1 RAIN-P", "00C20203"}}});
  EXPECT_EQ(narrow.str(), "unit       serial\n---------  --------\nG1 RAIN-P  00C20203\n");
}

TEST(SubcommandOutput, LongUsageLinesBreakBetweenOptions) {
  const std::string usage =
      "usage: linkmeter-cli monitor --unit U [--every 1h] [--probes N] [--registration FILE] [--password-file FILE]\n"
      "short line";
  const auto lines = Lines(FitLines(usage));
  ASSERT_EQ(lines.size(), 3u) << FitLines(usage);
  EXPECT_EQ(lines[0], "usage: linkmeter-cli monitor --unit U [--every 1h] [--probes N] [--registration FILE]");
  EXPECT_EQ(lines[1], "        [--password-file FILE]");
  EXPECT_EQ(lines[2], "short line");
}

TEST(SubcommandOutput, NumbersAsAPersonWritesThem) {
  EXPECT_EQ(NumberText(lm::json::Number(12)), "12");
  EXPECT_EQ(NumberText(lm::json::Number(12.5)), "12.5");
  EXPECT_EQ(NumberText(lm::json::Value()), "");
  EXPECT_EQ(MemberText(Json(R"({"a":true})"), "a"), "true");
  EXPECT_EQ(MemberText(Json("[1]"), "a"), "");
}

TEST(SubcommandOutput, JsonWritesSerialsAsTheTextShownEverywhere) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {R"({"sites":[{"serial":10223649,"name":"RIVERSIDE"}]})", R"({"sites":[{"name":"RIVERSIDE","serial":"009C0021"}]})"},
      {R"({"visit":{"siteSerial":10223649,"id":3}})", R"({"visit":{"id":3,"siteSerial":"009C0021"}})"},
      {R"({"records":[{"unit":12322050},{"unit":null}]})", R"({"records":[{"unit":"00BC0502"},{"unit":null}]})"},
      {R"({"serials":[10223649,"00BC0502"],"baseSerial":0})", R"({"baseSerial":"00000000","serials":["009C0021","00BC0502"]})"},
      // Already text, not a serial's member, not a whole 32-bit number: as they are.
      {R"({"serial":"009C0021","id":10223649,"unit":{"serial":"00BC0502"}})", R"({"id":10223649,"serial":"009C0021","unit":{"serial":"00BC0502"}})"},
      {R"({"serial":-1,"unit":2.5,"siteSerial":4294967296})", R"({"serial":-1,"siteSerial":4294967296,"unit":2.5})"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(lm::json::ToText(WithSerialText(Json(c.in))), c.out);
  }
}

const FoundUnits kFound{{Json(R"({"com":1,"serial":"009A0011","name":"GREENHOUSE"})"),
                         Json(R"({"com":2,"serial":"009C0021","name":"RIVERSIDE","ipAddr":"127.0.0.1","port":4000})"),
                         Json(R"({"com":2,"serial":"009C0022","name":"RIVERSIDE","ipAddr":"10.0.0.7","port":62500})")},
                        {},
                        {}};

TEST(SubcommandUnit, ChoosesBySerialNameOrAddress) {
  struct Case {
    std::optional<std::string> wanted;
    std::string serial;  // chosen, or "" for none
    int status;
    std::string com;
  } const cases[] = {
      {"009a0011", "009A0011", 0, "1"},
      {"9A0011", "009A0011", 0, "1"},  // without its leading zeros
      {"greenhouse", "009A0011", 0, "1"},
      {"127.0.0.1", "009C0021", 0, "2"},
      {"10.0.0.7:62500", "009C0022", 0, "2"},
      {"RIVERSIDE", "", kExitUsage, ""},        // two units of that name
      {"NOWHERE", "", kExitUnitNotFound, ""},
      {"192.168.9.9:7000", "", 0, "3"},           // an address no search found: by address
      {"300.1.1.1", "", kExitUnitNotFound, ""},
      {std::nullopt, "", kExitUsage, ""},        // several units, none named
  };
  for (const Case& c : cases) {
    UnitChoice choice = ChooseUnit(kFound, c.wanted, {});
    EXPECT_EQ(choice.status, c.status) << c.wanted.value_or("(none)");
    if (c.com.empty()) {
      EXPECT_FALSE(choice.entry) << c.wanted.value_or("(none)");
      continue;
    }
    ASSERT_TRUE(choice.entry) << c.wanted.value_or("(none)");
    EXPECT_EQ(MemberText(*choice.entry, "serial"), c.serial);
    EXPECT_EQ(MemberText(*choice.entry, "com"), c.com);
  }
  // Two units of one name: both listed, with where they are.
  const std::string twice = ChooseUnit(kFound, "RIVERSIDE", {}).error;
  EXPECT_NE(twice.find("RIVERSIDE (009C0021, 127.0.0.1:4000), RIVERSIDE (009C0022, 10.0.0.7:62500)"), std::string::npos)
      << twice;
  // Without --unit: the only unit found, or the demo site's LAN unit.
  FoundUnits one{{kFound.units[0]}, {}, {}};
  EXPECT_EQ(MemberText(*ChooseUnit(one, std::nullopt, {}).entry, "serial"), "009A0011");
  auto demo = ChooseUnit(kFound, std::nullopt, {kFound.units[0], Json(R"({"com":2,"serial":"009C0021"})")});
  EXPECT_EQ(MemberText(*demo.entry, "serial"), "009C0021");
  EXPECT_EQ(ChooseUnit({}, std::nullopt, {}).status, kExitUnitNotFound);
}

TEST(SubcommandUnit, NamesAndSerialsInEveryFormPickOneUnit) {
  const std::vector<NamedUnit> units{
      {"00C80101", {"G1 R1", "R1"}, ""},          {"00C80201", {"G2 R1", "R1"}, ""},
      {"00BC0502", {"G3 APPLE-2", "APPLE-2"}, ""}, {"00BC0503", {"G3 Apple", "Apple"}, ""},
      {"00BC0504", {"G3 APPLE", "APPLE"}, ""},     {"0000BEEF", {"G1 CAFE", "CAFE"}, ""},
      {"0000CAFE", {"G1 X", "X"}, ""},
  };
  struct Case {
    std::string wanted;
    bool takeUnknownSerial;
    int index;           // -1: none
    std::string serial;  // "" when none is named
    std::string errorHas;
  } const cases[] = {
      {"00BC0502", false, 2, "00BC0502", ""},
      {"bc0502", false, 2, "00BC0502", ""},
      {"G3 APPLE-2", false, 2, "00BC0502", ""},
      {"apple-2", false, 2, "00BC0502", ""},
      {"Apple", false, 3, "00BC0503", ""},  // the exact name before one in another case
      {"BEEF", false, 5, "0000BEEF", ""},
      {"R1", false, -1, "", "'R1' names 2 of them: G1 R1 (00C80101), G2 R1 (00C80201)"},
      {"apple", false, -1, "", "'apple' names 2 of them: G3 Apple (00BC0503), G3 APPLE (00BC0504)"},
      // A name, and another unit's serial.
      {"CAFE", false, -1, "", "'CAFE' names 2 of them: G1 CAFE (0000BEEF), G1 X (0000CAFE); give one of their serials"},
      {"NOWHERE", true, -1, "", "no unit named 'NOWHERE' (known: G1 R1 (00C80101), "},
      {"12345678", false, -1, "", "no unit named '12345678'"},
      {"12345678", true, -1, "12345678", ""},  // a unit not seen yet
      {"beef0", true, -1, "000BEEF0", ""},
      {"123456789", true, -1, "", "no unit named"},
      {"", true, -1, "", "no unit named ''"},
  };
  for (const Case& c : cases) {
    const UnitPick pick = PickUnit(units, c.wanted, "unit", c.takeUnknownSerial);
    EXPECT_EQ(pick.index ? static_cast<int>(*pick.index) : -1, c.index) << c.wanted;
    EXPECT_EQ(pick.serial, c.serial) << c.wanted;
    EXPECT_EQ(pick.ambiguous, c.errorHas.find(" names ") != std::string::npos) << c.wanted;
    if (c.errorHas.empty()) EXPECT_EQ(pick.error, "") << c.wanted;
    else EXPECT_NE(pick.error.find(c.errorHas), std::string::npos) << c.wanted << ": " << pick.error;
  }
  // A long list of candidates ends with how many more there are.
  std::vector<NamedUnit> many;
  for (int i = 0; i < 30; ++i) many.push_back({SerialText(0xC80100 + i), {"R" + std::to_string(i % 2)}, ""});
  EXPECT_NE(PickUnit(many, "R1", "unit").error.find(", and 3 more;"), std::string::npos);
}

TEST(SubcommandAlarms, SilencesNameUnitsAndHopsByNameOrSerial) {
  const std::vector<NamedUnit> units{{"00C80501", {"G3 R1", "R1"}, ""},
                                     {"00BC0502", {"G3 APPLE-2", "APPLE-2"}, ""},
                                     {"00BA0501", {"G3 APPLE", "APPLE"}, ""},
                                     {"000000A1", {"X-1"}, ""}, {"000000A2", {"X"}, ""},
                                     {"000000A3", {"1-Y"}, ""}, {"000000A4", {"Y"}, ""}};
  struct Case {
    std::string wanted;
    bool hop;
    std::string subject;  // "" when refused
  } const cases[] = {
      {"apple-2", false, "unit:00BC0502"},
      {"bc0502", false, "unit:00BC0502"},
      {"c60507", false, "unit:00C60507"},  // a unit the monitor has not surveyed yet
      {"NOWHERE", false, ""},
      {"R1-APPLE-2", true, "hop:00C80501-00BC0502"},  // names with '-' in them
      {"G3 APPLE-2-G3 R1", true, "hop:00BC0502-00C80501"},
      {"c80501-bc0502", true, "hop:00C80501-00BC0502"},
      {"R1-00C60507", true, "hop:00C80501-00C60507"},  // an end not seen yet, written whole
      {"R1-c60507", true, ""},
      {"APPLE-2", true, ""},  // one unit is no hop
      {"X-1-Y", true, ""},    // X to 1-Y, or X-1 to Y
  };
  for (const Case& c : cases) {
    std::string error;
    const auto subject = c.hop ? HopSubject(units, c.wanted, error) : UnitSubject(units, c.wanted, error);
    EXPECT_EQ(subject.value_or(""), c.subject) << c.wanted << ": " << error;
    EXPECT_EQ(error.empty(), !c.subject.empty()) << c.wanted;
  }
  std::string error;
  HopSubject(units, "X-1-Y", error);
  EXPECT_NE(error.find("000000A1-000000A4, 000000A2-000000A3"), std::string::npos) << error;
}

TEST(SubcommandUnit, PasswordFromEnvironmentFileOrDemo) {
  const auto dir = std::filesystem::temp_directory_path() / ("lm-pw-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::ofstream(dir / "pw") << "secret\r\nsecond line\n";
  const auto entry = Json(R"({"com":2,"serial":"009C0021"})");
  const std::vector<lm::json::Value> demo{Json(R"({"com":2,"serial":"009C0021","lanPassword":"demo"})")};
  std::string error;
  ::unsetenv("LINKMETER_PASSWORD");
  EXPECT_EQ(LanPassword((dir / "pw").string(), entry, demo, error), "secret");
  EXPECT_EQ(LanPassword(std::nullopt, entry, demo, error), "demo");
  EXPECT_EQ(LanPassword(std::nullopt, entry, {}, error), std::nullopt);
  EXPECT_EQ(error, "");
  EXPECT_EQ(LanPassword((dir / "missing").string(), entry, demo, error), std::nullopt);
  EXPECT_NE(error.find("cannot read the password file"), std::string::npos);
  ::setenv("LINKMETER_PASSWORD", "fromenv", 1);
  error.clear();
  EXPECT_EQ(LanPassword((dir / "pw").string(), entry, demo, error), "fromenv");
  ::unsetenv("LINKMETER_PASSWORD");
  std::filesystem::remove_all(dir);
}

TEST(SubcommandRecords, AnswerDataHidesSecretsAndFrame) {
  const auto data = AnswerData(Json(
      R"({"cmdName":"RNETP","comInfo":{"lanPassword":"x"},"isSuccess":true,"isCancel":false,"isTimeout":false,)"
      R"("IP":"10.0.0.1","PW":"vela","STATUS":"0002-0000","undecoded":{"PSK":"k","Z":1}})"));
  EXPECT_EQ(lm::json::ToText(data),
            R"({"IP":"10.0.0.1","PW":{"hidden":true},"STATUS":"0002-0000","undecoded":{"PSK":{"hidden":true},"Z":1}})");
  EXPECT_EQ(lm::json::ToText(WithoutComInfo(Json(R"({"comInfo":{},"a":1})"))), R"({"a":1})");
  EXPECT_EQ(SerialNumber("009C0021"), 0x009C0021);
  EXPECT_EQ(SerialNumber("XYZ"), std::nullopt);
  EXPECT_EQ(SerialNumber("123456789"), std::nullopt);
}

}  // namespace
