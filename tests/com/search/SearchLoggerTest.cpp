// app.com.searchLogger against the simulator: loggers lying on the optical
// ports of USB and LAN base units, found by serial number, by base unit and
// by a scan of every USB base unit.

#include <gtest/gtest.h>

#include <chrono>

#include "SearchRig.h"
#include "sorrel/com/UnitLease.h"

namespace search_test {
namespace {

using linkmeter::sim::FaultKind;

constexpr uint32_t kBaseA = SerialOf(77, 0x21);  // USB, no logger
constexpr uint32_t kBaseB = SerialOf(78, 0x22);  // USB, logger VL-RA
constexpr uint32_t kBaseC = SerialOf(41, 0x23);  // USB VL-B3, logger VL-RD-mA
constexpr uint32_t kLan = SerialOf(80, 0x24);    // LAN, logger VL-RC
constexpr uint32_t kOnB = SerialOf(92, 0x501);
constexpr uint32_t kOnC = SerialOf(97, 0x502);
constexpr uint32_t kOnLan = SerialOf(94, 0x503);
constexpr const char* kPassword = "pw";

linkmeter::sim::SiteSpec LoggerSite() {
  auto b = UsbUnit(kBaseB, "BEE");
  b.optical = Logger(kOnB);
  auto c = UsbUnit(kBaseC, "SEA");
  c.optical = Logger(kOnC, 163);
  linkmeter::sim::BaseUnitSpec lan;
  lan.serial = kLan;
  lan.name = "LAN";
  lan.lanPassword = kPassword;
  lan.optical = Logger(kOnLan);
  return SiteOf({UsbUnit(kBaseA, "AY"), b, c, lan});
}

class SearchLogger : public ::testing::Test {
 protected:
  SearchRig rig{LoggerSite()};

  bridge_test::Answer Search(const std::string& arg) { return rig.Query("jsquery:ComSearchLogger " + arg); }
  std::string UsbInfo(uint32_t serial) const {
    return R"({"com":1,"descr":"d","model":"m","name":"n","serial":")" + Hex(serial) + "\"}";
  }
  std::string LanInfo() {
    return R"({"com":3,"ipAddr":"127.0.0.1","port":)" + std::to_string(rig.Sim().LanPort(kLan)) +
           R"(,"lanPassword":")" + kPassword + "\"}";
  }
};

TEST_F(SearchLogger, BySerialFindsTheLoggerAndItsBaseUnit) {
  EXPECT_EQ(Search(R"({"serial":")" + Hex(kOnB) + "\"}").text,
            R"([{"comInfo":{"com":1,"descr":"BEE desc","model":"VL-B7","name":"BEE","port":2,"serial":")" +
                Hex(kBaseB) + R"("},"model":"VL-RA","optical":true,"serial":")" + Hex(kOnB) + R"(","usb":false}])");
  // The VELA list is read first and the search stops at the match.
  EXPECT_EQ(rig.Received(kBaseC, "EISET"), 0u);
  // A logger on the VL-B3 is found on the second pass, with its subtype.
  auto onC = Search(R"({"serial":")" + Hex(kOnC) + "\"}");
  EXPECT_EQ(rig.Serials(onC), std::vector<std::string>{Hex(kOnC)});
  EXPECT_NE(onC.text.find(R"("model":"VL-RD-mA")"), std::string::npos) << onC.text;
  // The logger search leaves the VELA watcher empty.
  EXPECT_TRUE(rig.Watchers().Vela().List().empty());
}

TEST_F(SearchLogger, SerialsThatNoBaseUnitHoldsGiveNothing) {
  for (uint32_t serial : {SerialOf(63, 1), SerialOf(93, 0x999)}) {
    SCOPED_TRACE(Hex(serial));
    EXPECT_EQ(Search(R"({"serial":")" + Hex(serial) + "\"}").text, "[]");
  }
  // A model that never lies on an optical port is not even looked for.
  EXPECT_EQ(rig.Received(kBaseA, "EISET"), 1u);
}

