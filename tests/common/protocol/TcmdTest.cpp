// Request building and answer checks of the T command family.

#include <gtest/gtest.h>

#include "TestCommands.h"
#include "vantor/com/TcmdVLB1.h"
#include "vantor/com/TcmdWireless.h"
#include "vantor/vcomm/VcommError.h"

namespace com::vantor::testing {
namespace {

Bytes Answer(const std::string& name, const FieldMap& fields, LengthForm form = LengthForm::Two) {
  return *BuildFrame(name, fields, form);
}

TEST(Tcmd, RequestCarriesNameAndFieldsInKeyOrder) {
  CountingCmd command(0, "EWPSW");
  command.SetSendField("PW", "ab");
  command.SetSendNumber("ACT", -3);
  command.SetSendNumber("MAX", 4000000000);
  EXPECT_EQ(command.BuildSendData(kPhaseFirst), Answer("EWPSW", {{"ACT", "-3"}, {"MAX", "4000000000"}, {"PW", "ab"}}));
  // Follow-ups repeat the request; a plain command has no cancel exchange.
  EXPECT_EQ(command.BuildSendData(kPhaseFollowUp), command.BuildSendData(kPhaseFirst));
  EXPECT_TRUE(command.BuildSendData(kPhaseCancel).empty());
  command.EraseSendField("PW");
  EXPECT_EQ(command.GetSendFields().size(), 2u);
}

TEST(Tcmd, EmptyCommandFrame) {
  CountingCmd command;
  EXPECT_EQ(command.BuildSendData(kPhaseFirst), Bytes("\x54\x32\x06\x00\x45\x42\x53\x54\x53\x3A\xBB\x01", 12));
}

TEST(Tcmd, AcceptedAnswerReplacesFieldsAndStatus) {
  CountingCmd command;
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", "0002-0001"}, {"A", "1"}}));
  EXPECT_EQ(command.GetStatusText(), "0002-0001");
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"B", "2"}}, LengthForm::E));
  EXPECT_FALSE(command.GetRecvField("A"));  // replaced, not merged
  EXPECT_EQ(*command.GetRecvField("B"), "2");
  EXPECT_EQ(command.GetStatusText(), "0002-0001");  // no STATUS: kept
  command.Reset();
  EXPECT_TRUE(command.GetRecvFields().empty());
  EXPECT_EQ(command.GetStatusText(), "0000-0000");
}

TEST(Tcmd, FormEWithoutChecksumIsTakenButABadChecksumIsIgnored) {
  FieldMap fields{{"STATUS", "0004-0000"}};
  CountingCmd command;
  Bytes damaged = Answer("EBSTS", fields);
  damaged[damaged.size() - 2] ^= 0x10;
  command.ParseRecvData(kPhaseFirst, damaged);
  EXPECT_TRUE(command.GetRecvFields().empty());
  EXPECT_EQ(command.GetStatusText(), "0000-0000");
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", fields, LengthForm::E));
  EXPECT_EQ(command.GetStatusText(), "0004-0000");
}

TEST(Tcmd, AnswersThatFailAChangeNothing) {
  CountingCmd command;
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", "0002-0000"}, {"K", "v"}}));
  const FieldMap before = command.GetRecvFields();
  Bytes good = Answer("EBSTS", {{"STATUS", "0009-0009"}});
  std::vector<Bytes> rejected = {
      Answer("EBSTA", {{"STATUS", "0009-0009"}}),  // another name
      good.substr(0, good.size() - 1),              // short
      good + "x",                                   // long
      "X" + good.substr(1),                         // not "T"
      "T",
      "",
      *WrapBody("EBSTS:STATUS", LengthForm::Two),  // key without "="
      *WrapBody("EBSTS", LengthForm::Two),         // no ":"
  };
  for (const Bytes& answer : rejected) {
    command.ParseRecvData(kPhaseFirst, answer);
    EXPECT_EQ(command.GetRecvFields(), before);
    EXPECT_EQ(command.GetStatusText(), "0002-0000");
  }
}

TEST(Tcmd, WrongNameOnAFirstAnswerLeavesStatusZero) {
  CountingCmd command;
  command.ParseRecvData(kPhaseFirst, Answer("EWLEX", {{"STATUS", "0004-0000"}}));
  EXPECT_EQ(command.GetStatusText(), "0000-0000");
  EXPECT_FALSE(command.IsSuccess());
}

TEST(Tcmd, OnlyANineByteStatusIsRead) {
  CountingCmd command;
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", "0004-0001"}}));
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", "2-0"}}));
  EXPECT_EQ(command.GetStatusText(), "0004-0001");
  EXPECT_EQ(*command.GetRecvField("STATUS"), "2-0");  // the fields are still replaced
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", "0004-00010"}}));
  EXPECT_EQ(command.GetStatusText(), "0004-0001");
  // Digits are read as atoi reads them: leading blanks and a sign, up to the first non-digit.
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", " 12x+003"}}));
  EXPECT_EQ(command.GetStatusText(), "0004-0001");  // 8 bytes
  command.ParseRecvData(kPhaseFirst, Answer("EBSTS", {{"STATUS", " 12x-+003"}}));
  EXPECT_EQ(command.GetStatusGroup(), 12);
  EXPECT_EQ(command.GetStatusDetail(), 3);
}

