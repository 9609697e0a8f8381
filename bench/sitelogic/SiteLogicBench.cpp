// What the page's site logic costs the command line under JavaScriptCore:
// starting a context with the bundle, and a 256-unit site (8 groups x 4
// chained repeaters x 32 remote units, the layout of bench/site256) turned
// into routes, per-hop statistics, verdicts and the report summary.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "linkmeter/cli/SiteLogic.h"

namespace {

using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::String;
using lm::json::Value;

std::string Hex(unsigned v) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", v);
  return text;
}

Value Registration() {
  constexpr unsigned kModels[] = {92, 94, 97, 98};
  Array groups;
  for (unsigned g = 0; g < 8; ++g) {
    Array repeaters, units;
    for (unsigned r = 0; r < 4; ++r) {
      repeaters.push_back(MakeObject({{"num", Number(r + 1)}, {"parent", Number(r)},
                                      {"serial", String(Hex(0x00C80000u | g << 8 | r))}}));
    }
    for (unsigned u = 0; u < 32; ++u) {
      units.push_back(MakeObject({{"name", String("U" + std::to_string(g) + "-" + std::to_string(u))},
                                  {"num", Number(u + 1)}, {"parent", Number(u % 5)},
                                  {"serial", String(Hex(kModels[u % 4] << 17 | g << 8 | u))}}));
    }
    groups.push_back(MakeObject({{"band", Number(0)}, {"freq", Number(40 + g)}, {"name", String("GROUP-" + std::to_string(g))},
                                 {"remoteUnits", Value(units)}, {"repeaters", Value(repeaters)}}));
  }
  return MakeObject({{"groups", Value(groups)}});
}

// `probes` answers per unit in which every hop answered.
Value Units(linkmeter::cli::SiteLogic& logic, const Value& reg, int probes) {
  Array units;
  const Value targets = *logic.Call("siteTargets", {reg}, nullptr);
  for (const Value& target : targets.get<Array>()) {
    const Value route = *logic.Call("route", {reg, target}, nullptr);
    Array list;
    for (int p = 0; p < probes; ++p) {
      Array signals;
      int level = 90 + p;
      for (const Value& hop : route.get("hops").get<Array>()) {
        signals.push_back(MakeObject({{"battery", Number(70)}, {"level", Number(level += 13)}, {"number", hop.get("num")}}));
      }
      list.push_back(MakeObject({{"answer", MakeObject({{"Signals", Value(signals)}, {"isSuccess", Value(true)}})}}));
    }
    units.push_back(MakeObject({{"probes", Value(list)}, {"target", target}}));
  }
  return Value(units);
}

void BM_Start(benchmark::State& state) {
  for (auto _ : state) {
    linkmeter::cli::SiteLogic logic;
    if (!logic.Ready()) state.SkipWithError(logic.LoadError().c_str());
    benchmark::DoNotOptimize(logic.Ready());
  }
}
BENCHMARK(BM_Start)->Unit(benchmark::kMillisecond);

// Every route of the site, one call per unit as a route survey asks.
void BM_Site256Routes(benchmark::State& state) {
  linkmeter::cli::SiteLogic logic;
  const Value reg = Registration();
  const Array targets = logic.Call("siteTargets", {reg}, nullptr)->get<Array>();
  for (auto _ : state) {
    for (const Value& target : targets) benchmark::DoNotOptimize(logic.Call("route", {reg, target}, nullptr));
  }
  state.counters["routes"] = static_cast<double>(targets.size());
}
BENCHMARK(BM_Site256Routes)->Unit(benchmark::kMillisecond);

// The same routes in one call.
void BM_Site256RoutesAtOnce(benchmark::State& state) {
  linkmeter::cli::SiteLogic logic;
  const Value reg = Registration();
  for (auto _ : state) benchmark::DoNotOptimize(logic.Call("siteRoutes", {reg}, nullptr));
}
BENCHMARK(BM_Site256RoutesAtOnce)->Unit(benchmark::kMillisecond);

// A whole-site survey of `probes` probes per unit: routes, statistics,
// verdicts and summary in one call, answer as JSON.
void BM_Site256Survey(benchmark::State& state) {
  linkmeter::cli::SiteLogic logic;
  const Value reg = Registration();
  const Value units = Units(logic, reg, static_cast<int>(state.range(0)));
  std::string error;
  for (auto _ : state) {
    auto answer = logic.Call("siteSurvey", {reg, units}, &error);
    if (!answer) state.SkipWithError(error.c_str());
    benchmark::DoNotOptimize(answer);
  }
}
BENCHMARK(BM_Site256Survey)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
