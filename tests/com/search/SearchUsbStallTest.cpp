// app.com.searchUSB when a unit does not answer its probe or is held by a
// long command: the other units are still listed, the search ends within a
// bound of its own, and the window's main loop keeps running meanwhile.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "MainLoopWindow.h"
#include "SearchRig.h"
#include "sorrel/com/UnitLease.h"

namespace search_test {
namespace {

using linkmeter::sim::FaultKind;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kFirst = SerialOf(77, 0x31);  // VL-B1, slot 1
constexpr uint32_t kQuiet = SerialOf(78, 0x32);  // VL-B7, slot 2: the unit that misbehaves
constexpr uint32_t kLast = SerialOf(80, 0x33);   // VL-B6, slot 3

// The library waits 5 s for an answer, so three units asked one after the
// other behind each other's time-outs would take 15 s; a search must end far
// sooner. The main loop ticks every 10 ms; a second without a tick means
// work ran on it.
constexpr milliseconds kSearchBound{6000};
constexpr milliseconds kLoopGapBound{1000};

constexpr const char* kForced = R"(jsquery:ComSearchUSB {"vlb1":true,"vlb2":true,"force":true})";
constexpr const char* kUnforced = R"(jsquery:ComSearchUSB {"vlb1":true,"vlb2":true})";

std::string Entry(const std::string& name, const std::string& descr, const std::string& model, int port,
                  uint32_t serial) {
  return R"({"com":1,"descr":")" + descr + R"(","model":")" + model + R"(","name":")" + name +
         R"(","port":)" + std::to_string(port) + R"(,"serial":")" + Hex(serial) + "\"}";
}

const std::string kFirstEntry = Entry("FIRST", "FIRST desc", "VL-B1", 1, kFirst);
const std::string kLastEntry = Entry("LAST", "LAST desc", "VL-B6", 3, kLast);

class SearchUsbStall : public ::testing::Test {
 protected:
  SearchUsbStall() { rig.GetManager().SetUiThread(window); }
  ~SearchUsbStall() override { rig.GetManager().SetUiThread(nullptr); }

  // Runs one request and measures how long its answer took.
  bridge_test::Answer Timed(const std::string& request, milliseconds& took) {
    const auto start = Clock::now();
    auto answer = rig.Query(request);
    took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
    return answer;
  }

  SearchRig rig{SiteOf({UsbUnit(kFirst, "FIRST"), UsbUnit(kQuiet, "QUIET"), UsbUnit(kLast, "LAST")})};
  std::shared_ptr<MainLoopWindow> window = std::make_shared<MainLoopWindow>();
};

TEST_F(SearchUsbStall, UnitWithoutAnAnswerHidesNoOtherAndLeavesTheLoopRunning) {
  const struct {
    const char* what;
    FaultKind kind;
  } cases[] = {
      {"silent", FaultKind::kNoAnswer},
      {"hangs up", FaultKind::kClose},
      {"garbled answer", FaultKind::kBadChecksum},
      {"answers another command", FaultKind::kWrongName},
  };
  // Never answered, so all that is known is what the bus tells.
  const std::string quiet = Entry("", "", "VL-B7", 2, kQuiet);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    rig.Sim().ClearFaults(kQuiet);
    rig.Sim().InjectFault(kQuiet, {.command = "RUINF", .kind = c.kind});
    window->ResetGap();
    milliseconds took{};
    auto answer = Timed(kForced, took);
    EXPECT_EQ(answer.text, "[" + kFirstEntry + "," + quiet + "," + kLastEntry + "]");
    EXPECT_LT(took, kSearchBound);
    EXPECT_LT(window->LongestGap(), kLoopGapBound);
    RecordProperty(std::string(c.what) + " ms", static_cast<int>(took.count()));
    RecordProperty(std::string(c.what) + " longest loop gap ms", static_cast<int>(window->LongestGap().count()));
  }
}

