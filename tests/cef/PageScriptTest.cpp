#include <gtest/gtest.h>

#include "sorrel/cef/Manager.h"
#include "sorrel/cef/PageScript.h"

using namespace Sorrel::cef;

namespace {

class Native : public JsNativeHandler {
 public:
  using JsNativeHandler::JsNativeHandler;
  bool Execute(Call&) override { return true; }
};

class CustomScript : public JsQueryHandler {
 public:
  CustomScript() : JsQueryHandler("JsExit", "app.exit", 0) {}
  std::string Script() const override { return "app.exit = function(force){};"; }
};

TEST(PageScript, DefaultWrapperText) {
  EXPECT_EQ(DefaultWrapperScript("app.com.open", "ComOpen", false),
            "app.com.open = function(arg, onSuccess, onFailure, onProgress){  var id = "
            "app.jsQuery('ComOpen', arg, onSuccess, onFailure, onProgress);  return undefined;};");
  EXPECT_EQ(DefaultWrapperScript("app.com.tcmdEWLEX", "ComTcmdEWLEX", true),
            "app.com.tcmdEWLEX = function(arg, onSuccess, onFailure, onProgress){  var id = "
            "app.jsQuery('ComTcmdEWLEX', arg, onSuccess, onFailure, onProgress);  return "
            "function(){cefQueryCancel(id);};};");
  JsQueryHandler h("ComClose", "app.com.close", 2);
  EXPECT_EQ(h.Script(), DefaultWrapperScript("app.com.close", "ComClose", true));
}

TEST(PageScript, GlueTextBoundaries) {
  const std::string glue = kJsQueryGlueScript;
  EXPECT_EQ(glue.size(), 1386u);
  EXPECT_EQ(glue.rfind("app.jsQuery = function(name, arg, onSuccess, onFailure, onProgress){  if(typeof(name) != 'string')", 0), 0u);
  EXPECT_NE(glue.find("arg.onProgressID = 'progress-' + (new Date()).getTime();"), std::string::npos);
  EXPECT_NE(glue.find("query.request = 'jsquery:' + name + ' ';  if(arg){query.request += JSON.stringify(arg);}"),
            std::string::npos);
  EXPECT_EQ(glue.substr(glue.size() - 35), "};  return window.cefQuery(query)};");
  EXPECT_STREQ(kInnerNamespaceScript, "if(!app.inner){ app.inner = {};}");
}

TEST(PageScript, AssemblyOrder) {
  Manager m;
  m.AppendPrelude("app.com=app.com||{};");
  m.AppendPrelude("app.com.VELA=app.com.VELA||{};");
  m.AddNative(std::make_shared<Native>("app.sendProcessMessage", "JsSendProcessMessage"));
  m.AddNative(std::make_shared<Native>("app.addEventListener", "JsAddEventListener"));
  m.AddQuery(std::make_shared<JsQueryHandler>("ComOpen", "app.com.open", 0));
  m.AddQuery(std::make_shared<CustomScript>());
  m.AddQuery(std::make_shared<JsQueryHandler>("ComClose", "app.com.close", 0));

  const std::string script = BuildPageScript(m);
  const std::string expectedHead =
      "var app = {};app.com=app.com||{};app.com.VELA=app.com.VELA||{};"
      "app.addEventListener = function(){ native function JsAddEventListener(); return JsAddEventListener(arguments);};"
      "app.sendProcessMessage = function(){ native function JsSendProcessMessage(); return "
      "JsSendProcessMessage(arguments);};"
      "if(!app.inner){ app.inner = {};}";
  ASSERT_EQ(script.rfind(expectedHead, 0), 0u);
  const std::string expectedTail = DefaultWrapperScript("app.com.close", "ComClose", false) +
                                   DefaultWrapperScript("app.com.open", "ComOpen", false) +
                                   "app.exit = function(force){};";
  EXPECT_EQ(script.substr(script.size() - expectedTail.size()), expectedTail);
  EXPECT_EQ(script.size(), expectedHead.size() + 1386 + expectedTail.size());
}

TEST(PageScript, LaterNativeUnderTheSameNameReplaces) {
  Manager m;
  m.AddNative(std::make_shared<Native>("app.a", "JsA"));
  m.AddNative(std::make_shared<Native>("app.b", "JsA"));
  ASSERT_EQ(m.NativeHandlers().size(), 1u);
  EXPECT_EQ(m.NativeHandlers()[0]->ScriptName(), "app.b");
}

}  // namespace
