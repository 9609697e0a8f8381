// app.com.searchUSB against the simulator: which units each flag lists, when
// the units are asked again, and what a rescan does when the bus or a unit
// misbehaves on the way.

#include <gtest/gtest.h>

#include "SearchRig.h"
#include "vantor/com/RowCommand.h"

namespace search_test {
namespace {

using linkmeter::sim::FaultKind;
using linkmeter::sim::FaultRule;

constexpr uint32_t kB1 = SerialOf(77, 0x11);   // VL-B1
constexpr uint32_t kB7 = SerialOf(78, 0x12);   // VL-B7
constexpr uint32_t kB6 = SerialOf(80, 0x13);   // VL-B6
constexpr uint32_t kB5 = SerialOf(81, 0x14);   // VL-B5
constexpr uint32_t kRf = SerialOf(96, 0x15);   // VL-RF: opened, never listed
constexpr uint32_t kB3 = SerialOf(41, 0x16);   // VL-B3, the other device type

FaultRule StatusFault(const std::string& command, uint16_t group, uint16_t detail) {
  FaultRule rule;
  rule.command = command;
  rule.kind = FaultKind::kStatus;
  rule.status = {group, detail};
  return rule;
}

class SearchUsb : public ::testing::Test {
 protected:
  // Attached in this order, so in these slots (ports 1 to 6).
  SearchRig rig{SiteOf({UsbUnit(kB6, "SIX"), UsbUnit(kB1, "ONE"), UsbUnit(kRf, "RF"), UsbUnit(kB5, "FIVE"),
                        UsbUnit(kB7, "SEVEN"), UsbUnit(kB3, "THREE")})};

