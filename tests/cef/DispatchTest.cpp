#include <gtest/gtest.h>

#include <atomic>

#include "BridgeTestSupport.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "vantor/detail/SeriousError.h"

using namespace bridge_test;
using namespace Sorrel::cef;

namespace {

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    factory_ = std::make_shared<JsQueryFactory>();
    router_ = std::make_unique<BsmsgRouter>(tasks_);
    router_->AttachFactory(factory_);
  }

  std::shared_ptr<LambdaHandler> Add(const std::string& name, LambdaHandler::Body body) {
    auto h = std::make_shared<LambdaHandler>(name, std::move(body));
    factory_->Add(h);
    return h;
  }

  // Sends a request; returns whether the router handled it.
  bool Send(const std::string& request, const std::shared_ptr<RecordingCallback>& cb) {
    return router_->OnQuery(browser_, nextId_++, request, false, cb);
  }

  Answer SendAndWait(const std::string& request) {
    auto cb = std::make_shared<RecordingCallback>();
    EXPECT_TRUE(Send(request, cb));
    EXPECT_TRUE(cb->WaitFor(1));
    tasks_.CancelAndWait();
    auto answers = cb->Answers();
    EXPECT_EQ(answers.size(), 1u);
    return answers.empty() ? Answer{false, 12345, ""} : answers[0];
  }

  QueryTaskGroup tasks_{std::chrono::milliseconds(200)};
  std::shared_ptr<JsQueryFactory> factory_;
  std::unique_ptr<BsmsgRouter> router_;
  std::shared_ptr<FakeBrowser> browser_ = std::make_shared<FakeBrowser>();
  int64_t nextId_ = 1;
};

TEST_F(Dispatch, RequestsTheRouterDoesNotHandle) {
  Add("ComOpen", [](auto&, auto& reply, auto&) { reply->Success("null"); });
  auto cb = std::make_shared<RecordingCallback>();
  EXPECT_FALSE(Send("jsquery:NoSuch {}", cb));       // unknown name
  EXPECT_FALSE(Send("ComOpen {}", cb));              // no ':'
  EXPECT_FALSE(Send("jsquery:ComOpen {oops", cb));   // argument is not JSON
  EXPECT_FALSE(Send("jsquery:cancel word", cb));     // cancel id not an integer
  EXPECT_FALSE(Send("jsquery:cancel 1.5", cb));
  router_->AttachFactory(nullptr);
  EXPECT_FALSE(Send("jsquery:ComOpen {}", cb));      // no factory attached
  EXPECT_EQ(cb->Count(), 0u);
  EXPECT_EQ(router_->Pending().Size(), 0u);
}

TEST_F(Dispatch, ArgumentReachesHandlerAndMissingArgumentIsNull) {
  std::vector<std::string> seen;
  std::mutex m;
  Add("Echo", [&](const lm::json::Value& args, auto& reply, auto&) {
    {
      std::lock_guard lock(m);
      seen.push_back(lm::json::ToText(args));
    }
    reply->Success(lm::json::ToText(args));
  });
  EXPECT_EQ(SendAndWait("jsquery:Echo {\"port\":1}").text, "{\"port\":1}");
  EXPECT_EQ(SendAndWait("jsquery:Echo ").text, "null");
  EXPECT_EQ(SendAndWait("jsquery:Echo").text, "null");       // no space at all
  EXPECT_EQ(SendAndWait("jsquery:Echo    [1]").text, "[1]"); // run of spaces skipped
}

