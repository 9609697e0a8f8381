#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "../cef/BridgeTestSupport.h"
#include "NativeTestSupport.h"
#include "linkmeter/Registration.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/cef/PagePrinter.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/js/ReportFunctions.h"

namespace fs = std::filesystem;
using Sorrel::Js::CheckPdfTarget;

namespace {

// A scratch folder with a file, a sub-folder and a read-only sub-folder.
class Scratch {
 public:
  Scratch() : root_(fs::temp_directory_path() / ("lm-report-" + std::to_string(::getpid()))) {
    fs::create_directories(root_ / "sub.pdf");
    fs::create_directories(root_ / "locked");
    std::ofstream(root_ / "old.pdf") << "x";
    ::chmod((root_ / "locked").c_str(), 0500);
  }
  ~Scratch() {
    ::chmod((root_ / "locked").c_str(), 0700);
    fs::remove_all(root_);
  }
  std::string At(const std::string& name) const { return (root_ / name).string(); }

 private:
  fs::path root_;
};

TEST(PdfTarget, AcceptsOnlyAbsolutePdfPathsInWritableFolders) {
  Scratch s;
  const bool root = ::geteuid() == 0;  // root writes anywhere
  struct Case {
    std::string path;
    int32_t code;
  } cases[] = {
      {s.At("report.pdf"), 0},
      {s.At("REPORT.PDF"), 0},
      {s.At("old.pdf"), 0},  // replaced
      {"report.pdf", -3},    // relative
      {s.At("report.txt"), -3},
      {s.At("report.pdf.txt"), -3},
      {s.At(".pdf"), -3},
      {s.At("sub.pdf"), -3},  // a folder
      {"", -3},
      {s.At("missing/report.pdf"), -4},
      {s.At("old.pdf/report.pdf"), -4},  // the "folder" is a file
      {s.At("locked/report.pdf"), root ? 0 : -4},
  };
  for (const auto& c : cases) {
    const auto check = CheckPdfTarget(c.path);
    EXPECT_EQ(check.code, c.code) << c.path << ": " << check.problem;
    EXPECT_EQ(check.problem.empty(), c.code == 0) << c.path;
  }
}

// Records what was printed where and answers as told, on a thread of its own
// like the engine's main thread.
class FakePrinter : public Sorrel::cef::PagePrinter {
 public:
  explicit FakePrinter(std::string error) : error_(std::move(error)) {}
  void PrintToPdf(const Sorrel::cef::BrowserPtr&, const std::string& path, Done done) override {
    {
      std::lock_guard lock(mutex_);
      printed_.push_back(path);
    }
    // Like the engine, a print that succeeds leaves a file behind.
    if (error_.empty()) std::ofstream(path) << "%PDF-1.4\n";
    std::thread([done, e = error_] { done(e); }).detach();
  }
  std::vector<std::string> Printed() {
    std::lock_guard lock(mutex_);
    return printed_;
  }

 private:
  std::string error_;
  std::mutex mutex_;
  std::vector<std::string> printed_;
};

class ReportQueries : public ::testing::Test {
 protected:
  void SetUp() override {
    linkmeter::RegisterPageFunctions(manager_, devices_);
    router_.AttachFactory(manager_.SharedFactory());
  }
  void TearDown() override {
    router_.Shutdown();
    Sorrel::cef::InstallPagePrinter(nullptr);
  }
  std::string Query(const std::string& arg) { return js_test::AskRouter(router_, browser_, ++id_, "JsReportSavePdf " + arg); }

  Sorrel::Com::ComServices devices_;
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_;
  Sorrel::cef::BsmsgRouter router_{tasks_};
  std::shared_ptr<bridge_test::FakeBrowser> browser_ = std::make_shared<bridge_test::FakeBrowser>();
  int64_t id_ = 0;
};

TEST_F(ReportQueries, AnswersOnceWithThePrintersOutcome) {
  Scratch s;
  const std::string good = s.At("r.pdf");
  auto ok = std::make_shared<FakePrinter>("");
  auto broken = std::make_shared<FakePrinter>("print failed: no paper");
  struct Case {
    std::shared_ptr<FakePrinter> printer;
    std::string arg, answer;
    bool printed;
  } cases[] = {
      {ok, R"({"path":")" + good + R"("})", "ok null", true},
      {broken, R"({"path":")" + good + R"("})", R"(fail 0 {"code1":-5,"msg":"method error : print failed: no paper"})", true},
      {nullptr, R"({"path":")" + good + R"("})",
       R"(fail 0 {"code1":-5,"msg":"method error : printing is not available here"})", false},
      {ok, R"({"path":"r.pdf"})", R"(fail 0 {"code1":-3,"msg":"method error : not an absolute path of a .pdf file: r.pdf"})",
       false},
      {ok, R"({"path":")" + s.At("none/r.pdf") + R"("})",
       R"(fail 0 {"code1":-4,"msg":"method error : the folder does not exist: )" + s.At("none/r.pdf") + R"("})", false},
      {ok, R"({"path":7})", "fail -2", false},
      {ok, R"({})", "fail -1", false},
  };
  for (const auto& c : cases) {
    Sorrel::cef::InstallPagePrinter(c.printer);
    const size_t before = c.printer ? c.printer->Printed().size() : 0;
    const std::string answer = Query(c.arg);
    EXPECT_EQ(answer.substr(0, c.answer.size()), c.answer) << c.arg << " → " << answer;
    if (c.printer) {
      EXPECT_EQ(c.printer->Printed().size(), before + (c.printed ? 1 : 0)) << c.arg;
    }
  }
  EXPECT_EQ(ok->Printed().at(0), good);
}

TEST_F(ReportQueries, OfferedUnderItsOwnNamespace) {
  const auto handler = manager_.Factory().Find("JsReportSavePdf");
  ASSERT_TRUE(handler);
  EXPECT_EQ(handler->ScriptName(), "linkmeter.report.savePdf");
  EXPECT_NE(manager_.Prelude().find("linkmeter.report={};"), std::string::npos);
}

}  // namespace
