// The site changing between two visits: control lines move a unit or pin the
// level it is heard at, so one hop of a survey weakens while the rest stay.

#include <gtest/gtest.h>

#include <sstream>

#include "linkmeter/sim/SimMain.h"
#include "linkmeter/sim/Simulator.h"
#include "linkmeter/sim/SiteFile.h"

namespace {

using linkmeter::sim::Simulator;

constexpr std::uint32_t kR2 = 0x00C80102;     // GREENHOUSE repeater 2, 650 m from repeater 1
constexpr std::uint32_t kHouse = 0x00B80101;  // a remote unit 60 m from the base unit
constexpr std::int64_t kT = 1'700'000'000;

std::string Control(Simulator& sim, const std::string& line) {
  std::ostringstream out;
  linkmeter::sim::RunControlLine(sim, line, out);
  return out.str();
}

std::optional<int> Level(Simulator& sim, std::uint32_t serial, double designedM) {
  return sim.Radio().HopLevel(serial, designedM, 12345u, kT);
}

TEST(SiteChanges, ControlLinesMoveAUnitOrPinItsLevel) {
  linkmeter::sim::SimulatorOptions options;
  options.attachUsb = false;
  options.listenLan = false;
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  Simulator sim(linkmeter::sim::DemoSite(), commands, options);
  const int designed = *Level(sim, kR2, 650);
  const int house = *Level(sim, kHouse, 60);
  struct Case {
    std::string line, answer;
    std::optional<int> r2;  // the level of the hop to repeater 2 afterwards
  };
  const int moved = *sim.Radio().LinkLevel(2000, 12345u, kT);
  const Case cases[] = {
      {"move 00C80102 2000", "ok\n", moved},
      {"level 00C80102 40", "ok\n", 40},
      {"level 00C80102 off", "ok\n", moved},  // the move still holds
      {"move 00C80102 650", "ok\n", designed},
      {"move 00C80102 9000", "ok\n", std::nullopt},  // beyond the range: no answer
      {"move 00C80102 -5", "error: move wants a distance in metres above 0\n", std::nullopt},
      {"move 00C80102", "error: move wants a distance in metres above 0\n", std::nullopt},
      {"move 00C80102 12x", "error: move wants a distance in metres above 0\n", std::nullopt},
      {"level 00C80102 0", "error: level wants 1..255 or off\n", std::nullopt},
      {"level 00C80102 12.5", "error: level wants 1..255 or off\n", std::nullopt},
      {"level 00C80102 256", "error: level wants 1..255 or off\n", std::nullopt},
      {"move 009A0011 100", "error: no repeater or remote unit 009A0011\n", std::nullopt},
      {"level 00C80102 120 5", "error: level wants 1..255 or off\n", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Control(sim, c.line), c.answer) << c.line;
    EXPECT_EQ(Level(sim, kR2, 650), c.r2) << c.line;
  }
  EXPECT_LT(moved, designed - 15) << "a repeater moved from 650 m to 2 km is heard clearly weaker";
  EXPECT_EQ(*Level(sim, kHouse, 60), house) << "the other hops stay as they were";
}

}  // namespace