// An argument nested deeper than the reader goes is refused with a reason;
// one level less still arrives, and an unknown name stays unhandled.
TEST_F(Dispatch, ArgumentNestedTooDeepFailsSayingSo) {
  Add("Echo", [](const lm::json::Value& args, auto& reply, auto&) { reply->Success(lm::json::ToText(args)); });
  auto nested = [](size_t depth, const char* open, const char* close) {
    std::string text;
    for (size_t i = 0; i < depth; ++i) text += open;
    for (size_t i = 0; i < depth; ++i) text += close;
    return text;
  };
  const std::string deepest = nested(100, "[", "]");
  EXPECT_EQ(SendAndWait("jsquery:Echo " + deepest).text, deepest);
  const std::string refusal =
      R"({"code1":0,"msg":"Invalid arguments : the argument is nested deeper than 100 levels"})";
  // Objects count too: the reader's own limit left them out, so a deep
  // object ran the stack out.
  std::string deepObjects;
  for (int i = 0; i < 100000; ++i) deepObjects += "{\"a\":";
  deepObjects += "1" + std::string(100000, '}');
  for (const std::string& arg : {nested(101, "[", "]"), nested(5000, "[", "]"), "{\"a\":" + nested(100, "[", "]") + "}",
                                 "[\"[[[\"," + nested(101, "[", "]") + "]", deepObjects}) {
    Answer a = SendAndWait("jsquery:Echo " + arg);
    EXPECT_FALSE(a.success) << arg.substr(0, 20);
    EXPECT_EQ(a.text, refusal);
  }
  auto cb = std::make_shared<RecordingCallback>();
  EXPECT_FALSE(Send("jsquery:NoSuch " + nested(101, "[", "]"), cb));
  EXPECT_FALSE(Send("jsquery:Echo [\"[[[[\"", cb)) << "brackets inside a string do not count";
}

TEST_F(Dispatch, DefaultExecuteAnswersNull) {
  factory_->Add(std::make_shared<JsQueryHandler>("Plain", "app.plain", 0));
  Answer a = SendAndWait("jsquery:Plain {}");
  EXPECT_TRUE(a.success);
  EXPECT_EQ(a.text, "null");
}

TEST_F(Dispatch, ErrorsBecomeFailures) {
  Add("Arg", [](auto&, auto&, auto&) { Ensure(false, 0, MsgMustBeString("path")); });
  Add("Exec", [](auto&, auto&, auto&) { EnsureExecuted(false, 5, "disk full"); });
  Add("Serious", [](auto&, auto&, auto&) { throw VANTOR_SERIOUS_ERROR("broken"); });
  Add("SeriousBare", [](auto&, auto&, auto&) { throw VANTOR_SERIOUS_ERROR(); });
  Add("Std", [](auto&, auto&, auto&) { throw std::runtime_error("boom"); });
  Add("Int", [](auto&, auto&, auto&) { throw 42; });

  Answer arg = SendAndWait("jsquery:Arg {}");
  EXPECT_FALSE(arg.success);
  EXPECT_EQ(arg.code, 0);
  EXPECT_EQ(arg.text, R"({"code1":0,"msg":"Invalid arguments : 'path' must have type string."})");

  Answer exec = SendAndWait("jsquery:Exec {}");
  EXPECT_EQ(exec.code, 0);
  EXPECT_EQ(exec.text, R"({"code1":5,"msg":"method error : disk full"})");

  Answer serious = SendAndWait("jsquery:Serious {}");
  EXPECT_EQ(serious.code, -99);
  auto obj = lm::json::Parse(serious.text)->get<lm::json::Object>();
  EXPECT_EQ(obj["file"].get<std::string>(), "DispatchTest.cpp");
  EXPECT_GT(obj["line"].get<double>(), 0);
  EXPECT_EQ(obj["msg"].get<std::string>(), "broken");
  EXPECT_EQ(lm::json::Parse(SendAndWait("jsquery:SeriousBare {}").text)->get<lm::json::Object>().count("msg"), 0u);

  EXPECT_EQ(SendAndWait("jsquery:Std {}").text, R"({"code1":-99,"msg":"boom"})");
  EXPECT_EQ(SendAndWait("jsquery:Int {}").code, -99);
}

TEST_F(Dispatch, EachQueryIsAnsweredExactlyOnce) {
  Add("Twice", [](auto&, auto& reply, auto&) {
    reply->Success("1");
    reply->Success("2");
    reply->Failure(3, "{}");
    throw std::runtime_error("after the answer");
  });
  Answer a = SendAndWait("jsquery:Twice {}");
  EXPECT_EQ(a.text, "1");
}

