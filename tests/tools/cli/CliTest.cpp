#include <gtest/gtest.h>

#include <sstream>

#include "linkmeter/cli/CliMain.h"
#include "linkmeter/cli/CliOptions.h"
#include "linkmeter/sim/CommandTable.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"

using namespace linkmeter::cli;
using namespace Sorrel::cef;

namespace {

class EchoHandler : public JsQueryHandler {
 public:
  EchoHandler() : JsQueryHandler("TestEcho", "app.test.echo", 0) {}
  void Execute(const BrowserPtr&, const lm::json::Value& args,
               const std::shared_ptr<BsmsgRouterCallback>& reply) override {
    if (args.is<picojson::null>()) throw JsArgumentException(-1, MsgNotFound("arg"));
    reply->Success(lm::json::ToText(args));
  }
};

class PlainFailure : public JsQueryHandler {
 public:
  PlainFailure() : JsQueryHandler("TestPlain", "app.test.plain", 0) {}
  void Execute(const BrowserPtr&, const lm::json::Value&, const std::shared_ptr<BsmsgRouterCallback>& reply) override {
    reply->Failure(3, "not an object");
  }
};

struct CliRun {
  int status;
  std::string out, err;
};

CliRun Cli(std::vector<std::string> args, const std::string& input = "") {
  static Manager manager;
  static const auto demoCommands = linkmeter::sim::CommandTable::WithEveryCommand();
  static bool registered = [] {
    manager.AddQuery(std::make_shared<EchoHandler>());
    manager.AddQuery(std::make_shared<PlainFailure>());
    return true;
  }();
  (void)registered;
  std::istringstream in(input);
  std::ostringstream out, err;
  int status = CliMain({manager, demoCommands}, args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(Cli, AnswersOneLineEachWithExitStatus) {
  CliRun ok = Cli({"jsquery:TestEcho {\"a\":[1,2]}", "jsquery:cancel 5"});
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.out, "success {\"a\":[1,2]}\nsuccess null\n");

  CliRun failed = Cli({"jsquery:TestEcho ", "jsquery:TestEcho 1"});
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(failed.out,
            "failure -1 {\"api\":\"TestEcho\",\"code1\":-1,\"msg\":\"Invalid arguments : 'arg' is not found.\"}\n"
            "success 1\n");

  CliRun unhandled = Cli({"jsquery:NoSuchQuery {}", "jsquery:cancel word", "plain"});
  EXPECT_EQ(unhandled.status, 1);
  EXPECT_EQ(unhandled.out, "unhandled\nunhandled\nunhandled\n");

  // A failure text that is not an object is printed as it is.
  EXPECT_EQ(Cli({"jsquery:TestPlain {}"}).out, "failure 3 not an object\n");
}

TEST(Cli, RequestsFromStandardInput) {
  CliRun r = Cli({"-"}, "jsquery:TestEcho 1\r\n\njsquery:TestEcho \"x\"\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "success 1\nsuccess \"x\"\n");
}

TEST(Cli, ListPrintsQueryNamesInFactoryOrder) {
  CliRun r = Cli({"--list"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("TestEcho\nTestPlain\n"), std::string::npos);
}

TEST(Cli, UsageErrors) {
  EXPECT_EQ(Cli({}).status, 2);
  EXPECT_EQ(Cli({"--bogus"}).status, 2);
  CliRun both = Cli({"-", "jsquery:TestEcho 1"});
  EXPECT_EQ(both.status, 2);
  EXPECT_NE(both.err.find("usage:"), std::string::npos);
  EXPECT_EQ(Cli({"--help"}).status, 0);
  // "--" ends the options, so a request may start with '-'.
  std::string error;
  auto opts = ParseCliOptions({"--", "-x"}, error);
  ASSERT_TRUE(opts);
  EXPECT_EQ(opts->requests, std::vector<std::string>{"-x"});
}

}  // namespace
