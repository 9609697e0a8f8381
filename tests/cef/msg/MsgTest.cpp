#include <gtest/gtest.h>

#include <cmath>

#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/CallbackTable.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/JsEventListenerTable.h"
#include "sorrel/cef/JsFunctionHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/MsgValue.h"

using namespace Sorrel::cef;

namespace {

class FakeBrowser : public Browser, public ProcessMessageSink {
 public:
  explicit FakeBrowser(int32_t id) : id_(id) {}
  int32_t Identifier() const override { return id_; }
  std::string MainFrameUrl() const override { return "app://res/t/index.html"; }
  bool SendProcessMessage(const ProcessMessage& m) override {
    sent.push_back(m);
    return true;
  }
  std::vector<ProcessMessage> sent;

 private:
  int32_t id_;
};

class PlainBrowser : public Browser {
 public:
  int32_t Identifier() const override { return 99; }
  std::string MainFrameUrl() const override { return {}; }
};

ProcessMessage ExecCallback(MsgValue arg) { return {kMsgExecCallback, {std::move(arg)}}; }

class Native : public JsNativeHandler {
 public:
  Native(std::string native, std::function<void(Call&)> body)
      : JsNativeHandler("app.test." + native, native), body_(std::move(body)) {}
  bool Execute(Call& call) override {
    body_(call);
    return true;
  }

 private:
  std::function<void(Call&)> body_;
};

}  // namespace

TEST(CallbackTable, HandsOutFreeIdsAndCallsEachOnce) {
  CallbackTable table;
  std::vector<std::string> calls;
  auto record = [&](const char* tag) {
    return [&calls, tag](const MsgList& args) { calls.push_back(tag + std::to_string(args.size())); };
  };
  EXPECT_EQ(table.Add(record("a")), 0);
  EXPECT_EQ(table.Add(record("b")), 1);
  EXPECT_TRUE(table.Invoke(0, {MsgValue::Bool(true)}));
  EXPECT_FALSE(table.Invoke(0, {}));  // already removed
  EXPECT_EQ(table.Add(record("c")), 2);  // counts on rather than reusing 0 at once
  EXPECT_EQ(calls, std::vector<std::string>{"a1"});
  EXPECT_EQ(table.Size(), 2u);
}

TEST(BsmsgExecCallback, CallsTheEntryOnceAndDropsMalformedMessages) {
  CallbackTable table;
  Manager manager;
  BsmsgMsgRouter router;
  AddBrowserMessageHandlers(router, manager, table);
  std::vector<MsgList> received;
  for (int i = 0; i < 4; ++i) table.Add([&](const MsgList& args) { received.push_back(args); });

  BrowserPtr browser = std::make_shared<FakeBrowser>(1);
  auto good = MsgValue::MakeDictionary({{"id", MsgValue::Int(3)}, {"args", MsgValue::MakeList({MsgValue::Bool(true)})}});
  EXPECT_TRUE(router.Route(browser, ExecCallback(good)));
  EXPECT_TRUE(router.Route(browser, ExecCallback(good)));
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], MsgList{MsgValue::Bool(true)});

  // Each malformed shape is taken by the router and dropped without a call.
  const ProcessMessage bad[] = {
      {kMsgExecCallback, {}},
      ExecCallback(MsgValue::Int(2)),
      ExecCallback(MsgValue::MakeDictionary({{"id", MsgValue::Double(2.5)}, {"args", MsgValue::MakeList()}})),
      ExecCallback(MsgValue::MakeDictionary({{"id", MsgValue::Int(2)}, {"args", MsgValue::String("x")}})),
      ExecCallback(MsgValue::MakeDictionary({{"args", MsgValue::MakeList()}})),
  };
  for (const auto& m : bad) EXPECT_TRUE(router.Route(browser, m));
  EXPECT_EQ(received.size(), 1u);
  EXPECT_EQ(table.Size(), 3u);
  EXPECT_FALSE(router.Route(browser, {"cefmsg.unknown.r2b", {}}));
}

TEST(BsmsgEventListener, ForwardsToEveryOpenBrowser) {
  Manager manager;
  CallbackTable table;
  BsmsgMsgRouter router;
  AddBrowserMessageHandlers(router, manager, table);
  auto a = std::make_shared<FakeBrowser>(1);
  auto b = std::make_shared<FakeBrowser>(2);
  {
    QueryTaskGroup tasks;
    BsmsgRouter qa(tasks), qb(tasks), qc(tasks);
    manager.RegisterBrowser(a, qa);
    manager.RegisterBrowser(b, qb);
    manager.RegisterBrowser(std::make_shared<PlainBrowser>(), qc);  // cannot receive: skipped
  }
  MsgList args{MsgValue::String("progress-1"), MsgValue::MakeDictionary({{"a", MsgValue::Int(1)}}), MsgValue(),
               MsgValue::Int(2)};
  BrowserPtr sender = a;
  router.Route(sender, {kMsgEventListenerToBrowser, args});
  for (auto* browser : {a.get(), b.get()}) {
    ASSERT_EQ(browser->sent.size(), 1u);
    EXPECT_EQ(browser->sent[0].name, kMsgEventListenerToPage);
    EXPECT_EQ(browser->sent[0].args, args);
  }
  EvalInEveryPage(manager, "1+1");
  EXPECT_EQ(b->sent.back().name, kMsgEval);
  EXPECT_EQ(b->sent.back().args, MsgList{MsgValue::String("1+1")});
}

