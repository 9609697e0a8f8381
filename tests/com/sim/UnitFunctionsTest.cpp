#include <gtest/gtest.h>

#include "ComSimRig.h"
#include "sorrel/com/ComExecutorBase.h"
#include "sorrel/com/TcmdGetRsLevel.h"
#include "sorrel/com/TcmdHandler.h"
#include "sorrel/com/TcmdEBSTS.h"
#include "vantor/com/TcmdEBSTS.h"

using namespace comsim;
using linkmeter::sim::FaultKind;
using linkmeter::sim::FaultRule;

namespace {

// EBSTS with a one-second answer time-out, so a silent unit fails quickly.
class QuickEbsts : public com::vantor::TcmdEBSTS {
 public:
  int GetRecvTimeout(int) const override { return 1000; }
};
class TcmdQuickEBSTS : public Sorrel::Com::TcmdOf<TcmdQuickEBSTS, QuickEbsts> {
 public:
  explicit TcmdQuickEBSTS(Sorrel::Com::ComExecutorTable& units) : TcmdOf("QuickEBSTS", units) {}
};

class UnitFunctions : public ::testing::Test {
 protected:
  std::string Arg(const std::string& comInfo, const std::string& more = "") {
    return "{\"comInfo\":" + comInfo + more + "}";
  }
  bool IsOpen(const std::string& comInfo) { return rig.Query("jsquery:ComIsOpen " + Arg(comInfo)).text == "true"; }

  ComSimRig rig;
};

TEST_F(UnitFunctions, OpenIsOpenCloseOnUsbAndLan) {
  for (const std::string& info : {rig.UsbComInfo(), rig.LanComInfo(2), rig.LanComInfo(3)}) {
    SCOPED_TRACE(info);
    EXPECT_FALSE(IsOpen(info));
    auto opened = rig.Query("jsquery:ComOpen " + Arg(info, ",\"retry\":1"));
    ASSERT_TRUE(opened.success) << opened.text;
    EXPECT_EQ(opened.text, "{\"comInfo\":" + lm::json::ToText(*lm::json::Parse(info)) + "}");
    EXPECT_TRUE(IsOpen(info));
    auto closed = rig.Query("jsquery:ComClose " + Arg(info));
    EXPECT_EQ(closed.text, opened.text);
    EXPECT_FALSE(IsOpen(info));
  }
}

TEST_F(UnitFunctions, SecondLanOpenIsRefusedUsbOpenAgainIsNot) {
  const std::string lan = rig.LanComInfo(2);
  ASSERT_TRUE(rig.Query("jsquery:ComOpen " + Arg(lan)).success);
  auto again = rig.Query("jsquery:ComOpen " + Arg(lan));
  EXPECT_FALSE(again.success);
  EXPECT_EQ(again.code, 0);
  EXPECT_EQ(again.text, R"({"code1":104,"code2":0,"msg":"fail to open : ExecutorVela::Open"})");
  rig.Query("jsquery:ComClose " + Arg(lan));

  const std::string usb = rig.UsbComInfo();
  EXPECT_TRUE(rig.Query("jsquery:ComOpen " + Arg(usb)).success);
  EXPECT_TRUE(rig.Query("jsquery:ComOpen " + Arg(usb)).success);
  rig.Query("jsquery:ComClose " + Arg(usb));
}

TEST_F(UnitFunctions, CommandOpensAClosedUnitAndClosesItAfterwards) {
  const std::string usb = rig.UsbComInfo();
  auto answer = rig.Query("jsquery:ComTcmdEBSTS " + Arg(usb));
  ASSERT_TRUE(answer.success) << answer.text;
  auto result = Obj(answer);
  EXPECT_EQ(result["cmdName"].get<std::string>(), "EBSTS");
  EXPECT_EQ(result["STATUS"].get<std::string>(), "0002-0000");
  EXPECT_TRUE(result["isSuccess"].get<bool>());
  EXPECT_FALSE(result["isCancel"].get<bool>());
  EXPECT_EQ(result.count("msg"), 0u);
  EXPECT_EQ(answer.text.find("{\"STATUS\""), 0u);  // members in byte order
  EXPECT_FALSE(IsOpen(usb));

  ASSERT_TRUE(rig.Query("jsquery:ComOpen " + Arg(usb)).success);
  EXPECT_TRUE(rig.Query("jsquery:ComTcmdEBSTS " + Arg(usb)).success);
  EXPECT_TRUE(IsOpen(usb));  // opened by the page: stays open
  rig.Query("jsquery:ComClose " + Arg(usb));
}

TEST_F(UnitFunctions, UnexpectedStatusIsASuccessfulAnswerThatSaysSo) {
  FaultRule rule = Fault("EBSTS", FaultKind::kStatus);
  rule.status = {2, 1};
  rig.Sim().InjectFault(kUsbUnit, rule);
  auto answer = rig.Query("jsquery:ComTcmdEBSTS " + Arg(rig.UsbComInfo()));
  ASSERT_TRUE(answer.success) << answer.text;
  auto result = Obj(answer);
  EXPECT_FALSE(result["isSuccess"].get<bool>());
  EXPECT_EQ(result["STATUS"].get<std::string>(), "0002-0001");
  EXPECT_EQ(result["msg"].get<std::string>(), "STATUS=0002-0001 (EBSTS 0 0)");
}

TEST_F(UnitFunctions, ReceiveTimeOutFailsWithLibraryCodes) {
  rig.GetManager().AddQuery(std::make_shared<TcmdQuickEBSTS>(rig.Units()));
  rig.Router().AttachFactory(rig.GetManager().SharedFactory());
  rig.Sim().InjectFault(kUsbUnit, Fault("EBSTS", FaultKind::kNoAnswer));
  auto answer = rig.Query("jsquery:ComTcmdQuickEBSTS " + Arg(rig.UsbComInfo()));
  EXPECT_FALSE(answer.success);
  auto error = Obj(answer);
  EXPECT_EQ(error["code1"].get<double>(), 1028);
  EXPECT_EQ(error["code2"].get<double>(), 103);
  EXPECT_FALSE(IsOpen(rig.UsbComInfo()));  // the implicit open was undone
}

TEST_F(UnitFunctions, UnsupportedModelOpensButRunsNoCommand) {
  const std::string old = rig.UsbComInfo(kModel96Unit, "VL-OLD");
  EXPECT_TRUE(rig.Query("jsquery:ComOpen " + Arg(old)).success);
  auto answer = rig.Query("jsquery:ComTcmdEBSTS " + Arg(old));
  EXPECT_FALSE(answer.success);
  EXPECT_EQ(answer.text,
            R"({"code1":0,"msg":"Invalid arguments : このAPIは指定したcomInfo(VL-OLD)に対応していません。"})");
  EXPECT_TRUE(rig.Query("jsquery:ComClose " + Arg(old)).success);
}

TEST_F(UnitFunctions, UnknownModelIsRefusedByTheFactory) {
  const std::string remote = rig.UsbComInfo(0x00B80101, "VL-RA");  // a remote unit's serial
  EXPECT_EQ(rig.Query("jsquery:ComIsOpen " + Arg(remote)).text, "false");
  auto open = rig.Query("jsquery:ComOpen " + Arg(remote));
  EXPECT_EQ(open.text, R"x({"code1":0,"msg":"Invalid arguments : not a base unit this program talks to )x"
                       R"x((VL-RA, serial 00B80101, model code 92)"})x");
  auto close = rig.Query("jsquery:ComClose " + Arg(remote));
  EXPECT_EQ(close.text, open.text);
}

