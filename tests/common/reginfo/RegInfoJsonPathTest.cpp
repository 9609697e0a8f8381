// Members written at dotted paths one after another, as the registration
// views write a unit: the same objects as writing each path on its own,
// including when a later path replaces an object an earlier run wrote into.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "RegInfoJsonPath.h"

namespace {

using com::vantor::detail::PathWriter;

TEST(RegInfoJsonPath, PathsWrittenInTurnMakeTheObjectsOnTheWay) {
  struct Case {
    const char* what;
    std::vector<std::pair<const char*, double>> puts;
    const char* json;
  };
  const std::vector<Case> cases = {
      {"runs under one parent, siblings and the root",
       {{"a", 1}, {"ch1.x", 2}, {"ch1.y", 3}, {"ch2.x", 4}, {"ch1.z", 5}},
       R"({"a":1,"ch1":{"x":2,"y":3,"z":5},"ch2":{"x":4}})"},
      {"a value in place of the parent, then a member again", {{"ch1.x", 1}, {"ch1", 5}, {"ch1.y", 2}}, R"({"ch1":{"y":2}})"},
      {"a value in place of an outer object", {{"a.b.c", 1}, {"a.b", 2}, {"a.b.d", 3}}, R"({"a":{"b":{"d":3}}})"},
      {"a member under what was a value", {{"a.b", 1}, {"a.b.c", 2}}, R"({"a":{"b":{"c":2}}})"},
      {"a name that only starts like the parent", {{"ab.x", 1}, {"a", 2}, {"ab.y", 3}}, R"({"a":2,"ab":{"x":1,"y":3}})"},
  };
  for (const Case& c : cases) {
    lm::json::Object root;
    PathWriter writer(root);
    for (const auto& [path, n] : c.puts) writer.Put(path, lm::json::Number(n));
    EXPECT_EQ(lm::json::ToText(lm::json::Value(std::move(root))), c.json) << c.what;
  }
}

}  // namespace
