// The bridge in a real WebKitGTK window: runs the self-test page and reports
// each of its cases by name. Exit status 0 only when every case passed.
//
//   test-gui [--console] [case filter]
//
// --console runs the page as the program's --console does, with standard
// error (which the page processes share) caught in a file, and also checks
// that the page's console probe arrived there with its level, source and line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <optional>
#include <string>

#include "SelfTestPage.h"
#include "vcomm/Library.h"

namespace {

// Sends this process's standard error, and that of every process it starts
// from now on, to a file until Restore; then copies the file to the real one.
class StderrCapture {
 public:
  StderrCapture() : saved_(dup(STDERR_FILENO)), file_(std::tmpfile()) {
    std::fflush(stderr);
    if (file_) dup2(fileno(file_), STDERR_FILENO);
  }
  ~StderrCapture() {
    if (file_) std::fclose(file_);
    if (saved_ >= 0) close(saved_);
  }
  std::string Restore() {
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    std::string text;
    if (!file_) return text;
    std::rewind(file_);
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file_)) > 0;) text.append(buffer, n);
    std::fputs(text.c_str(), stderr);
    return text;
  }

 private:
  int saved_;
  std::FILE* file_;
};

// "console: log app://res/selftest/selftest.js:<line>: lmtest console probe
// /selftest/index.html", a whole line, with a line number.
bool HasProbeLine(const std::string& text) {
  const std::string head = "console: log app://res/selftest/selftest.js:";
  const std::string tail = ": lmtest console probe /selftest/index.html\n";
  for (size_t at = text.find(head); at != std::string::npos; at = text.find(head, at + 1)) {
    if (at > 0 && text[at - 1] != '\n') continue;
    size_t digits = at + head.size();
    size_t end = digits;
    while (end < text.size() && std::isdigit(static_cast<unsigned char>(text[end]))) ++end;
    if (end > digits && text[digits] != '0' && text.compare(end, tail.size(), tail) == 0) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  std::string url = "app://res/selftest/index.html";
  bool console = argc > 1 && std::string(argv[1]) == "--console";
  if (argc > 1 + console) url += std::string("?only=") + argv[1 + console];
  if (console) setenv("LM_TEST_CONSOLE", "1", 1);
  std::optional<StderrCapture> capture;
  if (console) capture.emplace();
  lmtest::PageRun run = lmtest::RunSelfTestPage(url, 90);
  if (capture) {
    const std::string text = capture->Restore();
    run.cases.push_back({"console probe on standard error", HasProbeLine(text), ""});
  }
  if (!run.error.empty()) {
    std::fprintf(stderr, "test-gui: %s\n", run.error.c_str());
    return 1;
  }
  int failed = 0;
  for (const auto& c : run.cases) {
    std::printf("[%s] %s%s%s\n", c.ok ? "  OK  " : "FAILED", c.name.c_str(), c.detail.empty() ? "" : ": ",
                c.detail.c_str());
    if (!c.ok) ++failed;
  }
  if (run.timedOut) std::printf("watchdog: the page did not finish in time\n");
  std::printf("%zu passed, %d failed\n", run.cases.size() - failed, failed);
  std::fflush(stdout);
  bool ok = run.finished && !run.timedOut && failed == 0 && !run.cases.empty();
  return ok ? 0 : 1;
}
