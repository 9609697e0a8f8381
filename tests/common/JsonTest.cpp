#include <gtest/gtest.h>

#include "lm/Json.h"

using namespace lm::json;

TEST(Json, ObjectsSerialiseCompactlyInByteOrder) {
  Value v = MakeObject({{"msg", String("x")}, {"code1", Number(-2)}, {"Z", Bool(true)}, {"api", Value()}});
  EXPECT_EQ(ToText(v), R"({"Z":true,"api":null,"code1":-2,"msg":"x"})");
  EXPECT_EQ(ToText(ErrorObject(1028, "t")), R"({"code1":1028,"msg":"t"})");
  EXPECT_EQ(ToText(Number(0.5)), "0.5");
  EXPECT_EQ(ToText(Number(4294967295.0)), "4294967295");
}

TEST(Json, ParseRejectsGarbageAndAcceptsWhitespace) {
  EXPECT_TRUE(Parse(" {\"a\":[1,2]} \n").has_value());
  EXPECT_FALSE(Parse("{\"a\":1} x").has_value());
  EXPECT_FALSE(Parse("{").has_value());
  EXPECT_FALSE(Parse("").has_value());
  auto utf8 = Parse("\"\\u901a\"");
  ASSERT_TRUE(utf8);
  EXPECT_EQ(utf8->get<std::string>(), "\xE9\x80\x9A");
}

TEST(Json, IsIntegralChecksKindFractionAndRange) {
  EXPECT_TRUE(IsIntegral(Number(255), 0, 255));
  EXPECT_FALSE(IsIntegral(Number(256), 0, 255));
  EXPECT_FALSE(IsIntegral(Number(1.5), 0, 255));
  EXPECT_FALSE(IsIntegral(String("1"), 0, 255));
  EXPECT_FALSE(IsIntegral(Number(-1), 0, 255));
}
