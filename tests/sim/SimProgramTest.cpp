// linkmeter-sim's program: options, the control lines that attach, detach
// and inject faults while the site runs, and the transcript lines.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimTestSupport.h"
#include "linkmeter/sim/SimMain.h"

namespace {

TEST(SimProgram, ControlLinesDriveTheRunningSite) {
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  char pattern[] = "/tmp/lm-sim-prog-XXXXXX";
  std::string bus = ::mkdtemp(pattern);
  std::istringstream in(
      "detach 009A0011\n"
      "ports\n"
      "attach 009A0011\n"
      "fault 009A0011 {\"command\":\"EBSTS\",\"kind\":\"explode\"}\n"
      "fault 009A0011 {\"command\":\"EBSTS\",\"kind\":\"noAnswer\"}\n"
      "attach 00000001\n"
      "quit\n"
      "ports\n");
  std::ostringstream out, err;
  int rc = linkmeter::sim::SimMain(commands, {"--control", "--usb-bus", bus, "--hop-ms", "10"}, in, out, err);
  vcomm::usb::SetBusDirectory("");
  std::filesystem::remove_all(bus);

  EXPECT_EQ(rc, 0) << err.str();
  std::vector<std::string> lines;
  std::istringstream text(out.str());
  for (std::string line; std::getline(text, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 9u) << out.str();
  EXPECT_EQ(lines[0], "009A0011 GREENHOUSE usb attached");
  EXPECT_EQ(lines[1].rfind("009C0021 RIVERSIDE lan 127.0.0.1:", 0), 0u);
  EXPECT_EQ(lines[2], "ok");
  EXPECT_EQ(lines[3], "009A0011 GREENHOUSE usb detached");
  EXPECT_EQ(lines[5], "ok");
  EXPECT_NE(lines[6].find("error: fault.kind"), std::string::npos);
  EXPECT_EQ(lines[7], "ok");
  EXPECT_EQ(lines[8].rfind("error: no USB base unit", 0), 0u) << "only the site's USB units can be attached";
}

TEST(SimProgram, UsageErrorsAndTheDemoFile) {
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  std::istringstream in;
  std::ostringstream out, err;
  EXPECT_EQ(linkmeter::sim::SimMain(commands, {"--udp", "nowhere"}, in, out, err), 2);
  EXPECT_EQ(linkmeter::sim::SimMain(commands, {"--site", "/nonexistent/site.json"}, in, out, err), 1);
  EXPECT_NE(err.str().find("cannot open /nonexistent/site.json"), std::string::npos);
  std::ostringstream demo;
  EXPECT_EQ(linkmeter::sim::SimMain(commands, {"--print-demo"}, in, demo, err), 0);
  EXPECT_EQ(demo.str(), linkmeter::sim::DemoSiteText());
}

TEST(SimProgram, TranscriptLinesCarryTimeUnitDirectionAndHex) {
  linkmeter::sim::Transcript transcript;
  std::ostringstream lines;
  transcript.WriteTo(&lines);
  transcript.Received(0x009A0011, std::string("T2\x06\x00" "EBSTS:\xBB\x01", 12));
  transcript.Note(0x009A0011, "fault: no answer");
  std::string text = lines.str();
  EXPECT_NE(text.find("Z 009A0011 rx 54 32 06 00 45 42 53 54 53 3A BB 01\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Z 009A0011 -- fault: no answer\n"), std::string::npos) << text;
  ASSERT_EQ(transcript.Entries().size(), 2u);
  EXPECT_EQ(transcript.Entries()[0].direction, linkmeter::sim::TranscriptEntry::Direction::kReceived);
}

}  // namespace
