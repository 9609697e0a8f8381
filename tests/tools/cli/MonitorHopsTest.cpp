// The monitor's rounds see each hop as the page does: merged over every
// route through it by the site logic's one rule (siteSurvey's hops), not
// by a rule of their own.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "DemoRegistration.h"
#include "linkmeter/cli/SiteLogic.h"
#include "lm/monitor/rules/RoundObservation.h"

using lm::json::Array;
using lm::json::Value;

namespace {

// Probes of one route in which every unit answers, the level of each hop
// depending on the route (so a shared hop reads differently per route);
// the first hop lost on every third probe of every fourth route.
Array Probes(const Value& route, int routeIndex) {
  Array probes;
  for (int p = 0; p < 3; ++p) {
    Array signals;
    int at = 0;
    for (const Value& hop : route.get("hops").get<Array>()) {
      const bool lost = at++ == 0 && routeIndex % 4 == 0 && p == 2;
      if (lost) continue;
      const double level = 90 + (routeIndex * 7 + p * 3) % 60;
      signals.push_back(lm::json::MakeObject({{"number", hop.get("num")}, {"level", lm::json::Number(level)},
                                              {"battery", lm::json::Number(80)}}));
    }
    probes.push_back(lm::json::MakeObject({{"answer", lm::json::MakeObject({{"Signals", Value(signals)},
                                                                             {"isSuccess", lm::json::Bool(true)}})}}));
  }
  return probes;
}

}  // namespace

TEST(MonitorHops, ARoundTakesTheSiteLogicsMergedHops) {
  linkmeter::cli::SiteLogic logic;
  ASSERT_TRUE(logic.Ready()) << logic.LoadError();
  const Value reg = DemoRegistration("RIVERSIDE");
  std::string error;
  auto routes = logic.Call("siteRoutes", {reg}, &error);
  ASSERT_TRUE(routes) << error;
  Array units;
  int i = 0;
  for (const Value& r : routes->get<Array>()) {
    units.push_back(lm::json::MakeObject({{"target", r.get("target")}, {"probes", Value(Probes(r.get("route"), i++))}}));
  }
  const Value base = lm::json::MakeObject({{"serial", lm::json::String("009C0021")}, {"name", lm::json::String("RIVERSIDE")}});
  auto survey = logic.Call("siteSurvey", {reg, Value(units), lm::json::MakeObject({{"base", base}})}, &error);
  ASSERT_TRUE(survey) << error;

  const auto round = lm::monitor::ObserveSurvey(*survey, "009c0021", "RIVERSIDE", 1);
  const Array& hops = survey->get("hops").get<Array>();
  ASSERT_EQ(round.hops.size(), hops.size());
  std::map<std::string, int> routesThrough;
  for (size_t k = 0; k < hops.size(); ++k) {
    const Value& h = hops[k];
    const auto& sample = round.hops[k];
    const std::string from = h.get("from").get("kind").to_str() == "base" ? "009C0021" : h.get("from").get("serial").to_str();
    EXPECT_EQ(sample.from, from);
    EXPECT_EQ(sample.to, h.get("to").get("serial").to_str());
    EXPECT_EQ(sample.asked, static_cast<int>(h.get("asked").get<double>()));
    EXPECT_EQ(sample.answered, static_cast<int>(h.get("answered").get<double>()));
    ASSERT_TRUE(sample.median);
    EXPECT_EQ(*sample.median, h.get("level").get<double>());
    EXPECT_EQ(sample.verdict, h.get("verdict").to_str());
    routesThrough[sample.from + ">" + sample.to] = static_cast<int>(h.get("routes").get<double>());
  }
  // Each hop once, the shared first hops gathering every route through them.
  EXPECT_EQ(routesThrough.size(), hops.size());
  EXPECT_GT(std::max_element(routesThrough.begin(), routesThrough.end(),
                             [](auto& a, auto& b) { return a.second < b.second; })->second, 3);
}