TEST(Tcmd, FieldTooLongToFrameIsAnErrorNotATruncation) {
  CountingCmd command;
  command.SetSendField("DATA", Bytes(70000, 'x'));
  try {
    command.BuildSendData(kPhaseFirst);
    FAIL() << "framed a 70000-byte value";
  } catch (const ExecResult& result) {
    EXPECT_EQ(result.status, ExecResult::kError);
    EXPECT_EQ(result.code1, 1016);
  }
}

TEST(TcmdWireless, PhasesCarryActZeroOneTwo) {
  TcmdWireless command("EWLEX");
  command.SetSendField("CH", "5");
  EXPECT_EQ(command.BuildSendData(kPhaseFirst), Answer("EWLEX", {{"ACT", "0"}, {"CH", "5"}}));
  command.SetACT(3);
  EXPECT_EQ(command.BuildSendData(kPhaseFirst), Answer("EWLEX", {{"ACT", "3"}, {"CH", "5"}}));
  EXPECT_EQ(command.BuildSendData(kPhaseFollowUp), Answer("EWLEX", {{"ACT", "1"}}));
  EXPECT_EQ(command.BuildSendData(kPhaseCancel), Answer("EWLEX", {{"ACT", "2"}}));
}

TEST(TcmdWireless, ContinuesOnAcceptanceThenWhileWorking) {
  TcmdWireless command("EWLEX");
  auto answer = [&](const char* status) { command.ParseRecvData(0, Answer("EWLEX", {{"STATUS", status}})); };
  answer("0004-0000");
  EXPECT_TRUE(command.IsContinue(kPhaseFirst));
  EXPECT_TRUE(command.IsContinue(kPhaseCancel));
  EXPECT_FALSE(command.IsContinue(kPhaseFollowUp));
  EXPECT_TRUE(command.IsSuccess());
  answer("0004-0001");
  EXPECT_FALSE(command.IsContinue(kPhaseFirst));
  EXPECT_TRUE(command.IsContinue(kPhaseFollowUp));
  EXPECT_FALSE(command.IsSuccess());
  EXPECT_EQ(command.GetInterval(), 500);
  EXPECT_EQ(command.GetRecvTimeout(kPhaseFollowUp), 5000);
}

TEST(TcmdVLB1, MeasureRequest) {
  TcmdVLB1 command;
  EXPECT_EQ(command.GetName(), "VLB1");
  EXPECT_EQ(command.SetMODE(0), 0);
  EXPECT_EQ(command.SetTIME(100), 0);
  EXPECT_EQ(command.SetSendData(Bytes("\x01\x3E\x00\x02\x00\x0A\x00", 7)), 0);
  EXPECT_EQ(command.BuildSendData(kPhaseFirst),
            Answer("VLB1", {{"DATA", Bytes("\x01\x3E\x00\x02\x00\x0A\x00", 7)}, {"MODE", "0"}, {"TIME", "100"}}));
  EXPECT_TRUE(command.BuildSendData(kPhaseCancel).empty());
  EXPECT_FALSE(command.IsContinue(kPhaseFirst));
  EXPECT_EQ(command.GetInterval(), 50);
  command.ParseRecvData(0, Answer("VLB1", {{"STATUS", "0004-0000"}}));
  EXPECT_TRUE(command.IsSuccess());
}

TEST(VcommError, MessageNamesOperationErrorAndNumber) {
  ExecResult timeout = VcommError("Vcomm_RecvComm", -28, kCodeRecv);
  EXPECT_EQ(timeout, ExecResult(5, "Vcomm_RecvComm : TIMEOUT_ERR(-28)", 1028, 103));
  EXPECT_EQ(VcommError("Vcomm_OpenLANComm", -30, kCodeOpenLAN).message, "Vcomm_OpenLANComm : LOGIN_TR_ERR(-30)");
  EXPECT_EQ(VcommError("Vcomm_OpenUSBComm", -12, kCodeOpenUSB).code1, 1012);
  ExecResult unknown = VcommError("Vcomm_SendComm", -21, kCodeSend);
  EXPECT_EQ(unknown, ExecResult(5, "Vcomm_SendComm : ERROR(-21)", 1099, 102));
  for (int known : {-10, -11, -12, -13, -14, -15, -16, -20, -22, -24, -25, -26, -27, -28, -29, -30}) {
    EXPECT_EQ(VcommErrorCode1(known), 1000 - known);
    EXPECT_STRNE(VcommErrorName(known), "ERROR");
  }
  EXPECT_STREQ(VcommErrorName(-1), "ERROR");
}

}  // namespace
}  // namespace com::vantor::testing