// Engines carry answers as UTF-8 and lose anything else on the way: every
// such answer must still reach the page, as a failure it can read.
TEST_F(Dispatch, AnswersThatAreNotUtf8BecomeReadableFailures) {
  const std::string cp932Name = "[\"/media/\x82\xa0.csv\"]";  // a chosen name in CP932 bytes
  Add("BadSuccess", [&](auto&, auto& reply, auto&) { reply->Success(cp932Name); });
  Add("BadFailure", [](auto&, auto& reply, auto&) { reply->Failure(-6, "{\"code1\":-6,\"msg\":\"\xff\"}"); });
  Add("BadExec", [](auto&, auto&, auto&) { EnsureExecuted(false, -4, "name \x82\xa0"); });
  Add("BadStd", [](auto&, auto&, auto&) { throw std::runtime_error("\xc0\xaf"); });
  Add("Good", [](auto&, auto& reply, auto&) { reply->Success("[\"/media/\xe3\x81\x82.csv\"]"); });
  const struct {
    const char* request;
    bool success;
    int32_t code;
    const char* text;
  } cases[] = {
      {"jsquery:BadSuccess {}", false, -98,
       R"({"code1":-98,"msg":"the answer cannot be sent: its text is not valid UTF-8"})"},
      {"jsquery:BadFailure {}", false, -6, "{\"code1\":-6,\"msg\":\"\xef\xbf\xbd\"}"},
      {"jsquery:BadExec {}", false, 0, "{\"code1\":-4,\"msg\":\"method error : name \xef\xbf\xbd\xef\xbf\xbd\"}"},
      {"jsquery:BadStd {}", false, -99, "{\"code1\":-99,\"msg\":\"\xef\xbf\xbd\xef\xbf\xbd\"}"},
      {"jsquery:Good {}", true, 0, "[\"/media/\xe3\x81\x82.csv\"]"},
  };
  for (const auto& c : cases) {
    auto cb = std::make_shared<RecordingCallback>();
    ASSERT_TRUE(Send(c.request, cb));
    ASSERT_TRUE(cb->WaitFor(1)) << c.request;
    tasks_.CancelAndWait();
    auto answers = cb->Answers();
    ASSERT_EQ(answers.size(), 1u) << c.request;
    EXPECT_EQ(answers[0].success, c.success) << c.request;
    EXPECT_EQ(answers[0].code, c.code) << c.request;
    EXPECT_EQ(answers[0].text, c.text) << c.request;
  }
}

TEST_F(Dispatch, AHandlerThatNeverAnswersStillFails) {
  Add("Silent", [](auto&, auto&, auto&) {});
  Answer a = SendAndWait("jsquery:Silent {}");
  EXPECT_FALSE(a.success);
  EXPECT_EQ(a.code, -99);
}

TEST_F(Dispatch, AnswerIsDroppedAfterNavigation) {
  Gate gate;
  Add("Slow", [&](auto&, auto& reply, auto&) {
    gate.Wait();
    reply->Success("true");
  });
  auto cb = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:Slow {}", cb));
  browser_->Navigate("app://res/linkmeter/other.html");
  gate.Open();
  tasks_.CancelAndWait();
  EXPECT_EQ(cb->Count(), 0u);
  EXPECT_EQ(router_->Pending().AliveCount(), 0u);
}

TEST_F(Dispatch, ExplicitCancelNotifiesAndStillLetsTheHandlerAnswer) {
  Gate gate;
  auto h = Add("Survey", [&](auto&, auto& reply, LambdaHandler& self) {
    gate.Wait();
    reply->Success(self.GetState() == JsQueryHandler::kCancelRequested ? "\"cancelled\"" : "\"done\"");
  });
  auto cb = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:Survey {}", cb));  // query id 1
  auto cancelCb = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:cancel \"1\"", cancelCb));
  ASSERT_TRUE(cancelCb->WaitFor(1));
  EXPECT_EQ(cancelCb->Answers()[0].text, "null");
  ASSERT_TRUE(h->WaitCancelled());
  EXPECT_EQ(h->cancels, std::vector<bool>{false});
  gate.Open();
  ASSERT_TRUE(cb->WaitFor(1));
  EXPECT_EQ(cb->Answers()[0].text, "\"cancelled\"");
}

TEST_F(Dispatch, CancelOfUnknownIdAnswersNull) {
  Answer a = SendAndWait("jsquery:cancel 5");
  EXPECT_TRUE(a.success);
  EXPECT_EQ(a.text, "null");
}

