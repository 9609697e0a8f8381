#include <gtest/gtest.h>

#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutor.h"
#include "sorrel/com/ComExecutorBase.h"
#include "sorrel/com/ComExecutorTable.h"

using namespace Sorrel::Com;
using Sorrel::cef::JsArgumentException;

namespace {

lm::json::Value Args(const std::string& comInfo) { return *lm::json::Parse("{\"comInfo\":" + comInfo + "}"); }

// The failure message of parsing, or "ok".
std::string ParseError(const std::string& comInfo) {
  try {
    ParseComInfo(Args(comInfo));
    return "ok";
  } catch (const JsArgumentException& e) {
    return std::to_string(e.Code()) + "|" + e.Message();
  }
}

const char* kUsb = R"({"com":1,"descr":"d","port":3,"model":"VL-BA","name":"n","serial":"009A0001"})";
const char* kLan = R"({"com":2,"ipAddr":"127.0.0.1","port":1024,"lanPassword":"pw","descr":"d","model":"VL-BB",
                       "name":"n","serial":"009C0002","mac":"00:11:22:33:44:55"})";

TEST(ComInfo, ParsesEachKind) {
  ComInfo usb = ParseComInfo(Args(kUsb));
  ASSERT_TRUE(usb.IsUsb());
  EXPECT_EQ(usb.usb->serial, 0x009A0001u);
  EXPECT_EQ(usb.usb->port, 3);
  EXPECT_EQ(ModelCode(usb.Serial()), 77u);
  ComInfo lan = ParseComInfo(Args(kLan));
  ASSERT_FALSE(lan.IsUsb());
  EXPECT_EQ(lan.lan->ipAddr, "127.0.0.1");
  EXPECT_EQ(lan.lan->lanPassword, "pw");
  EXPECT_EQ(ModelCode(lan.Serial()), 78u);
  ComInfo byAddress = ParseComInfo(Args(R"({"com":3,"ipAddr":"10.0.0.5","port":80,"lanPassword":""})"));
  EXPECT_EQ(byAddress.Serial(), 0u);
}

TEST(ComInfo, ErrorNumbersFollowTheKeyOrder) {
  EXPECT_EQ(ParseError("5"), "-2|'comInfo' must have type object.");
  EXPECT_EQ(ParseError("{}"), "-1|'comInfo.com' is not found.");
  EXPECT_EQ(ParseError(R"({"com":"1"})"), "-2|'comInfo.com' value is invalid.");
  EXPECT_EQ(ParseError(R"({"com":4})"), "-2|'comInfo.com' value is invalid.");
  // USB: com, descr, port, model, name, serial.
  EXPECT_EQ(ParseError(R"({"com":1})"), "-2|'comInfo' value is invalid.(WatchUsbInfo:-4)'");
  EXPECT_EQ(ParseError(R"({"com":1,"descr":"d"})"), "-2|'comInfo' value is invalid.(WatchUsbInfo:-5)'");
  EXPECT_EQ(ParseError(R"({"com":1,"descr":"d","model":"m"})"), "-2|'comInfo' value is invalid.(WatchUsbInfo:-6)'");
  EXPECT_EQ(ParseError(R"({"com":1,"descr":"d","model":"m","name":"n"})"),
            "-2|'comInfo' value is invalid.(WatchUsbInfo:-7)'");
  EXPECT_EQ(ParseError(R"({"com":1,"descr":"d","model":"VL-B8","name":"n","port":"x"})"), "ok");
  // LAN: com, ipAddr, port, lanPassword, then descr, model, name, serial, mac.
  EXPECT_EQ(ParseError(R"({"com":2})"), "-2|'comInfo' value is invalid.(WatchLanInfo:-8)'");
  EXPECT_EQ(ParseError(R"({"com":3,"ipAddr":"a"})"), "-2|'comInfo' value is invalid.(WatchLanInfo:-9)'");
  EXPECT_EQ(ParseError(R"({"com":3,"ipAddr":"a","port":1.5})"), "-2|'comInfo' value is invalid.(WatchLanInfo:-9)'");
  EXPECT_EQ(ParseError(R"({"com":3,"ipAddr":"a","port":1})"), "-2|'comInfo' value is invalid.(WatchLanInfo:-11)'");
  EXPECT_EQ(ParseError(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":"\ud83d\udce1"})"),
            "-2|'comInfo' value is invalid.(WatchLanInfo:-11)'");  // not carried by the code page
  EXPECT_EQ(ParseError(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":"","serial":7})"),
            "-2|'comInfo' value is invalid.(WatchLanInfo:-7)'");
  EXPECT_EQ(ParseError(R"({"com":2,"ipAddr":"a","port":1,"lanPassword":"","descr":"d","model":"m","name":"n","serial":"1"})"),
            "-2|'comInfo' value is invalid.(WatchLanInfo:-10)'");
}