TEST_F(UnitFunctions, NewLanPasswordReplacesTheStoredOne) {
  ASSERT_TRUE(rig.Query("jsquery:ComTcmdEBSTS " + Arg(rig.LanComInfo(3))).success);
  auto refused = rig.Query("jsquery:ComTcmdEBSTS " + Arg(rig.LanComInfo(3, "wrong")));
  EXPECT_FALSE(refused.success);
  EXPECT_NE(refused.text.find("fail to open : "), std::string::npos) << refused.text;
  EXPECT_NE(refused.text.find("LOGIN_ERR(-29)"), std::string::npos) << refused.text;
  EXPECT_TRUE(rig.Query("jsquery:ComTcmdEBSTS " + Arg(rig.LanComInfo(3))).success);
}

TEST_F(UnitFunctions, ArgumentErrorsReachThePage) {
  auto missing = rig.Query("jsquery:ComOpen {}");
  EXPECT_EQ(missing.text, R"({"code1":-1,"msg":"Invalid arguments : 'comInfo' is not found."})");
  auto retry = rig.Query("jsquery:ComOpen " + Arg(rig.UsbComInfo(), ",\"retry\":256"));
  EXPECT_EQ(retry.text, R"({"code1":-2,"msg":"Invalid arguments : 'retry' value is invalid."})");
  auto notObject = rig.Query("jsquery:ComIsOpen [1]");
  EXPECT_EQ(notObject.code, -2);
}

}  // namespace

namespace {

// A factory that makes no unit: the command has nothing to talk through.
class NoUnits : public Sorrel::Com::ComExecutorFactory {
 public:
  std::shared_ptr<Sorrel::Com::ComExecutor> Create(const Sorrel::Com::ComInfo&) override { return nullptr; }
};

TEST(DeviceFailures, CommandWithoutAUnitSaysWhy) {
  Sorrel::Com::ComExecutorTable table(std::make_unique<NoUnits>());
  auto handler = std::make_shared<Sorrel::Com::TcmdGetRsLevel>(table);
  const auto args = *lm::json::Parse(R"({"comInfo":{"com":3,"ipAddr":"127.0.0.1","port":1,"lanPassword":"x"},"freqs":[]})");
  try {
    handler->Execute(nullptr, args, nullptr);
    ADD_FAILURE() << "answered without a unit";
  } catch (const Sorrel::cef::JsExecuteException& e) {
    EXPECT_EQ(e.Text(), R"x({"code1":0,"msg":"method error : no connection can be made to the unit (127.0.0.1:1)"})x");
  }
}

}  // namespace