TEST(MsgValue, JsonConversionKeepsKinds) {
  auto v = FromJson(*lm::json::Parse(R"({"b":true,"d":1.5,"i":-7,"big":3000000000,"l":[null,"s"],"o":{}})"));
  ASSERT_EQ(v.GetType(), MsgValue::Type::Dictionary);
  EXPECT_EQ(v.Find("i")->GetType(), MsgValue::Type::Int);
  EXPECT_EQ(v.Find("big")->GetType(), MsgValue::Type::Double);
  EXPECT_EQ(v.Find("d")->GetType(), MsgValue::Type::Double);
  EXPECT_TRUE(v.Find("l")->GetList()[0].IsNull());
  EXPECT_EQ(lm::json::ToText(ToJson(v)), R"({"b":true,"big":3000000000,"d":1.5,"i":-7,"l":[null,"s"],"o":{}})");
  EXPECT_TRUE(ToJson(MsgValue::Double(NAN)).is<picojson::null>());
}

TEST(MsgValue, RepeatedMemberNamesReplaceInPlace) {
  auto d = MsgValue::MakeDictionary({{"a", MsgValue::Int(1)}, {"b", MsgValue::Int(2)}, {"a", MsgValue::Int(3)}});
  ASSERT_EQ(d.GetDictionary().size(), 2u);
  EXPECT_EQ(d.GetDictionary()[0], (std::pair<std::string, MsgValue>{"a", MsgValue::Int(3)}));
  EXPECT_EQ(d.GetDictionary()[1].first, "b");
  MsgValue same = MsgValue::MakeDictionary();
  same.Set("a", MsgValue::Int(1));
  same.Set("b", MsgValue::Int(2));
  same.Set("a", MsgValue::Int(3));
  EXPECT_EQ(d, same);
}

TEST(JsEventListenerTable, ReplacesPerBrowserAndDropsByContext) {
  JsEventListenerTable<int, std::string> table;
  EXPECT_FALSE(table.Add("ev", 1, 10, "first"));
  auto old = table.Add("ev", 1, 11, "second");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->listener, "first");
  EXPECT_EQ(old->context, 10);
  table.Add("ev", 2, 20, "other window");
  EXPECT_EQ(table.Find("ev", 1)->listener, "second");
  EXPECT_EQ(table.RemoveContext(11), 1u);
  EXPECT_EQ(table.Find("ev", 1), nullptr);
  EXPECT_EQ(table.Find("ev", 2)->listener, "other window");
  EXPECT_FALSE(table.Remove("nosuch", 2));
}

TEST(JsFunctionHandler, ErrorsBecomeJsonWithApi) {
  JsFunctionHandler functions;
  functions.Add(std::make_shared<Native>("Arg", [](auto&) { throw JsArgumentException(-2, ""); }));
  functions.Add(std::make_shared<Native>("Raw", [](auto&) { throw Exception(5, "plain text"); }));
  functions.Add(std::make_shared<Native>("Std", [](auto&) { throw std::runtime_error("boom"); }));
  functions.Add(std::make_shared<Native>("Ok", [](auto& c) { c.returnValue = lm::json::Value(42.0); }));

  JsNativeHandler::Call call{"Arg", {}, {}, {}, nullptr};
  ASSERT_TRUE(functions.Execute(call));
  EXPECT_EQ(call.exception, R"({"api":"app.test.Arg","code1":-2,"msg":"Invalid arguments"})");
  call = {"Raw", {}, {}, {}, nullptr};
  functions.Execute(call);
  EXPECT_EQ(call.exception, "plain text");
  call = {"Std", {}, {}, {}, nullptr};
  functions.Execute(call);
  EXPECT_EQ(call.exception, R"({"api":"app.test.Std","code1":-99,"msg":"boom"})");
  call = {"Ok", {}, {}, {}, nullptr};
  functions.Execute(call);
  EXPECT_TRUE(call.exception.empty());
  EXPECT_EQ(call.returnValue.get<double>(), 42.0);
  call = {"Missing", {}, {}, {}, nullptr};
  EXPECT_FALSE(functions.Execute(call));
}
