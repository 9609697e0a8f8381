// The close protocol against stand-in browsers that record the scripts they
// are sent; answers are given the way a page's callback would.
#include <gtest/gtest.h>

#include <deque>
#include <regex>

#include "sorrel/cef/BsmsgHandlers.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/ExitProtocol.h"
#include "vantor/detail/SeriousError.h"

using namespace Sorrel::cef;

namespace {

class PageStub : public Browser, public ProcessMessageSink {
 public:
  PageStub(int32_t id, std::string url) : id_(id), url_(std::move(url)) {}
  int32_t Identifier() const override { return id_; }
  std::string MainFrameUrl() const override { return url_; }
  bool SendProcessMessage(const ProcessMessage& m) override {
    if (!reachable) return false;
    scripts.push_back(m.args.at(0).GetString());
    return true;
  }
  bool reachable = true;  // false: its page process has ended
  // The callback id in the last script sent.
  int32_t LastCallbackId() const {
    std::smatch m;
    EXPECT_TRUE(std::regex_search(scripts.back(), m, std::regex("\\{id:(\\d+), args")));
    return std::stoi(m[1]);
  }
  std::vector<std::string> scripts;

 private:
  int32_t id_;
  std::string url_;
};

struct Host : ExitProtocol::Host {
  void PostToWindowThread(std::function<void()> task) override { tasks.push_back(std::move(task)); }
  bool AskForceExit(const std::string& text) override {
    questions.push_back(text);
    return answerYes;
  }
  void DestroyNow() override { ++destroyed; }
  void RunPosted() {
    while (!tasks.empty()) {
      auto t = std::move(tasks.front());
      tasks.pop_front();
      t();
    }
  }
  std::deque<std::function<void()>> tasks;
  std::vector<std::string> questions;
  bool answerYes = false;
  int destroyed = 0;
};

class ExitProtocolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    a = std::make_shared<PageStub>(3, "app://res/linkmeter/index.html");
    b = std::make_shared<PageStub>(7, "app://res/linkmeter/popup%20one.html");
    Add(a);
    Add(b);
  }
  void Add(const std::shared_ptr<PageStub>& page) {
    QueryTaskGroup tasks;
    BsmsgRouter router(tasks);
    manager.RegisterBrowser(page, router);
  }
  void Answer(PageStub& page, MsgList args) { table.Invoke(page.LastCallbackId(), args); }
  void Close() {
    protocol.OnClose([this] { ++closed; });
  }

  Manager manager;
  CallbackTable table;
  Host host;
  ExitProtocol protocol{manager, host, table};
  std::shared_ptr<PageStub> a, b;
  int closed = 0;
};

}  // namespace

TEST_F(ExitProtocolTest, BothPassesAskEveryPageThenTheFrameCloses) {
  Close();
  ASSERT_EQ(a->scripts.size(), 1u);
  EXPECT_NE(a->scripts[0].find("app.onConfirmExit(callback)"), std::string::npos);
  EXPECT_NE(b->scripts[0].find("app.sendProcessMessage('cefmsg.execcallback.r2b', {id:"), std::string::npos);
  Answer(*a, {MsgValue::Bool(true)});
  Answer(*b, {MsgValue::Bool(true)});
  host.RunPosted();
  ASSERT_EQ(a->scripts.size(), 2u);
  EXPECT_NE(a->scripts[1].find("app.onExit(callback)"), std::string::npos);
  Answer(*a, {MsgValue::Bool(false)});  // the exit pass cannot refuse
  Answer(*b, {MsgValue::Bool(true)});
  host.RunPosted();
  EXPECT_EQ(closed, 1);
  EXPECT_FALSE(manager.WithExitState([](auto& s) { return s.exiting; }));
  EXPECT_EQ(table.Size(), 0u);
}

TEST_F(ExitProtocolTest, APageWhoseProcessEndedIsNotWaitedFor) {
  // Gone before the close, or while the confirm pass waits for it.
  for (bool goneFirst : {true, false}) {
    closed = 0;
    b->reachable = !goneFirst;
    Close();
    ASSERT_EQ(a->scripts.size(), goneFirst ? 1u : 3u);
    Answer(*a, {MsgValue::Bool(true)});
    if (!goneFirst) {
      b->reachable = false;
      protocol.OnBrowserRemoved(b->Identifier());
    }
    host.RunPosted();
    Answer(*a, {MsgValue::Bool(true)});
    host.RunPosted();
    EXPECT_EQ(closed, 1) << goneFirst;
    EXPECT_TRUE(host.questions.empty());
    EXPECT_EQ(table.Size(), 0u);
  }
}

