#include <gtest/gtest.h>

#include "sorrel/cef/RequestText.h"

using namespace Sorrel::cef;

TEST(RequestText, SplitsNameAndArgument) {
  auto r = ParseRequest("jsquery:ComOpen {\"port\":1}");
  ASSERT_TRUE(r);
  EXPECT_EQ(r->name, "jsquery:ComOpen");
  EXPECT_EQ(r->queryName, "ComOpen");
  EXPECT_EQ(lm::json::ToText(r->argument), "{\"port\":1}");
  // The space is searched after the first ':', so a name may hold spaces before it.
  auto odd = ParseRequest("a b:c d");
  EXPECT_FALSE(odd);  // "d" is not JSON
  auto colonInArg = ParseRequest("jsquery:X {\"u\":\"a:b c\"}");
  ASSERT_TRUE(colonInArg);
  EXPECT_EQ(colonInArg->queryName, "X");
  EXPECT_FALSE(ParseRequest("no colon here"));
  EXPECT_TRUE(ParseRequest("jsquery:X")->argument.is<picojson::null>());
}

TEST(RequestText, CancelIds) {
  auto id = [](const char* json) { return ParseCancelId(*lm::json::Parse(json)); };
  EXPECT_EQ(id("5"), 5);
  EXPECT_EQ(id("\"-12\""), -12);
  EXPECT_EQ(id("\"9223372036854775807\""), INT64_MAX);
  EXPECT_FALSE(id("\"9223372036854775808\""));
  EXPECT_FALSE(id("\"12a\""));
  EXPECT_FALSE(id("\"-\""));
  EXPECT_FALSE(id("\"\""));
  EXPECT_FALSE(id("2.5"));
  EXPECT_FALSE(id("1e300"));
  EXPECT_FALSE(id("true"));
  EXPECT_FALSE(id("null"));
}

TEST(RequestText, MakeRequestLeavesOutFalseArguments) {
  EXPECT_EQ(MakeRequest("ComOpen", lm::json::Value()), "jsquery:ComOpen ");
  EXPECT_EQ(MakeRequest("ComOpen", lm::json::Value(false)), "jsquery:ComOpen ");
  EXPECT_EQ(MakeRequest("ComOpen", lm::json::Value(0.0)), "jsquery:ComOpen ");
  EXPECT_EQ(MakeRequest("ComOpen", lm::json::Value(std::string())), "jsquery:ComOpen ");
  EXPECT_EQ(MakeRequest("ComOpen", *lm::json::Parse("{\"port\":1}")), "jsquery:ComOpen {\"port\":1}");
}

// The documented limit of a query's argument: 100 levels of arrays and
// objects; one more and the request is not handled (the page gets -1).
TEST(RequestText, ArgumentNestingLimit) {
  auto nested = [](int levels) {
    return "jsquery:X " + std::string(static_cast<size_t>(levels), '[') + std::string(static_cast<size_t>(levels), ']');
  };
  const struct {
    int levels;
    bool handled;
  } cases[] = {{1, true}, {100, true}, {101, false}, {5000, false}};
  for (const auto& c : cases) {
    auto parsed = ParseRequest(nested(c.levels));
    ASSERT_TRUE(parsed.has_value()) << c.levels;
    EXPECT_EQ(!parsed->tooDeep, c.handled) << c.levels;  // too deep: refused with a reason, not unhandled
  }
}
