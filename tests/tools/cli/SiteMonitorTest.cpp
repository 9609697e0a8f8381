// What the monitor's log line says of a judged site survey.
#include <gtest/gtest.h>

#include "linkmeter/cli/monitor/SiteMonitor.h"

using namespace linkmeter::cli::monitor;

namespace {

TEST(MonitorLog, SummaryOfAJudgedSiteSurvey) {
  struct Case {
    const char* name;
    const char* summaryJson;  // siteSurvey()'s summary member
    int answered, silent;
    std::optional<std::string> from, to;
    double level;
  } cases[] = {
      {"a unit heard only up to its repeater is silent, as is a failed one; the first link the weakest",
       R"({"answered":4,"partial":1,"noAnswer":2,"failed":1,"links":[
           {"from":{"kind":"base","label":""},"to":{"kind":"repeater","label":"G1 R1"},"level":88},
           {"from":{"kind":"repeater","label":"G1 R1"},"to":{"kind":"remote","label":"HOUSE-2"},"level":120}]})",
       4, 4, "GREENHOUSE", "G1 R1", 88},
      {"a link between two repeaters", R"({"answered":1,"links":[
           {"from":{"label":"G1 R1"},"to":{"label":"G1 R2"},"level":40.5}]})",
       1, 0, "G1 R1", "G1 R2", 40.5},
      {"nothing heard: no weakest link", R"({"answered":0,"noAnswer":7,"links":[]})", 0, 7, {}, {}, 0},
      {"a link without a level is no weakest link", R"({"links":[{"from":{},"to":{},"level":null}]})", 0, 0, {}, {}, 0},
      {"no summary at all", "null", 0, 0, {}, {}, 0},
  };
  for (const Case& c : cases) {
    auto summary = lm::json::Parse(c.summaryJson);
    ASSERT_TRUE(summary) << c.name;
    SurveySummary s = SummaryOfSurvey(lm::json::MakeObject({{"summary", *summary}}), "GREENHOUSE");
    EXPECT_EQ(s.answered, c.answered) << c.name;
    EXPECT_EQ(s.silent, c.silent) << c.name;
    ASSERT_EQ(s.weakest.has_value(), c.from.has_value()) << c.name;
    if (s.weakest) {
      EXPECT_EQ(s.weakest->from, *c.from) << c.name;
      EXPECT_EQ(s.weakest->to, *c.to) << c.name;
      EXPECT_EQ(s.weakest->level, c.level) << c.name;
    }
  }
}

}  // namespace
