#include <gtest/gtest.h>

#include <thread>

#include "ComSimRig.h"

using namespace comsim;

// Two pages at once: calls for the same unit wait their turn, calls for
// different units run side by side, and no frame is interleaved.
TEST(Hammer, TwoPagesOnTheSameAndOnDifferentUnits) {
  ComSimRig rig;
  const std::string usb = "jsquery:ComTcmdEBSTS {\"comInfo\":" + rig.UsbComInfo() + "}";
  const std::string lan = "jsquery:ComTcmdEBSTS {\"comInfo\":" + rig.LanComInfo(3) + "}";
  const std::string openUsb = "jsquery:ComOpen {\"comInfo\":" + rig.UsbComInfo() + "}";
  std::atomic<int> failures{0};
  auto page = [&](int seed) {
    for (int i = 0; i < 40; ++i) {
      const std::string& request = (i + seed) % 5 == 0 ? openUsb : (i + seed) % 2 ? usb : lan;
      auto answer = rig.Query(request);
      if (!answer.success || (request != openUsb && !Obj(answer)["isSuccess"].get<bool>())) {
        ++failures;
        ADD_FAILURE() << request << " -> " << answer.text;
      }
    }
  };
  std::thread a(page, 0), b(page, 1);
  a.join();
  b.join();
  EXPECT_EQ(failures.load(), 0);
  // Every frame the units received parsed as a whole frame.
  for (const auto& e : rig.Sim().GetTranscript().Entries()) {
    if (e.direction == linkmeter::sim::TranscriptEntry::Direction::kReceived) {
      EXPECT_TRUE(com::vantor::ParseFrame(e.bytes).has_value()) << linkmeter::sim::Transcript::Hex(e.bytes);
    }
  }
  rig.Query("jsquery:ComClose {\"comInfo\":" + rig.UsbComInfo() + "}");
}
