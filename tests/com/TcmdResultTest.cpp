#include <gtest/gtest.h>

#include "sorrel/com/TcmdHandler.h"
#include "vantor/com/TcmdEBSTS.h"

using namespace Sorrel::Com;
using com::vantor::ExecResult;

namespace {

// An EBSTS that has "received" the given answer fields and ended with a result.
com::vantor::TcmdEBSTS Answered(const char* status, ExecResult result) {
  com::vantor::TcmdEBSTS cmd;
  if (status) {
    com::vantor::FieldMap fields{{"STATUS", status}};
    auto frame = com::vantor::BuildFrame("EBSTS", fields, com::vantor::LengthForm::Two);
    cmd.ParseRecvData(0, *frame);
  }
  cmd.SetResult(result);
  return cmd;
}

std::string Text(const com::vantor::TcmdEBSTS& cmd) {
  lm::json::Object result;
  auto args = *lm::json::Parse(R"({"comInfo":{"com":3,"ipAddr":"a"},"x":1})");
  tcmd_result::AddCommon(cmd, args, tcmd_result::Message(cmd), result);
  return lm::json::ToText(lm::json::Value(result));
}

TEST(TcmdResult, SuccessCarriesStatusAndNoMessage) {
  EXPECT_EQ(Text(Answered("0002-0000", ExecResult::Completed())),
            R"({"STATUS":"0002-0000","cmdName":"EBSTS","comInfo":{"com":3,"ipAddr":"a"},)"
            R"("isCancel":false,"isSuccess":true,"isTimeout":false})");
}

TEST(TcmdResult, UnexpectedStatusIsNotASuccess) {
  auto cmd = Answered("0002-0001", ExecResult::Completed());
  EXPECT_EQ(tcmd_result::Message(cmd), "STATUS=0002-0001 (EBSTS 0 0)");
  EXPECT_NE(Text(cmd).find(R"("isSuccess":false)"), std::string::npos);
}

TEST(TcmdResult, MessagesOfOtherOutcomes) {
  EXPECT_EQ(tcmd_result::Message(Answered(nullptr, ExecResult::Cancelled())), "cancel");
  EXPECT_EQ(tcmd_result::Message(Answered(nullptr, ExecResult::Timeout())), "timeout");
  EXPECT_EQ(tcmd_result::Message(Answered(nullptr, ExecResult::NotOpen())), "STATUS=0000-0000 (EBSTS 0 0 connection not open)");
  auto failed = Answered(nullptr, ExecResult::Error("Vcomm_RecvComm : TIMEOUT_ERR(-28)", 1028, 103));
  EXPECT_EQ(tcmd_result::Message(failed), "STATUS=0000-0000 (EBSTS 1028 103 Vcomm_RecvComm : TIMEOUT_ERR(-28))");
  EXPECT_EQ(lm::json::ToText(tcmd_result::Error(failed)),
            R"x({"code1":1028,"code2":103,"msg":"Vcomm_RecvComm : TIMEOUT_ERR(-28)"})x");
  // No STATUS member when no answer carried one.
  EXPECT_EQ(Text(failed).find("STATUS\":"), std::string::npos);
  EXPECT_NE(Text(Answered(nullptr, ExecResult::Cancelled())).find(R"("isCancel":true)"), std::string::npos);
}

}  // namespace
