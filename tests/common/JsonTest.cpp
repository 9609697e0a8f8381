#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// ToText writes its own text for speed; it must stay byte for byte what the
// JSON library writes, which the page and the documents rely on.
TEST(Json, ToTextWritesWhatTheLibraryWrites) {
  const double kNumbers[] = {0.0, -0.0, 1, -1, 0.5, -2.25, 1e-7, 1e21, 123456789012.0, 4294967295.0,
                             9007199254740991.0, -9007199254740991.0, 9007199254740992.0, -9007199254740992.0,
                             18446744073709551616.0, 1.0 / 3, 2.5e-320, 1.7976931348623157e308};
  const std::string kStrings[] = {"", "plain", "q\"uote", "back\\slash", "a/b", "\b\f\n\r\t",
                                  std::string("nul\0x", 5), "\x01\x1f\x7f", "\xE9\x80\x9A \xFF\x80",
                                  "</script>", std::string(300, 'x') + "\n"};
  std::vector<Value> values = {Value(), Bool(true), Bool(false), Value(Array{}), Value(Object{})};
  for (double d : kNumbers) values.push_back(Number(d));
  for (const auto& s : kStrings) values.push_back(String(s));
  Object nested;
  for (size_t i = 0; i < values.size(); ++i) nested["k" + std::to_string(i) + kStrings[i % 11]] = values[i];
  values.push_back(Value(Array(values.begin(), values.end())));
  values.push_back(Value(nested));
  values.push_back(MakeObject({{"a", Value(Array{Value(nested), Number(-0.0)})}, {"", Value(Object{})}}));
  for (const auto& v : values) EXPECT_EQ(ToText(v), v.serialize(false)) << v.serialize(false);
}