TEST_F(SearchUsbStall, SilentUnitKeepsWhatItToldBeforeAndIsAskedAgainNextTime) {
  const std::string known = Entry("QUIET", "QUIET desc", "VL-B7", 2, kQuiet);
  const std::string full = "[" + kFirstEntry + "," + known + "," + kLastEntry + "]";
  ASSERT_EQ(rig.Query(kForced).text, full);
  rig.Sim().InjectFault(kQuiet, {.command = "RUINF", .kind = FaultKind::kNoAnswer});
  EXPECT_EQ(rig.Query(kForced).text, full);
  // That list is not the units' own answer: the next search asks again even
  // though the bus did not change, and the one after that does not.
  rig.Sim().ClearFaults(kQuiet);
  const size_t asked = rig.Received(kQuiet, "RUINF");
  EXPECT_EQ(rig.Query(kUnforced).text, full);
  EXPECT_EQ(rig.Received(kQuiet, "RUINF"), asked + 1);
  EXPECT_EQ(rig.Query(kUnforced).text, full);
  EXPECT_EQ(rig.Received(kQuiet, "RUINF"), asked + 1);
}

TEST_F(SearchUsbStall, ProbeBehindALongCommandIsBoundedAndCancellable) {
  const std::string full = "[" + kFirstEntry + "," + Entry("QUIET", "QUIET desc", "VL-B7", 2, kQuiet) + "," +
                           kLastEntry + "]";
  ASSERT_EQ(rig.Query(kForced).text, full);
  const size_t asked = rig.Received(kQuiet, "RUINF");
  {
    // A long command holds the unit for the whole test.
    Sorrel::Com::UnitLease command(rig.Unit(kQuiet)->Gate(), nullptr);
    ASSERT_TRUE(command.Held());

    // Left alone, the search gives up waiting and lists what it knows.
    window->ResetGap();
    auto waited = std::make_shared<bridge_test::RecordingCallback>();
    const auto start = Clock::now();
    rig.Send(kForced, waited);
    ASSERT_TRUE(waited->WaitFor(1, kSearchBound)) << "the search waited for the busy unit";
    EXPECT_LT(Clock::now() - start, kSearchBound);
    EXPECT_EQ(waited->Answers()[0].text, full);
    EXPECT_LT(window->LongestGap(), kLoopGapBound);

    // Cancelled while it waits, it ends at once as cancelled.
    auto cancelled = std::make_shared<bridge_test::RecordingCallback>();
    const int64_t id = rig.Send(kForced, cancelled);
    std::this_thread::sleep_for(milliseconds(200));
    const auto cancelAt = Clock::now();
    EXPECT_EQ(rig.Query("jsquery:cancel " + std::to_string(id)).text, "null");
    ASSERT_TRUE(cancelled->WaitFor(1, kSearchBound));
    EXPECT_LT(Clock::now() - cancelAt, milliseconds(1000));
    EXPECT_EQ(cancelled->Answers()[0].text, R"({"code1":0,"msg":"method error : cancel"})");
  }
  EXPECT_EQ(rig.Received(kQuiet, "RUINF"), asked) << "the search talked to a unit another command held";
}

// Quiet units are asked at the same time: four of them cost one probe's
// time limit (2 s), not four one after the other (8 s and more).
TEST(SearchUsbQuietUnits, AreProbedAtOnce) {
  std::vector<linkmeter::sim::BaseUnitSpec> units{UsbUnit(kFirst, "FIRST")};
  std::vector<uint32_t> quiet;
  for (uint32_t n = 0; n < 4; ++n) {
    quiet.push_back(SerialOf(78, 0x40 + n));
    units.push_back(UsbUnit(quiet.back(), "QUIET"));
  }
  SearchRig rig{SiteOf(units)};
  for (uint32_t serial : quiet) rig.Sim().InjectFault(serial, {.command = "RUINF", .kind = FaultKind::kNoAnswer});
  const auto start = Clock::now();
  auto answer = rig.Query(kForced);
  const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - start);
  EXPECT_EQ(rig.Serials(answer).size(), 5u) << answer.text;
  for (uint32_t serial : quiet) EXPECT_EQ(rig.Received(serial, "RUINF"), 1u);
  EXPECT_LT(took, milliseconds(4000)) << "the quiet units were asked one after the other";
  RecordProperty("four quiet units ms", static_cast<int>(took.count()));
}

TEST_F(SearchUsbStall, SearchAfterTheWindowClosedSaysWhy) {
  window->Stop();
  for (const char* request : {kForced, R"(jsquery:ComSearchLAN {"udpTimeoutSec":1})", "jsquery:ComSearchLogger {}"}) {
    SCOPED_TRACE(request);
    auto answer = rig.Query(request);
    EXPECT_FALSE(answer.success);
    EXPECT_EQ(answer.text, R"({"code1":0,"msg":"method error : the window has closed"})");
  }
}

}  // namespace
}  // namespace search_test