TEST_F(SearchLogger, ByBaseUnitAnswersWithoutComInfoForLan) {
  auto usb = Search(R"({"comInfo":)" + UsbInfo(kBaseB) + "}");
  EXPECT_EQ(rig.Serials(usb), std::vector<std::string>{Hex(kOnB)});
  EXPECT_NE(usb.text.find(R"("comInfo":{"com":1,"descr":"d","model":"m","name":"n","serial":")"), std::string::npos)
      << usb.text;
  EXPECT_EQ(Search(R"({"comInfo":)" + LanInfo() + "}").text,
            R"([{"model":"VL-RC","optical":true,"serial":")" + Hex(kOnLan) + R"(","usb":false}])");
  // No logger: asked twice, then nothing.
  EXPECT_EQ(Search(R"({"comInfo":)" + UsbInfo(kBaseA) + "}").text, "[]");
  EXPECT_EQ(rig.Received(kBaseA, "EISET"), 2u);
  // A unit this program does not talk to counts as nothing read.
  EXPECT_EQ(Search(R"({"comInfo":)" + UsbInfo(SerialOf(63, 5)) + "}").text, "[]");
}

TEST_F(SearchLogger, FullScanListsEveryUsbLoggerVelaFirst) {
  EXPECT_EQ(rig.Serials(Search("{}")), (std::vector<std::string>{Hex(kOnB), Hex(kOnC)}));
  EXPECT_EQ(rig.Received(kLan, "EISET"), 0u);
}

TEST_F(SearchLogger, LeavesTheBaseUnitsConnectionAsItFoundIt) {
  const std::string open = R"({"comInfo":)" + UsbInfo(kBaseB) + "}";
  ASSERT_TRUE(rig.Query("jsquery:ComOpen " + open).success);
  ASSERT_EQ(rig.Serials(Search("{}")).size(), 2u);
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen " + open).text, "true");
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen {\"comInfo\":" + UsbInfo(kBaseC) + "}").text, "false");
}

TEST_F(SearchLogger, RecordOfAnOddLengthIsAnInternalFault) {
  rig.Sim().InjectFault(kBaseB, {.command = "EISET", .kind = FaultKind::kField, .field = "DATA",
                                 .value = std::string(40, '\x01')});
  auto answer = Search(R"({"comInfo":)" + UsbInfo(kBaseB) + "}");
  EXPECT_FALSE(answer.success);
  EXPECT_EQ(answer.code, -99);
  EXPECT_NE(answer.text.find(R"("file":"OpticalLogger.cpp")"), std::string::npos) << answer.text;
  // A failed search hands the next one its turn.
  rig.Sim().ClearFaults(kBaseB);
  EXPECT_EQ(rig.Serials(Search(R"({"comInfo":)" + UsbInfo(kBaseB) + "}")).size(), 1u);
}

// A base unit another command keeps busy holds the search up for 2 s at
// most, and a search that found nothing because of it says so.
TEST_F(SearchLogger, BusyBaseUnitIsWaitedForBoundedAndNamedInTheFailure) {
  Sorrel::Com::UnitLease command(rig.Unit(kBaseB)->Gate(), nullptr);
  ASSERT_TRUE(command.Held());
  const struct {
    const char* what;
    std::string arg;
    bool success;
    std::vector<std::string> serials;
  } cases[] = {
      {"on that base unit", R"({"comInfo":)" + UsbInfo(kBaseB) + "}", false, {}},
      {"by the serial it holds", R"({"serial":")" + Hex(kOnB) + "\"}", false, {}},
      {"every unit: the others' loggers still found", "{}", true, {Hex(kOnC)}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto answered = std::make_shared<bridge_test::RecordingCallback>();
    rig.Send("jsquery:ComSearchLogger " + c.arg, answered);
    ASSERT_TRUE(answered->WaitFor(1, std::chrono::milliseconds(8000))) << "the search waited for the busy unit";
    const bridge_test::Answer answer = answered->Answers()[0];
    EXPECT_EQ(answer.success, c.success) << answer.text;
    if (c.success) {
      EXPECT_EQ(rig.Serials(answer), c.serials);
    } else {
      EXPECT_NE(answer.text.find("busy with another command: " + Hex(kBaseB)), std::string::npos) << answer.text;
    }
  }
  EXPECT_EQ(rig.Received(kBaseB, "EISET"), 0u) << "the search talked to a unit another command held";
}

TEST_F(SearchLogger, ArgumentErrors) {
  EXPECT_EQ(Search(R"({"serial":5})").code, -2);
  auto bad = Search(R"({"comInfo":{"com":1}})");
  EXPECT_EQ(bad.code, -2);
  EXPECT_NE(bad.text.find("(WatchUsbInfo:-4)"), std::string::npos) << bad.text;
}

}  // namespace
}  // namespace search_test
