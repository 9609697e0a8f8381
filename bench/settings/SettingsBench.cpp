// RSETF of a full registration (8 groups, 4 repeaters and 32 remote units
// each) through the whole stack (router, handler, executor, libvcomm, TCP,
// simulator): the program's own time per read, and its share of the wall
// time next to the protocol's pauses between blocks. Prints its figures; not
// a test.

#include <chrono>
#include <cstdio>
#include <string>

#include "PageRig.h"
#include "linkmeter/sim/Registration.h"
#include "vantor/com/TcmdRSETFAnalyze.h"
#include "vcomm/Library.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::uint32_t kBase = 0x009C0021;  // model 78
constexpr int kGroups = 8;
constexpr int kRepeaters = 4;
constexpr int kUnits = 32;

// Remote units of mixed models: VL-RA, VL-RA two-channel, VL-RD, VL-RG.
std::uint32_t UnitSerial(int group, int unit) {
  static constexpr std::uint32_t kModels[] = {92, 94, 97, 98};
  return kModels[unit % 4] << 17 | static_cast<std::uint32_t>(group << 8 | unit);
}

linkmeter::sim::SiteSpec Site() {
  linkmeter::sim::SiteSpec site;
  site.radio.hopMs = 0;
  linkmeter::sim::BaseUnitSpec base;
  base.serial = kBase;
  base.lanPassword = "pw";
  for (int g = 0; g < kGroups; ++g) {
    linkmeter::sim::GroupSpec group;
    group.freq = 10 + g;
    group.id = {1, 2, 3, 4, 5, 6, 7, static_cast<std::uint8_t>(g)};
    group.name = "GROUP-" + std::to_string(g);
    for (int r = 0; r < kRepeaters; ++r) {
      group.repeaters.push_back({0x00C80000u + static_cast<std::uint32_t>(g << 8 | r), r + 1, r, 400, 95, 0.02, true});
    }
    for (int u = 0; u < kUnits; ++u) {
      linkmeter::sim::RemoteUnitSpec unit;
      unit.serial = UnitSerial(g, u);
      unit.subtype = (UnitSerial(g, u) >> 17) == 97 ? 161 : 0;
      unit.num = u + 1;
      unit.parent = u % (kRepeaters + 1);
      unit.name = "U" + std::to_string(g) + "-" + std::to_string(u);
      group.remoteUnits.push_back(unit);
    }
    base.groups.push_back(group);
  }
  site.baseUnits.push_back(base);
  return site;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
  const linkmeter::sim::SiteSpec site = Site();
  const std::size_t imageBytes = linkmeter::sim::BuildRegistrationImage(site.baseUnits[0]).size();
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  auto sim = bench::StartSimulator(site, commands);
  if (!sim) return 1;
  bench::PageRig page;
  const std::string comInfo = R"({"com":3,"ipAddr":"127.0.0.1","port":)" + std::to_string(sim->LanPort(kBase)) +
                              R"(,"lanPassword":"pw","serial":"009C0021"})";
  page.Query("jsquery:ComOpen {\"comInfo\":" + comInfo + "}");

  Clock::duration wall{};
  std::size_t answerBytes = 0;
  for (int r = 0; r < rounds; ++r) {
    auto start = Clock::now();
    std::string answer = page.Query("jsquery:ComTcmdRSETF {\"comInfo\":" + comInfo + "}");
    wall += Clock::now() - start;
    if (answer.find("\"isSuccess\":true") == std::string::npos || answer.find("\"regInfo\"") == std::string::npos) {
      std::fprintf(stderr, "RSETF failed: %.300s\n", answer.c_str());
      return 1;
    }
    answerBytes = answer.size();
  }
  page.Query("jsquery:ComClose {\"comInfo\":" + comInfo + "}");

  // Every block but the first follows the command's pause; the rest of the
  // wall time is the program's (and the simulator's, on the same machine).
  const std::size_t block = com::vantor::TcmdRSETFAnalyze::kDefaultBlock;
  const std::size_t exchanges = (imageBytes + block - 1) / block;
  const double perRead = Ms(wall) / rounds;
  const double pauses = static_cast<double>(exchanges - 1) * com::vantor::Tcmd::kDefaultInterval;
  const double program = perRead - pauses;
  std::printf("RSETF of %d groups x %d repeaters x %d remote units over loopback TCP, %d reads, no air time\n",
              kGroups, kRepeaters, kUnits, rounds);
  std::printf("%-44s %9zu bytes in %zu blocks\n", "registration image", imageBytes, exchanges);
  std::printf("%-44s %9zu bytes\n", "answer text (regInfo JSON)", answerBytes);
  std::printf("%-44s %9.2f ms\n", "wall time per read", perRead);
  std::printf("%-44s %9.2f ms\n", "of which the protocol's 50 ms pauses", pauses);
  std::printf("%-44s %9.3f ms\n", "program time per read", program);
  std::printf("%-44s %9.3f %%\n", "program's share of the wall time", 100.0 * program / perRead);
  return 0;
}
