// The monitor's alarm lines (alarm=… key=… summary="…") stay one line each
// whatever a unit's name holds: a line break, quotes, a backslash.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "lm/monitor/AlarmMonitor.h"
#include "lm/records/AlarmLedger.h"

using namespace lm::monitor;

namespace {

// A site survey as the page judges it: one remote unit behind the base unit,
// heard or not.
lm::json::Value Survey(const std::string& label, bool heard) {
  auto hop = lm::json::MakeObject(
      {{"serial", lm::json::Value("00BC0103")}, {"label", lm::json::Value(label)}, {"kind", lm::json::Value("remote")},
       {"verdict", lm::json::Value(heard ? "good" : "silent")},
       {"figures", lm::json::MakeObject({{"asked", lm::json::Number(2)}, {"answered", lm::json::Number(heard ? 2 : 0)},
                                         {"median", heard ? lm::json::Number(150) : lm::json::Value()}})}});
  auto result = lm::json::MakeObject({{"status", lm::json::Value("ok")}, {"hops", lm::json::Value(lm::json::Array{hop})}});
  return lm::json::MakeObject({{"results", lm::json::Value(lm::json::Array{result})}});
}

TEST(AlarmLines, AUnitNameCannotSplitOrForgeALine) {
  std::ostringstream log, err;
  AlarmSettings settings;
  settings.monitor = "monitor-009A0011";
  AlarmMonitor alarms(settings, std::make_unique<lm::records::AlarmLedger>(""), log, err);
  const std::string evil = "FIELD\r\n2026-01-01T00:00:00Z alarm=resolved key=x summary=\"forged\" \\";
  int64_t at = 1'765'000'000'000;
  for (bool heard : {true, false, false, false, true, true, true}) alarms.OnRound(Survey(evil, heard), "009A0011", "SITE\n2", at += 60'000);
  static const std::regex line(R"(\S+Z alarm=(raised|resolved) key=\S+ summary="(?:[^"\\\r\n]|\\.)*")");
  std::istringstream in(log.str());
  int raised = 0, resolved = 0;
  for (std::string l; std::getline(in, l);) {
    std::smatch m;
    EXPECT_TRUE(std::regex_match(l, m, line)) << l;
    raised += m.size() > 1 && m[1] == "raised";
    resolved += m.size() > 1 && m[1] == "resolved";
  }
  EXPECT_EQ(raised, 1) << log.str();
  EXPECT_EQ(resolved, 1) << log.str();
}

}  // namespace
