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

TEST(SubcommandOutput, NumbersAsAPersonWritesThem) {
  EXPECT_EQ(NumberText(lm::json::Number(12)), "12");
  EXPECT_EQ(NumberText(lm::json::Number(12.5)), "12.5");
  EXPECT_EQ(NumberText(lm::json::Value()), "");
  EXPECT_EQ(MemberText(Json(R"({"a":true})"), "a"), "true");
  EXPECT_EQ(MemberText(Json("[1]"), "a"), "");
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
  // Without --unit: the only unit found, or the demo site's LAN unit.
  FoundUnits one{{kFound.units[0]}, {}, {}};
  EXPECT_EQ(MemberText(*ChooseUnit(one, std::nullopt, {}).entry, "serial"), "009A0011");
  auto demo = ChooseUnit(kFound, std::nullopt, {kFound.units[0], Json(R"({"com":2,"serial":"009C0021"})")});
  EXPECT_EQ(MemberText(*demo.entry, "serial"), "009C0021");
  EXPECT_EQ(ChooseUnit({}, std::nullopt, {}).status, kExitUnitNotFound);
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