  bridge_test::Answer Search(const std::string& flags) { return rig.Query("jsquery:ComSearchUSB " + flags); }
};

TEST_F(SearchUsb, FlagsSelectModelsAndEntriesAreSortedBySerial) {
  const struct {
    std::string flags;
    std::vector<std::string> serials;
  } cases[] = {
      {R"({"vlb1":true})", {Hex(kB1)}},
      {R"({"vlb2":true})", {Hex(kB7), Hex(kB6)}},
      {R"({"vlb5":true})", {Hex(kB5)}},
      {R"({"vlb3":true})", {Hex(kB3)}},
      {R"({"vlb1":true,"vlb2":true,"vlb5":true,"vlb3":true})", {Hex(kB1), Hex(kB7), Hex(kB6), Hex(kB5), Hex(kB3)}},
      {R"({"vlrf":true,"vlrg":true,"vlb8":true,"vln12":true,"vln34":true,"force":true})", {}},
      {R"({"vlb1":false,"vlb2":false})", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    EXPECT_EQ(rig.Serials(Search(c.flags)), c.serials);
  }
}

TEST_F(SearchUsb, EntryCarriesTheUnitsOwnAnswerAndItsPort) {
  auto answer = Search(R"({"vlb1":true})");
  ASSERT_TRUE(answer.success) << answer.text;
  EXPECT_EQ(answer.text,
            R"([{"com":1,"descr":"ONE desc","model":"VL-B1","name":"ONE","port":2,"serial":")" + Hex(kB1) + R"("}])");
  // A serial number of 0 is the number 0, and the model table's unknown name.
  rig.Sim().InjectFault(kB3, {.command = "RUINF", .kind = FaultKind::kField, .field = "SER", .value = "0"});
  EXPECT_EQ(Search(R"({"vlb3":true})").text,
            R"([{"com":1,"descr":"THREE desc","model":"UNKOWN","name":"THREE","port":1,"serial":0}])");
}

TEST_F(SearchUsb, NoFlagsClearsBothWatchers) {
  ASSERT_EQ(rig.Serials(Search(R"({"vlb1":true,"vlb3":true})")).size(), 2u);
  EXPECT_EQ(rig.Watchers().Vela().List().size(), 5u);  // every VELA unit that answered, VL-RF too
  EXPECT_EQ(Search("{}").text, "[]");
  EXPECT_TRUE(rig.Watchers().Vela().List().empty());
  EXPECT_TRUE(rig.Watchers().Vlb3().List().empty());
}

TEST_F(SearchUsb, UnchangedBusIsNotAskedAgainUnlessForced) {
  ASSERT_EQ(rig.Serials(Search(R"({"vlb1":true})")), std::vector<std::string>{Hex(kB1)});
  const size_t asked = rig.Received("RUINF");
  EXPECT_EQ(asked, 5u);
  EXPECT_EQ(rig.Serials(Search(R"({"vlb1":true,"vlb2":true})")).size(), 3u);
  EXPECT_EQ(rig.Received("RUINF"), asked) << "a second search with the same units talked to them";
  EXPECT_EQ(rig.Serials(Search(R"({"vlb1":true,"force":true})")), std::vector<std::string>{Hex(kB1)});
  EXPECT_EQ(rig.Received("RUINF"), 2 * asked);
  // A unit pulled out changes the count: the rest are asked again.
  ASSERT_TRUE(rig.Sim().DetachUsb(kB7));
  EXPECT_EQ(rig.Serials(Search(R"({"vlb2":true})")), std::vector<std::string>{Hex(kB6)});
  EXPECT_EQ(rig.Received("RUINF"), 2 * asked + 4);
}

TEST_F(SearchUsb, RuinfFailureEndsTheRescanWithTheUnitsFoundSoFar) {
  rig.Sim().InjectFault(kRf, StatusFault("RUINF", 2, 1));
  // Slots 1 and 2 answered; the walk stopped at the third, in walk order.
  // (The units are asked at once, so the ones after it were asked too; their
  // answers are left out as a walk in slot order would leave them.)
  Search(R"({"vlb1":true})");
  const auto& list = rig.Watchers().Vela().List();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].serial, kB6);
  EXPECT_EQ(list[1].serial, kB1);
  // The list is short of the count, so the next search rescans.
  rig.Sim().ClearFaults(kRf);
  EXPECT_EQ(rig.Serials(Search(R"({"vlb2":true,"vlb5":true})")), (std::vector<std::string>{Hex(kB7), Hex(kB6), Hex(kB5)}));
}

TEST_F(SearchUsb, UnitPulledDuringTheRescanIsSkippedAndTheOthersKeepTheirPorts) {
  for (bool afterSerials : {false, true}) {
    SCOPED_TRACE(afterSerials ? "pulled after the serial list" : "pulled after the count");
    ASSERT_TRUE(rig.Sim().AttachUsb(kB1, nullptr) || rig.Sim().IsAttached(kB1));
    Search("{}");
    auto pull = [this] { rig.Sim().DetachUsb(kB1); };
    (afterSerials ? rig.Bus().afterSerials : rig.Bus().afterConnectNum) = pull;
    auto answer = Search(R"({"vlb1":true,"vlb2":true,"vlb5":true})");
    EXPECT_EQ(rig.Serials(answer), (std::vector<std::string>{Hex(kB7), Hex(kB6), Hex(kB5)}));
    EXPECT_NE(answer.text.find(R"("name":"SEVEN","port":5)"), std::string::npos) << answer.text;
    EXPECT_NE(answer.text.find(R"("name":"FIVE","port":4)"), std::string::npos) << answer.text;
  }
}

TEST_F(SearchUsb, UnitOpenedByThePageStaysOpen) {
  const std::string info = R"({"comInfo":{"com":1,"descr":"d","model":"VL-B1","name":"n","serial":")" + Hex(kB1) + "\"}}";
  ASSERT_TRUE(rig.Query("jsquery:ComOpen " + info).success);
  ASSERT_EQ(rig.Serials(Search(R"({"vlb1":true,"force":true})")).size(), 1u);
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen " + info).text, "true");
  // The page's connection still carries commands.
  Sorrel::Com::ComInfo parsed = Sorrel::Com::ParseComInfo(*lm::json::Parse(info));
  auto unit = rig.Table().Find(parsed);
  ASSERT_TRUE(unit);
  com::vantor::TcmdRow<"RUINF"> ruinf;
  unit->Executor().Execute(ruinf, 0);
  EXPECT_TRUE(ruinf.IsStatus(2, 0)) << ruinf.GetResult().message;
}

TEST_F(SearchUsb, FlagThatIsNotABooleanIsAnArgumentError) {
  auto answer = Search(R"({"vlb1":"yes"})");
  EXPECT_FALSE(answer.success);
  EXPECT_EQ(answer.text, R"({"code1":-2,"msg":"Invalid arguments : 'vlb1' value is invalid."})");
  EXPECT_EQ(Search("[]").code, -2);
}

TEST_F(SearchUsb, OneSearchAtATimeAndTheBusIsAskedOffTheWindowThread) {
  auto window = std::make_shared<TestWindowThread>();
  rig.GetManager().SetUiThread(window);
  std::vector<std::shared_ptr<bridge_test::RecordingCallback>> calls;
  for (const char* request : {R"(jsquery:ComSearchUSB {"vlb1":true,"force":true})", R"(jsquery:ComSearchLogger {})",
                              R"(jsquery:ComSearchUSB {"vlb2":true,"force":true})"}) {
    calls.push_back(std::make_shared<bridge_test::RecordingCallback>());
    rig.Send(request, calls.back());
  }
  for (auto& call : calls) {
    ASSERT_TRUE(call->WaitFor(1, std::chrono::seconds(30)));
    EXPECT_TRUE(call->Answers()[0].success) << call->Answers()[0].text;
  }
  EXPECT_EQ(rig.Bus().overlaps.load(), 0);
  EXPECT_NE(rig.Bus().lastThread.load(), window->Id());
  rig.GetManager().SetUiThread(nullptr);
}

}  // namespace
}  // namespace search_test
