// Page values to message values in a bare JavaScriptCore context (no page
// process needed): kinds, and the bounds that keep a page from freezing.
#include "sorrel/cef/webext/JscConvert.h"

#include <gtest/gtest.h>

#include <string>

#include "sorrel/cef/webext/GRef.h"

using Sorrel::cef::MsgValue;
using Sorrel::cef::webext::GRef;
using Sorrel::cef::webext::JsConverter;

namespace {

class JscConvert : public ::testing::Test {
 protected:
  GRef<JSCValue> Eval(const std::string& script) {
    auto v = GRef<JSCValue>::Adopt(jsc_context_evaluate(context_.get(), script.c_str(), -1));
    EXPECT_EQ(jsc_context_get_exception(context_.get()), nullptr) << script;
    return v;
  }
  GRef<JSCContext> context_ = GRef<JSCContext>::Adopt(jsc_context_new());
};

std::string Nested(int levels) { return std::string(levels, '[') + std::string(levels, ']'); }

}  // namespace

TEST_F(JscConvert, KeepsKindsAndSharedMembers) {
  auto v = Eval("var leaf = {x: 1}; ({i: 7, d: 1.5, z: -0, big: 3000000000, s: 'テ', b: true, n: null, u: undefined,"
                " l: [1, [2]], a: leaf, c: [leaf, leaf]})");
  JsConverter converter;
  auto m = converter.ToMsg(v.get());
  ASSERT_TRUE(m) << converter.Refusal();
  const MsgValue leaf = MsgValue::MakeDictionary({{"x", MsgValue::Int(1)}});
  EXPECT_EQ(*m, MsgValue::MakeDictionary({{"i", MsgValue::Int(7)},
                                          {"d", MsgValue::Double(1.5)},
                                          {"z", MsgValue::Double(-0.0)},
                                          {"big", MsgValue::Double(3000000000.0)},
                                          {"s", MsgValue::String("テ")},
                                          {"b", MsgValue::Bool(true)},
                                          {"n", MsgValue()},
                                          {"u", MsgValue()},
                                          {"l", MsgValue::MakeList({MsgValue::Int(1), MsgValue::MakeList({MsgValue::Int(2)})})},
                                          {"a", leaf},
                                          {"c", MsgValue::MakeList({leaf, leaf})}}));
  EXPECT_TRUE(JsConverter().ToMsg(Eval(Nested(JsConverter::kMaxDepth)).get()));
}

TEST_F(JscConvert, RefusesValuesThatLoopOrNeverEnd) {
  struct Case {
    const char* what;
    std::string script;
    const char* refusal;
  };
  const Case cases[] = {
      {"self pairs", "var a = {}; a.n = a; a.p = a; a", "contains itself"},
      {"loop through a list", "var l = [1]; l.push({back: l}); ({top: l})", "contains itself"},
      {"shared pairs", "var x = {}; for (var i = 0; i < 60; i++) x = {n: x, p: x}; x", "values in all"},
      {"length 2^32-1", "var h = []; h.length = 4294967295; h", "values in all"},
      {"length 2^31-1", "var h = []; h.length = 2147483647; h", "values in all"},
      {"too deep", Nested(JsConverter::kMaxDepth + 1), "nested deeper than 64 levels"},
  };
  for (const auto& c : cases) {
    JsConverter converter;
    EXPECT_FALSE(converter.ToMsg(Eval(c.script).get())) << c.what;
    EXPECT_NE(converter.Refusal().find(c.refusal), std::string::npos) << c.what << ": " << converter.Refusal();
    EXPECT_FALSE(converter.ToJson(Eval(c.script).get())) << c.what;
  }
  JsConverter converter;
  converter.ToMsg(Eval("var s = {}; s.s = s; s").get());
  EXPECT_EQ(converter.Refusal("arguments[1]"), "'arguments[1]' contains itself.");
}

TEST_F(JscConvert, OneBudgetCoversEveryValueOfACall) {
  JsConverter converter(10);
  auto five = Eval("[1, 2, 3, 4, 5]");  // six values with the list
  EXPECT_TRUE(converter.ToMsg(five.get()));
  EXPECT_FALSE(converter.ToMsg(five.get()));
  EXPECT_EQ(converter.Refusal(), "holds more than 10 values in all");
}