TEST_F(ExitProtocolTest, OneRefusalCancelsAndTheNextCloseAsksAgain) {
  Close();
  Answer(*a, {MsgValue::Bool(true)});
  Answer(*b, {MsgValue::Bool(false)});
  host.RunPosted();
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(a->scripts.size(), 1u);  // no exit pass
  EXPECT_FALSE(manager.WithExitState([](auto& s) { return s.exiting; }));

  Close();
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(a->scripts.size(), 2u);
  EXPECT_NE(a->scripts[1].find("onConfirmExit"), std::string::npos);
}

TEST_F(ExitProtocolTest, ACloseDuringTheExitListsThePagesThatOweAnAnswer) {
  Close();
  Answer(*a, {MsgValue::Bool(true)});
  Close();  // b has not answered
  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0],
            "下記のブラウザがapp.onConfirmExitのコールバックを実行していません。\n強制的に終了しますか？"
            "\nid:7 url:app://res/linkmeter/popup one.html");
  EXPECT_EQ(host.destroyed, 0);  // No keeps waiting

  Answer(*b, {MsgValue::Bool(true)});
  host.RunPosted();
  Answer(*b, {MsgValue::Bool(true)});
  host.answerYes = true;
  Close();
  EXPECT_EQ(host.questions.back(),
            "下記のブラウザがapp.onExitのコールバックを実行していません。\n強制的に終了しますか？"
            "\nid:3 url:app://res/linkmeter/index.html");
  EXPECT_EQ(host.destroyed, 1);
  EXPECT_EQ(closed, 0);
}

TEST(ExitProtocolFaults, MalformedAnswersAreInternalFaultsAndNotRecorded) {
  for (const MsgList& args : {MsgList{}, MsgList{MsgValue::Int(1)}, MsgList{MsgValue::String("true")},
                              MsgList{MsgValue::Bool(true), MsgValue::Bool(true)}}) {
    Manager manager;
    CallbackTable table;
    Host host;
    ExitProtocol protocol(manager, host, table);
    auto page = std::make_shared<PageStub>(5, "app://res/a/index.html");
    QueryTaskGroup tasks;
    BsmsgRouter router(tasks);
    manager.RegisterBrowser(page, router);
    protocol.OnClose([] {});
    const int32_t id = page->LastCallbackId();
    try {
      table.Invoke(id, args);
      ADD_FAILURE() << "no fault for " << args.size() << " arguments";
    } catch (const vantor::detail::SeriousError& e) {
      EXPECT_EQ(e.FileName(), "cefExistingBrowser.cpp");
    }
    EXPECT_FALSE(manager.WithExitState([](auto& s) { return s.confirm.at(5).has_value(); }));
    EXPECT_TRUE(host.tasks.empty());
  }
}

TEST_F(ExitProtocolTest, ARefusalWaitsForThePagesStillAnswering) {
  Close();
  Answer(*a, {MsgValue::Bool(false)});
  host.RunPosted();
  EXPECT_TRUE(manager.WithExitState([](auto& s) { return s.exiting; }));
  Answer(*b, {MsgValue::Bool(true)});
  host.RunPosted();
  EXPECT_FALSE(manager.WithExitState([](auto& s) { return s.exiting; }));
  EXPECT_EQ(b->scripts.size(), 1u);
  EXPECT_EQ(closed, 0);
  EXPECT_EQ(table.Size(), 0u);
}

TEST_F(ExitProtocolTest, APageThatClosesNoLongerHoldsTheExitUp) {
  Close();
  Answer(*a, {MsgValue::Bool(true)});
  manager.RemoveBrowser(7);
  protocol.OnBrowserRemoved(7);
  host.RunPosted();
  ASSERT_EQ(a->scripts.size(), 2u);
  Answer(*a, {MsgValue::Bool(true)});
  host.RunPosted();
  EXPECT_EQ(closed, 1);
}

TEST(ExitProtocolEmpty, WithNoBrowserTheFrameClosesAtOnce) {
  Manager manager;
  CallbackTable table;
  Host host;
  ExitProtocol protocol(manager, host, table);
  int closed = 0;
  protocol.OnClose([&] { ++closed; });
  EXPECT_EQ(closed, 1);
}

TEST(ExitProtocolScript, ConfirmScriptIsTheExactText) {
  EXPECT_EQ(ExitProtocol::PassScript("onConfirmExit", 12),
            "(function(){  var callback = function(is_exit){    if(typeof(is_exit) != 'boolean'){      is_exit = true;"
            "    }    app.sendProcessMessage('cefmsg.execcallback.r2b', {id:12, args:[is_exit]});  };  "
            "if(typeof(app.onConfirmExit) == 'function'){    app.onConfirmExit(callback);  } else {    "
            "callback(true);  }})();");
}
