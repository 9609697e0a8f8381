// bench-shell: the program's start-up against a bare WebKitGTK window, in
// the same run. Run by hand:  xvfb-run -a build/bin/bench-shell [runs]
// Each probe is a fresh process with its own user folders that shows the
// same one-line page; the parent times spawn → page loaded, and the probe
// reports its own peak resident memory (VmHWM) at that point.
#include <gtk/gtk.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "linkmeter/Registration.h"
#include "linkmeter/shell/LinkmeterApp.h"
#include "linkmeter/shell/ProcessObjects.h"

namespace {

constexpr const char* kPage = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>blank</title></head>"
                              "<body>blank</body></html>";

long PeakKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

void OnLoaded(WebKitWebView*, WebKitLoadEvent event, gpointer done) {
  if (event != WEBKIT_LOAD_FINISHED) return;
  std::printf("loaded %ld\n", PeakKb());
  std::fflush(stdout);
  (*static_cast<std::function<void()>*>(done))();
}

int BareProbe(int argc, char** argv) {
  if (!gtk_init_check(&argc, &argv)) return 1;
  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
  GtkWidget* view = webkit_web_view_new();
  gtk_container_add(GTK_CONTAINER(window), view);
  std::function<void()> done = [] { gtk_main_quit(); };
  g_signal_connect(view, "load-changed", G_CALLBACK(OnLoaded), &done);
  webkit_web_view_load_html(WEBKIT_WEB_VIEW(view), kPage, "about:blank");
  gtk_widget_show_all(window);
  gtk_main();
  return 0;
}

int ProgramProbe(int argc, char** argv) {
  const linkmeter::shell::ProcessObjects process = linkmeter::shell::ProcessObjectsOnce();
  linkmeter::RegisterPageFunctions(process.manager, process.devices);
  linkmeter::shell::ShellOptions options;
  options.url = "app://res/selftest/blank.html";
  auto config = linkmeter::shell::DefaultProgramConfig(options);
  std::function<void()> done;
  linkmeter::shell::LinkmeterApp* appPtr = nullptr;
  config.onStarted = [&] {
    done = [&] { appPtr->Frame()->Destroy(); };
    g_signal_connect(appPtr->Client()->MainView(), "load-changed", G_CALLBACK(OnLoaded), &done);
  };
  linkmeter::shell::LinkmeterApp app(config, process);
  appPtr = &app;
  return app.Run(argc, argv);
}

// Every process whose parent is this one (orphans are reparented here).
void KillChildren() {
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const auto close = line.rfind(')');
    if (close == std::string::npos) continue;
    char state = 0;
    int ppid = 0;
    if (std::sscanf(line.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == getpid()) {
      kill(std::atoi(name.c_str()), SIGKILL);
    }
  }
}

// The probe's own web and network processes outlive it for a moment and
// still write into its folders: as their subreaper, wait for every one of
// them (killing what is left after a few seconds: the accessibility bus
// never ends by itself) before the folders go.
void ReapDescendants() {
  const auto killAfter = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  for (;;) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid < 0) return;  // ECHILD: nothing left
    if (pid > 0) continue;
    // A killed launcher hands its own children to us: kill again until none is left.
    if (std::chrono::steady_clock::now() > killAfter) KillChildren();
    g_usleep(20000);
  }
}

void RemoveFolder(const std::filesystem::path& root) {
  std::error_code error;
  for (int attempt = 0; attempt < 5; ++attempt) {
    if (std::filesystem::remove_all(root, error) != static_cast<std::uintmax_t>(-1) && !error) return;
    g_usleep(100000);
  }
  std::fprintf(stderr, "bench-shell: could not remove %s: %s\n", root.c_str(), error.message().c_str());
}

struct Sample {
  double ms = -1;
  long peakKb = -1;
};

Sample Probe(const char* self, const char* mode) {
  char tmpl[] = "/tmp/lm-bench-shell-XXXXXX";
  const std::filesystem::path root = mkdtemp(tmpl);
  std::string env;
  for (const char* dir : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    std::filesystem::create_directories(root / dir);
    env += std::string(dir) + "='" + (root / dir).string() + "' ";
  }
  const std::string command = env + "'" + self + "' " + mode;
  Sample s;
  auto t0 = std::chrono::steady_clock::now();
  if (FILE* child = popen(command.c_str(), "r")) {
    char line[64] = {};
    if (std::fgets(line, sizeof line, child) && std::strncmp(line, "loaded ", 7) == 0) {
      s.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
      s.peakKb = std::atol(line + 7);
    }
    pclose(child);
  }
  ReapDescendants();
  RemoveFolder(root);
  return s;
}

template <typename T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--bare-probe") == 0) return BareProbe(argc, argv);
  if (argc > 1 && std::strcmp(argv[1], "--program-probe") == 0) return ProgramProbe(argc, argv);
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  std::vector<double> bareMs, programMs;
  std::vector<long> bareKb, programKb;
  for (int i = 0; i < runs; ++i) {
    // Alternate, so drift in the machine's load hits both alike.
    for (bool program : {false, true}) {
      Sample s = Probe(argv[0], program ? "--program-probe" : "--bare-probe");
      if (s.ms < 0) {
        std::fprintf(stderr, "bench-shell: a %s probe did not load its page\n", program ? "program" : "bare");
        return 1;
      }
      (program ? programMs : bareMs).push_back(s.ms);
      (program ? programKb : bareKb).push_back(s.peakKb);
    }
  }
  const double bm = Median(bareMs), pm = Median(programMs);
  const long bk = Median(bareKb), pk = Median(programKb);
  std::printf("start-up to page loaded (median of %d): bare %.0f ms, program %.0f ms, ratio %.2f (target <= 1.20)\n",
              runs, bm, pm, pm / bm);
  std::printf("UI process peak RSS (median): bare %ld MB, program %ld MB, ratio %.2f (target <= 1.20)\n", bk / 1024,
              pk / 1024, double(pk) / double(bk));
  return 0;
}