TEST(ComInfo, SerialTextIsLeadingHexDigits) {
  EXPECT_EQ(ParseSerialText("B80001"), 0xB80001u);
  EXPECT_EQ(ParseSerialText("9a00zz"), 0x9A00u);
  EXPECT_EQ(ParseSerialText("xyz"), 0u);
  EXPECT_EQ(ParseSerialText(""), 0u);
  EXPECT_EQ(ParseSerialText("-1"), 0u);
  EXPECT_EQ(ParseSerialText("123456789"), 0xFFFFFFFFu);
}

TEST(ComInfo, UnitKeys) {
  EXPECT_EQ(UnitKey(ParseComInfo(Args(kUsb))), "is_usb=true\nis_lan=false\nserial=009A0001\n");
  EXPECT_EQ(UnitKey(ParseComInfo(Args(R"({"com":1,"descr":"d","port":4,"model":"VL-B8","name":"n"})"))),
            "is_usb=true\nis_lan=false\nport=4\n");
  EXPECT_EQ(UnitKey(ParseComInfo(Args(kLan))), "is_usb=false\nis_lan=true\nipaddr=127.0.0.1:1024X\n");
}

ComInfo UsbWithSerial(uint32_t serial) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", serial);
  return ParseComInfo(Args(std::string(R"({"com":1,"descr":"d","model":"m","name":"n","serial":")") + text + "\"}"));
}

TEST(ComExecutorTable, FactoryAcceptsKnownModelsAndAddressOnlyLan) {
  ComExecutorTable table(std::make_unique<ComExecutorVelaFactory>());
  for (uint32_t code : {41u, 42u, 77u, 81u, 96u, 98u}) EXPECT_NE(table.Lookup(UsbWithSerial(code << 17)), nullptr) << code;
  for (uint32_t code : {0u, 43u, 82u, 92u, 97u}) EXPECT_EQ(table.Lookup(UsbWithSerial(code << 17)), nullptr) << code;
  EXPECT_NE(table.Lookup(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":""})"))), nullptr);
  EXPECT_EQ(table.Lookup(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":2,"lanPassword":"","serial":"B80001"})"))),
            nullptr);
  EXPECT_EQ(table.Size(), 7u);
}

TEST(ComExecutorTable, SameUnitSameEntryAndNewPasswordReplacesOld) {
  ComExecutorTable table(std::make_unique<ComExecutorVelaFactory>());
  auto first = table.Lookup(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":"old"})")));
  auto again = table.Lookup(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":"new"})")));
  EXPECT_EQ(first, again);
  EXPECT_EQ(first->LanPassword(), "new");
  EXPECT_NE(table.Lookup(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":2,"lanPassword":"new"})"))), first);
}

TEST(ComExecutorBase, SupportedModels) {
  ComExecutorTable table(std::make_unique<ComExecutorVelaFactory>());
  ComExecutorBase handler("ComX", "app.com.x", 0, table);
  EXPECT_TRUE(handler.IsSupported(UsbWithSerial(77u << 17)));
  EXPECT_TRUE(handler.IsSupported(UsbWithSerial(41u << 17)));
  EXPECT_FALSE(handler.IsSupported(UsbWithSerial(96u << 17)));  // opens, but runs no command
  EXPECT_FALSE(handler.IsSupported(UsbWithSerial(98u << 17)));
  EXPECT_TRUE(handler.IsSupported(ParseComInfo(Args(R"({"com":3,"ipAddr":"a","port":1,"lanPassword":""})"))));
}

}  // namespace
