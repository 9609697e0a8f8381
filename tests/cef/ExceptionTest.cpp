#include <gtest/gtest.h>

#include "sorrel/cef/Exception.h"

using namespace Sorrel::cef;

TEST(Exceptions, PageTextsOfEachKind) {
  JsArgumentException withMsg(-2, MsgInvalid("comInfo.com"));
  EXPECT_EQ(withMsg.Code(), -2);
  EXPECT_EQ(withMsg.Text(), R"({"code1":-2,"msg":"Invalid arguments : 'comInfo.com' value is invalid."})");
  EXPECT_EQ(JsArgumentException(-3, "").Text(), R"({"code1":-3,"msg":"Invalid arguments"})");

  JsExecuteException exec(7, "no such file");
  EXPECT_EQ(exec.Code(), 0);
  EXPECT_EQ(exec.Text(), R"({"code1":7,"msg":"method error : no such file"})");
  EXPECT_EQ(JsExecuteException(7, "").Text(), R"({"code1":7,"msg":"method error"})");
  EXPECT_EQ(JsExecuteException::FromText(R"({"code1":1,"code2":103,"msg":"m"})").Text(),
            R"({"code1":1,"code2":103,"msg":"m"})");

  // Non-ASCII messages are carried as UTF-8, escaped by nothing.
  EXPECT_EQ(JsArgumentException(0, "\xE9\x80\x9A").Text(), "{\"code1\":0,\"msg\":\"Invalid arguments : \xE9\x80\x9A\"}");
}

TEST(Exceptions, EnsureThrowsOnlyOnFalse) {
  EXPECT_NO_THROW(Ensure(true, 1, "x"));
  EXPECT_NO_THROW(EnsureExecuted(true, 1, "x"));
  EXPECT_THROW(Ensure(false, 1, "x"), JsArgumentException);
  EXPECT_THROW(EnsureExecuted(false, 1, "x"), JsExecuteException);
}

TEST(Exceptions, StandardMessages) {
  EXPECT_EQ(MsgNotFound("p"), "'p' is not found.");
  EXPECT_EQ(MsgMustBeString("p"), "'p' must have type string.");
  EXPECT_EQ(MsgMustBeArray("p"), "'p' must have type array.");
  EXPECT_EQ(MsgMustBeFunction("p"), "'p' must have type function.");
  EXPECT_EQ(MsgMustBeObject("p"), "'p' must have type object.");
  EXPECT_EQ(MsgInvalid("p"), "'p' value is invalid.");
}