TEST_F(Dispatch, RouterCancelNotifiesAndSilencesTheAnswer) {
  Gate gate;
  auto h = Add("Survey", [&](auto&, auto& reply, auto&) {
    gate.Wait();
    reply->Success("1");
  });
  auto cb = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:Survey {}", cb));
  router_->OnQueryCanceled(browser_, 1);
  EXPECT_EQ(h->cancels, std::vector<bool>{true});
  EXPECT_EQ(h->GetState(), JsQueryHandler::kCancelRequested);
  router_->OnQueryCanceled(browser_, 1);  // a second cancel finds nothing alive
  EXPECT_EQ(h->cancels.size(), 1u);
  gate.Open();
  tasks_.CancelAndWait();
  EXPECT_EQ(cb->Count(), 0u);
  EXPECT_EQ(h->GetState(), JsQueryHandler::kFinished);
}

// A page that starts again (a reload after a crash) counts its ids from 1
// again: every arrival is answered exactly once, also while an older query
// under the same id is still running, and a cancel reaches the newest.
TEST_F(Dispatch, ReusedQueryIdsAreEachAnsweredOnce) {
  Gate gate;
  Add("Echo", [](const lm::json::Value& args, auto& reply, auto&) { reply->Success(lm::json::ToText(args)); });
  Add("Slow", [&](auto&, auto& reply, auto&) {
    gate.Wait();
    reply->Success(reply->Cancellation()->IsCancelled() ? "\"cancelled\"" : "\"done\"");
  });
  auto first = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(router_->OnQuery(browser_, 1, "jsquery:Echo 1", false, first));
  ASSERT_TRUE(first->WaitFor(1));
  auto again = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(router_->OnQuery(browser_, 1, "jsquery:Echo 2", false, again));
  ASSERT_TRUE(again->WaitFor(1)) << "the answer to a reused id was lost";
  EXPECT_EQ(again->Answers()[0].text, "2");

  auto old = std::make_shared<RecordingCallback>();
  auto fresh = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(router_->OnQuery(browser_, 7, "jsquery:Slow {}", false, old));
  ASSERT_TRUE(router_->OnQuery(browser_, 7, "jsquery:Slow {}", false, fresh));
  router_->OnQuery(browser_, 8, "jsquery:cancel 7", false, std::make_shared<RecordingCallback>());
  gate.Open();
  ASSERT_TRUE(old->WaitFor(1));
  ASSERT_TRUE(fresh->WaitFor(1));
  tasks_.CancelAndWait();
  EXPECT_EQ(old->Answers()[0].text, "\"done\"");
  EXPECT_EQ(fresh->Answers()[0].text, "\"cancelled\"");
  EXPECT_EQ(first->Count() + again->Count() + old->Count() + fresh->Count(), 4u);
}

// One shared handler serving two calls at once: a cancel marks the call it
// names, not whichever started last.
TEST_F(Dispatch, CancelReachesOnlyTheCallItNames) {
  Gate gate;
  Add("Slow", [&](auto&, auto& reply, auto&) {
    gate.Wait();
    reply->Success(reply->Cancellation()->IsCancelled() ? "\"cancelled\"" : "\"done\"");
  });
  auto a = std::make_shared<RecordingCallback>();
  auto b = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:Slow {}", a));  // id 1
  ASSERT_TRUE(Send("jsquery:Slow {}", b));  // id 2
  ASSERT_TRUE(Send("jsquery:cancel 1", std::make_shared<RecordingCallback>()));
  gate.Open();
  ASSERT_TRUE(a->WaitFor(1));
  ASSERT_TRUE(b->WaitFor(1));
  tasks_.CancelAndWait();
  EXPECT_EQ(a->Answers()[0].text, "\"cancelled\"");
  EXPECT_EQ(b->Answers()[0].text, "\"done\"");
}

