// linkmeter-cli report: the customer's PDF report of an ended visit, the
// same file the window's "Save as PDF" writes. The report is laid out by
// the page and printed by its engine (A4 pages measured row by row, the
// page's fonts), which the command line does not have: so the program
// beside it runs the page's own print path as a job, with a window it
// never shows (linkmeter --print-job), and ends. Without a display it runs
// under xvfb-run when that is installed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UserLanguage.h"
#include "lm/records/ExportTarget.h"
#include "lm/records/StoreResult.h"

namespace linkmeter::cli {
namespace {

namespace fs = std::filesystem;
using lm::json::Value;

// A report of many pages with plans prints in seconds; the engine's start
// is under one. Far more means it hangs.
constexpr auto kPrintDeadline = std::chrono::seconds(180);
constexpr const char* kSaved = "linkmeter-report: saved ";
constexpr const char* kFailed = "linkmeter-report: failed ";

std::string Check(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (w.empty()) return "report needs the PDF file to write";
  if (w.size() > 1) return "unexpected argument: " + w[1];
  const std::string& file = w[0];
  if (file.size() < 5 || file.compare(file.size() - 4, 4, ".pdf") != 0) return "the report's file must end in .pdf";
  auto site = args.Get("--site");
  if (!site || site->empty()) return "report needs --site SERIAL (or the site's name)";
  if (auto visit = args.Get("--visit"); visit && (visit->empty() || visit->find_first_not_of("0123456789") != std::string::npos)) {
    return "--visit takes a visit's number";
  }
  return "";
}

// Percent-encoded for the job's address.
std::string Encoded(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '/' || c == '.' || c == '-' || c == '_' || c == '~') out += static_cast<char>(c);
    else out += {'%', hex[c >> 4], hex[c & 15]};
  }
  return out;
}

// An executable named `name` on PATH, or "".
std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  for (size_t at = 0; at <= dirs.size();) {
    size_t end = dirs.find(':', at);
    if (end == std::string::npos) end = dirs.size();
    const fs::path candidate = fs::path(dirs.substr(at, end - at)) / name;
    if (end > at && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    at = end + 1;
  }
  return "";
}

// The program's command line for `job`, or {} with `error`.
std::vector<std::string> ProgramArgs(const CommandContext& ctx, const std::string& job, std::string& error) {
  std::error_code ec;
  const fs::path program = fs::read_symlink("/proc/self/exe", ec).parent_path() / "linkmeter";
  if (ec || ::access(program.c_str(), X_OK) != 0) {
    error = "the report is printed by the program linkmeter, which is not beside linkmeter-cli (" + program.string() + ")";
    return {};
  }
  std::vector<std::string> args;
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if (!(x && *x) && !(wayland && *wayland)) {
    const std::string xvfb = OnPath("xvfb-run");
    if (xvfb.empty()) {
      error = "the report is printed by the program's page engine, which needs a display: none is set and xvfb-run is not installed";
      return {};
    }
    args = {xvfb, "-a"};
  }
  args.insert(args.end(), {program.string(), "--console", "--print-job", job});
  if (ctx.demo()) args.push_back("--demo");
  return args;
}

// Runs `args` in a process group of its own, its standard error kept (its
// standard output dropped); killed at the deadline. → exit status (or -1).
int RunProgram(const std::vector<std::string>& args, std::string& err) {
  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    ::setpgid(0, 0);
    ::dup2(pipeFds[1], 2);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0);
    ::dup2(null, 1);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  const auto deadline = std::chrono::steady_clock::now() + kPrintDeadline;
  char buf[4096];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      ::kill(-pid, SIGKILL);
      err += "\n" + std::string(kFailed) + "{\"why\":\"the print did not end within 180 s\"}\n";
      break;
    }
    pollfd p{pipeFds[0], POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000))) < 0 && errno != EINTR) break;
    if (!(p.revents & (POLLIN | POLLHUP))) continue;
    const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
    if (n <= 0) break;
    err.append(buf, static_cast<size_t>(n));
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The JSON after `marker` on its line of the program's output, or null.
Value Marked(const std::string& out, const std::string& marker) {
  const size_t at = out.rfind(marker);
  if (at == std::string::npos) return Value();
  const size_t from = at + marker.size();
  auto parsed = lm::json::Parse(out.substr(from, out.find('\n', from) - from));
  return parsed ? *parsed : Value();
}

int Run(CommandContext& ctx) {
  if (!ctx.flows) return Fail(ctx.err, kExitFailed, "the page's flows are not running");
  const fs::path target = ctx.args.positionals[0];
  try {
    lm::records::RefuseStoreAsTarget(target);
  } catch (const lm::records::StoreFailure& e) {
    return Fail(ctx.err, kExitFailed, e.error.message);
  }
  lm::json::Object arg{{"site", lm::json::String(*ctx.args.Get("--site"))}};
  if (auto visit = ctx.args.Get("--visit")) arg["visit"] = lm::json::Number(std::atof(visit->c_str()));
  std::string error;
  auto found = ctx.flows->Run("reportVisit", {Value(arg)}, &error);
  if (found && found->is<lm::json::Object>() && found->contains("failure")) error = MemberText(*found, "failure");
  else if (found && found->is<lm::json::Object>()) error.clear();
  if (!error.empty() || !found) return Fail(ctx.err, kExitFailed, "no report: " + error.substr(0, error.find('\n')));
  const Value& site = MemberValue(*found, "site");
  const Value& visit = MemberValue(*found, "visit");
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08llX", static_cast<unsigned long long>(MemberValue(site, "serial").get<double>()));
  const std::string job = "#report-pdf?site=" + std::string(serial) + "&visit=" + MemberText(visit, "id") +
                          "&path=" + Encoded(fs::absolute(target).string()) + "&lang=" + UserLanguage();
  auto args = ProgramArgs(ctx, job, error);
  if (args.empty()) return Fail(ctx.err, kExitFailed, error);
  std::string out;
  const int status = RunProgram(args, out);
  const Value saved = Marked(out, kSaved);
  if (!saved.is<lm::json::Object>()) {
    const std::string why = MemberText(Marked(out, kFailed), "why");
    return Fail(ctx.err, kExitFailed, "the report was not written: " + (why.empty() ? "the program ended (" + std::to_string(status) + ") without printing it" : why));
  }
  ctx.output.Write(Table{{"site", "visit", "pages", "report", "file"},
                         {{serial, MemberText(visit, "id"), MemberText(saved, "pages"), MemberText(saved, "id"), MemberText(saved, "path")}}},
                   lm::json::MakeObject({{"site", site}, {"visit", visit}, {"report", saved}}));
  return kExitOk;
}

}  // namespace

Subcommand ReportCommand() {
  return {"report",
          "the customer's PDF report of an ended visit, as the window saves it",
          "report --site S [--visit N] FILE.pdf",
          "Writes the customer's report of visit N of site S (its serial or name; the newest\n"
          "ended visit with a site survey when not given) to FILE.pdf: the same pages the\n"
          "Report tab's \"Save as PDF\" writes (page 1 with the verdict, \"Fix these first\" and\n"
          "the waivers, every unit, the comparison with the previous visit, the site's plans),\n"
          "judged with the profile and class boundaries of the program's page. The program\n"
          "linkmeter beside this tool prints it without showing a window; it needs a display\n"
          "and runs under xvfb-run when none is set.\n",
          {{"--site", true}, {"--visit", true}},
          Check,
          Run,
          [](const ParsedArgs&, size_t i) { return i == 0; }};
}

}  // namespace linkmeter::cli
