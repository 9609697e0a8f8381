// The metrics file read back by a parser of the exposition format, and
// replaced whole.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "lm/monitor/metrics/MetricsFile.h"

using namespace lm::monitor;
using namespace lm::monitor::test;

namespace {

// A sample line of the text exposition format: name, labels, value.
struct Sample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value;
};

// Parses the whole text as a scraper would; a line that does not parse
// fails the test. Every sample's family must have had HELP and TYPE first.
std::vector<Sample> ParseExposition(const std::string& text) {
  static const std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) .+)"), type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter))");
  static const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? (\S+))");
  static const std::regex label(R"(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\["\\n])*)\"(,|$))");
  std::vector<Sample> samples;
  std::set<std::string> helped, typed;
  std::istringstream in(text);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, help)) { helped.insert(m[1]); continue; }
    if (std::regex_match(line, m, type)) { typed.insert(m[1]); continue; }
    EXPECT_TRUE(std::regex_match(line, m, sample)) << line;
    Sample s{m[1], {}, std::stod(m[4])};
    EXPECT_TRUE(helped.count(s.name) && typed.count(s.name)) << "no HELP/TYPE before " << line;
    std::string labels = m[3];
    for (std::smatch l; !labels.empty(); labels = l.suffix()) {
      const bool parsed = std::regex_search(labels, l, label) && l.position(0) == 0;
      EXPECT_TRUE(parsed) << line;
      if (!parsed) break;
      s.labels[l[1]] = l[2];
    }
    samples.push_back(s);
  }
  return samples;
}

RoundObservation SmallRound() {
  RoundObservation r{"009A0011", "GREEN \"HOUSE\"\\1\nx", 1'765'000'123'000, {}, {}};
  r.hops = {{"009A0011", "00C80101", 4, 3, 120.0, "weak"}, {"00C80101", "00BC0103", 4, 0, std::nullopt, "silent"}};
  r.units = {{"00C80101", "R1", true, true, 88.0, "ok", {}}, {"00BC0103", "FIELD", false, false, std::nullopt, "none", {"00C80101"}}};
  return r;
}

TEST(AlarmMetrics, FileParsesAsExpositionFormatAndIsReplacedWhole) {
  EngineState state;
  state.lastHeard = {{"00C80101", 1'765'000'123'000}, {"00BC0103", 1'764'999'000'000}};
  state.subjects["a"].firing = true;
  state.subjects["b"].firing = false;
  const std::vector<Sample> samples = ParseExposition(MetricsText(SmallRound(), state));
  auto find = [&](const std::string& name, const std::string& key, const std::string& value) -> const Sample* {
    for (const Sample& s : samples) {
      if (s.name == name && s.labels.count(key) && s.labels.at(key) == value) return &s;
    }
    return nullptr;
  };
  ASSERT_TRUE(find("linkmeter_hop_level_median", "to", "00C80101"));
  EXPECT_EQ(find("linkmeter_hop_level_median", "to", "00C80101")->value, 120);
  EXPECT_FALSE(find("linkmeter_hop_level_median", "to", "00BC0103"));  // nothing answered: no median
  EXPECT_EQ(find("linkmeter_hop_loss_ratio", "to", "00C80101")->value, 0.25);
  EXPECT_EQ(find("linkmeter_hop_loss_ratio", "to", "00BC0103")->value, 1);
  EXPECT_EQ(find("linkmeter_unit_battery_percent", "unit", "00C80101")->value, 88);
  EXPECT_EQ(find("linkmeter_unit_last_heard_timestamp_seconds", "unit", "00BC0103")->value, 1'764'999'000);
  EXPECT_EQ(find("linkmeter_site_alarms_firing", "site", "009A0011")->value, 1);
  EXPECT_EQ(find("linkmeter_site_last_survey_timestamp_seconds", "site", "009A0011")->value, 1'765'000'123);

  TempDir dir;
  const fs::path file = dir.path / "linkmeter.prom";
  WriteText(file, "old");
  EXPECT_EQ(WriteFileAtomically(file, "new\n"), "");
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_NE(WriteFileAtomically((dir.path / "no" / "such").string(), "x"), "");
}

// A symbolic link planted where the monitor writes (its file, or a
// temporary name an older build would have used) never makes it write
// into the file the link points to.
TEST(AlarmMetrics, PlantedLinksNeverRedirectTheWrite) {
  TempDir dir;
  const fs::path victim = dir.path / "victim";
  WriteText(victim, "keep me");
  const fs::path file = dir.path / "linkmeter.prom";
  fs::create_symlink(victim, file.string() + ".tmp." + std::to_string(::getpid()));
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(WriteFileAtomically(file, "round " + std::to_string(i) + "\n"), "");
  }
  fs::remove(file);
  fs::create_symlink(victim, file);  // the file itself a link: replaced, never followed
  EXPECT_EQ(WriteFileAtomically(file, "last\n"), "");
  EXPECT_FALSE(fs::is_symlink(file));
  std::ifstream in(victim);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "keep me");
  std::ifstream written(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(written), {}), "last\n");
}

}  // namespace