TEST_F(Dispatch, PendingTableDrainsToZero) {
  Add("Ok", [](auto&, auto& reply, auto&) { reply->Success("1"); });
  auto cb = std::make_shared<RecordingCallback>();
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(Send("jsquery:Ok {}", cb));
  ASSERT_TRUE(cb->WaitFor(20));
  tasks_.CancelAndWait();
  EXPECT_EQ(router_->Pending().AliveCount(), 0u);
  ASSERT_TRUE(Send("jsquery:Ok {}", cb));  // the next arrival purges answered entries
  ASSERT_TRUE(cb->WaitFor(21));
  tasks_.CancelAndWait();
  EXPECT_LE(router_->Pending().Size(), 1u);
  EXPECT_EQ(router_->Pending().AliveCount(), 0u);
}

class CountingClone : public JsQueryHandler {
 public:
  explicit CountingClone(std::atomic<int>& clones) : JsQueryHandler("Tcmd", "app.com.tcmd", 1), clones_(clones) {}
  std::shared_ptr<JsQueryHandler> Clone() const override {
    ++clones_;
    return std::make_shared<CountingClone>(clones_);
  }
  void Execute(const BrowserPtr&, const lm::json::Value&, const std::shared_ptr<BsmsgRouterCallback>& reply) override {
    reply->Success(lm::json::ToText(lm::json::Number(static_cast<double>(reinterpret_cast<uintptr_t>(this) % 1000003))));
  }

 private:
  std::atomic<int>& clones_;
};

TEST_F(Dispatch, CloneGivesEachCallItsOwnHandler) {
  std::atomic<int> clones{0};
  auto registered = std::make_shared<CountingClone>(clones);
  factory_->Add(registered);
  SendAndWait("jsquery:Tcmd {}");
  SendAndWait("jsquery:Tcmd {}");
  EXPECT_EQ(clones.load(), 2);
  EXPECT_EQ(registered->GetState(), JsQueryHandler::kCreated);  // the registered object never ran
}

TEST_F(Dispatch, ShutdownCancelsRunningQueriesAndWaits) {
  std::atomic<bool> finished{false};
  auto h = Add("Long", [&](auto&, auto& reply, LambdaHandler& self) {
    self.WaitCancelled();
    finished = true;
    reply->Success("1");
  });
  auto cb = std::make_shared<RecordingCallback>();
  ASSERT_TRUE(Send("jsquery:Long {}", cb));
  router_->Shutdown();
  EXPECT_TRUE(finished.load());
  EXPECT_EQ(h->cancels, std::vector<bool>{true});
  EXPECT_EQ(cb->Count(), 0u);  // the router gave it up; the answer goes nowhere
  router_.reset();             // a second shutdown from the destructor is harmless
}

TEST(Factory, FirstRegistrationWinsAndIterationIsByteOrder) {
  Manager manager;
  auto first = std::make_shared<JsQueryHandler>("ComOpen", "app.com.open", 0);
  EXPECT_TRUE(manager.AddQuery(first));
  EXPECT_FALSE(manager.AddQuery(std::make_shared<JsQueryHandler>("ComOpen", "app.com.other", 1)));
  manager.AddQuery(std::make_shared<JsQueryHandler>("JsExit", "app.exit", 0));
  manager.AddQuery(std::make_shared<JsQueryHandler>("ComTcmdEBSTS", "app.com.tcmdEBSTS", 1));
  EXPECT_EQ(manager.Factory().Find("ComOpen"), first);
  std::vector<std::string> order;
  for (const auto& [name, h] : manager.Factory()) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"ComOpen", "ComTcmdEBSTS", "JsExit"}));
}

TEST(Manager, RegisteringABrowserAttachesTheFactory) {
  Manager manager;
  manager.AddQuery(std::make_shared<JsQueryHandler>("Plain", "app.plain", 0));
  QueryTaskGroup tasks;
  BsmsgRouter router(tasks);
  auto browser = std::make_shared<FakeBrowser>();
  auto cb = std::make_shared<RecordingCallback>();
  EXPECT_FALSE(router.OnQuery(browser, 1, "jsquery:Plain ", false, cb));
  manager.RegisterBrowser(browser, router);
  EXPECT_EQ(manager.BrowserCount(), 1u);
  EXPECT_TRUE(router.OnQuery(browser, 2, "jsquery:Plain ", false, cb));
  EXPECT_TRUE(cb->WaitFor(1));
  manager.RemoveBrowser(browser->Identifier());
  EXPECT_EQ(manager.BrowserCount(), 0u);
}

}  // namespace
