#include <gtest/gtest.h>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"

using namespace Sorrel::cef;
using Need = ArgReader::Need;

namespace {

lm::json::Value J(const char* text) { return *lm::json::Parse(text); }

// Runs `read` and returns the failure as "code|text", or "ok".
template <typename F>
std::string Outcome(F read) {
  try {
    read();
    return "ok";
  } catch (const JsArgumentException& e) {
    return std::to_string(e.Code()) + "|" + e.Message();
  }
}

TEST(ArgReader, ArgumentMustBeAnObject) {
  const auto array = J("[1]"), null = J("null");
  EXPECT_EQ(Outcome([&] { ArgReader r(array); }), "-2|'arg' must have type object.");
  EXPECT_EQ(Outcome([&] { ArgReader r(null, -1, -7, "options"); }), "-7|'options' must have type object.");
}

TEST(ArgReader, DottedPathsRequiredAndOptional) {
  const auto arg = J(R"({"comInfo":{"com":2,"ip":"127.0.0.1"},"flat":3})");
  ArgReader r(arg);
  int32_t com = 0;
  EXPECT_TRUE(r.Int32("comInfo.com", com));
  EXPECT_EQ(com, 2);
  int32_t port = 99;
  EXPECT_FALSE(r.Int32("comInfo.port", port, Need::Optional));
  EXPECT_EQ(port, 99);  // absent optional keeps its default
  EXPECT_EQ(Outcome([&] { r.Int32("comInfo.port", port); }), "-1|'comInfo.port' is not found.");
  EXPECT_EQ(Outcome([&] { r.Int32("nothing.deeper", port); }), "-1|'nothing.deeper' is not found.");
  // A value on the way that is not an object names the path up to it.
  EXPECT_EQ(Outcome([&] { r.Int32("flat.x.y", port); }), "-2|'flat' must have type object.");
  EXPECT_EQ(Outcome([&] { r.Int32("comInfo.ip.x", port, Need::Optional); }),
            "-2|'comInfo.ip' must have type object.");
}

TEST(ArgReader, IntegerRangesAndFractions) {
  const auto arg = J(R"({"a":2147483647,"b":-2147483648,"c":2147483648,"d":1.5,"e":"1",
                    "u8":255,"u8x":256,"u16":65535,"u16x":-1,"u32":4294967295,"u32x":4294967296})");
  ArgReader r(arg);
  int32_t i = 0;
  EXPECT_EQ(Outcome([&] { r.Int32("a", i); }), "ok");
  EXPECT_EQ(Outcome([&] { r.Int32("b", i); }), "ok");
  EXPECT_EQ(i, INT32_MIN);
  for (const char* bad : {"c", "d", "e"}) {
    EXPECT_EQ(Outcome([&] { r.Int32(bad, i); }), std::string("-2|'") + bad + "' value is invalid.");
  }
  uint8_t u8 = 0;
  uint16_t u16 = 0;
  uint32_t u32 = 0;
  EXPECT_EQ(Outcome([&] { r.UInt8("u8", u8); }), "ok");
  EXPECT_EQ(Outcome([&] { r.UInt8("u8x", u8); }), "-2|'u8x' value is invalid.");
  EXPECT_EQ(Outcome([&] { r.UInt16("u16", u16); }), "ok");
  EXPECT_EQ(Outcome([&] { r.UInt16("u16x", u16); }), "-2|'u16x' value is invalid.");
  EXPECT_EQ(Outcome([&] { r.UInt32("u32", u32); }), "ok");
  EXPECT_EQ(u32, 4294967295u);
  EXPECT_EQ(Outcome([&] { r.UInt32("u32x", u32); }), "-2|'u32x' value is invalid.");
  // The unsigned 32-bit reader has no optional form: absence is an error.
  EXPECT_EQ(Outcome([&] { r.UInt32("missing", u32); }), "-1|'missing' is not found.");
}

TEST(ArgReader, OtherKinds) {
  const auto arg = J(R"({"b":true,"n":0.25,"s":"\u901a\u4fe1","bytes":[0,255],"badBytes":[1,256],
                    "notBytes":"x","o":{},"a":[],"emoji":"\ud83d\udce1"})");
  ArgReader r(arg);
  bool b = false;
  EXPECT_TRUE(r.Bool("b", b));
  EXPECT_TRUE(b);
  EXPECT_EQ(Outcome([&] { r.Bool("n", b); }), "-2|'n' value is invalid.");
  double n = 0;
  r.Number("n", n);
  EXPECT_EQ(n, 0.25);
  EXPECT_EQ(Outcome([&] { r.Number("s", n); }), "-2|'s' value is invalid.");
  std::string s;
  r.String("s", s);
  EXPECT_EQ(s, "\xE9\x80\x9A\xE4\xBF\xA1");
  std::u16string w;
  r.WString("s", w);
  EXPECT_EQ(w, u"\u901A\u4FE1");
  std::string ansi;
  r.AnsiString("s", ansi);
  EXPECT_EQ(ansi, "\x92\xCA\x90\x4D");
  EXPECT_EQ(Outcome([&] { r.AnsiString("emoji", ansi); }), "-2|'emoji' value is invalid.");
  std::vector<uint8_t> bytes;
  r.Bytes("bytes", bytes);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 255}));
  EXPECT_EQ(Outcome([&] { r.Bytes("badBytes", bytes); }), "-2|'badBytes' value is invalid.");
  EXPECT_EQ(Outcome([&] { r.Bytes("notBytes", bytes); }), "-2|'notBytes' value is invalid.");
  EXPECT_NE(r.Object("o"), nullptr);
  EXPECT_EQ(r.Object("x", Need::Optional), nullptr);
  EXPECT_EQ(Outcome([&] { r.Object("a"); }), "-2|'a' must have type object.");
  EXPECT_EQ(Outcome([&] { r.Array("o"); }), "-2|'o' must have type array.");
  EXPECT_NE(r.Array("a"), nullptr);
}

TEST(ArgReader, CodesAreTheCallers) {
  const auto arg = J(R"({"x":"y"})");
  ArgReader r(arg, -5, -6);
  int32_t i;
  EXPECT_EQ(Outcome([&] { r.Int32("none", i); }), "-5|'none' is not found.");
  EXPECT_EQ(Outcome([&] { r.Int32("x", i); }), "-6|'x' value is invalid.");
}

}  // namespace
