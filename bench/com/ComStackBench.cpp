// T commands through the whole stack (router, handler, executor, libvcomm,
// TCP, simulator and back) against the bare exchange on the same connection,
// and against the floor: the bare exchange run on a thread of its own and
// answered through a promise, the two thread hand-offs every query pays with
// nothing of the router or the handler. Rounds alternate the three, so drift
// in the machine's load falls on all of them; figures are medians over the
// rounds. Prints its figures; not a test. For a steady figure on a busy
// machine run it on one core at real-time priority:
//   taskset -c 1 chrt -f 50 build/bin/bench-com [commands per round] [rounds]
// `bench-com --only bare|floor|stack N` runs one of them N times, for perf.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "HandOff.h"
#include "PageRig.h"
#include "linkmeter/sim/Simulator.h"
#include "linkmeter/sim/SiteFile.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"
#include "vantor/vcomm/ExecutorVela.h"
#include "vantor/com/TcmdEBSTS.h"
#include "vcomm/Library.h"

namespace {

using Clock = std::chrono::steady_clock;

double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// One command each way of running it; false when the command failed.
struct Ways {
  std::function<bool()> bare, floor, stack;
};

double MicrosEach(const std::function<bool()>& one, int n) {
  const auto start = Clock::now();
  for (int i = 0; i < n; ++i) {
    if (!one()) {
      std::fprintf(stderr, "bench-com: a command failed\n");
      std::exit(1);
    }
  }
  return Micros(Clock::now() - start) / n;
}

void Line(const char* what, double us) { std::printf("%-52s %7.1f us\n", what, us); }

void Compare(const Ways& ways, int n, int rounds) {
  std::vector<double> bare, floor, stack, handOffs, beyond, added, ratio, overFloor, beyondShare;
  for (int r = 0; r < rounds; ++r) {
    const std::function<bool()>* order[] = {&ways.bare, &ways.floor, &ways.stack};
    double us[3] = {};
    for (int k = 0; k < 3; ++k) {
      const int which = (k + r) % 3;  // each goes first in a third of the rounds
      us[which] = MicrosEach(*order[which], n);
    }
    bare.push_back(us[0]);
    floor.push_back(us[1]);
    stack.push_back(us[2]);
    handOffs.push_back(us[1] - us[0]);
    beyond.push_back(us[2] - us[1]);
    added.push_back(us[2] - us[0]);
    ratio.push_back(us[2] / us[0]);
    overFloor.push_back(us[2] / us[1]);
    beyondShare.push_back((us[2] - us[1]) / us[0]);
  }
  std::printf("EBSTS over loopback TCP to the simulator, %d rounds of %d commands, medians\n", rounds, n);
  Line("bare exchange (executor + libvcomm)", bench::Median(bare));
  Line("floor: bare exchange + two thread hand-offs", bench::Median(floor));
  Line("whole stack, unit open", bench::Median(stack));
  Line("the two hand-offs (floor - bare)", bench::Median(handOffs));
  Line("router + handler beyond the hand-offs (stack - floor)", bench::Median(beyond));
  Line("added per command by router and handler (stack - bare)", bench::Median(added));
  std::printf("%-52s %7.2fx (floor %.2fx)\n", "whole stack / bare exchange", bench::Median(ratio),
              bench::Median(floor) / bench::Median(bare));
  std::printf("%-52s %7.2fx\n", "whole stack / floor", bench::Median(overFloor));
  std::printf("%-52s %7.2fx\n", "router + handler beyond the floor / bare exchange", bench::Median(beyondShare));
}

}  // namespace

int main(int argc, char** argv) {
  vcomm::Library vcommLibrary;  // the process's device connections
  const char* only = nullptr;
  if (argc > 2 && std::strcmp(argv[1], "--only") == 0) {
    only = argv[2];
    argv += 2;
    argc -= 2;
  }
  const int n = argc > 1 ? std::atoi(argv[1]) : 1000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  linkmeter::sim::SiteSpec site = linkmeter::sim::DemoSite();
  site.radio.hopMs = 0;
  site.udp.enabled = false;
  const auto commands = linkmeter::sim::CommandTable::WithEveryCommand();
  auto sim = bench::StartSimulator(site, commands);
  if (!sim) return 1;
  const int port = sim->LanPort(0x009C0021);

  // The bare exchange: one executor, one open connection.
  com::vantor::ExecutorVela executor;
  if (executor.OpenLAN("127.0.0.1", port, "vela1234", nullptr, 0).status != 0) return 1;
  auto exchange = [&] {
    com::vantor::TcmdEBSTS cmd;
    executor.Execute(cmd, 0);
    return cmd.IsSuccess();
  };
  // The floor: the same exchange on a waiting thread, answered by a promise.
  bench::HandOffThread worker;
  auto handedOff = [&] {
    std::promise<bool> answer;
    auto future = answer.get_future();
    worker.Post([&] { answer.set_value(exchange()); });
    return future.get();
  };
  // The whole stack, the unit kept open by the page.
  bench::PageRig page;
  const std::string comInfo = "{\"comInfo\":{\"com\":3,\"ipAddr\":\"127.0.0.1\",\"port\":" + std::to_string(port) +
                              ",\"lanPassword\":\"vela1234\"}}";
  const std::string request = "jsquery:ComTcmdEBSTS " + comInfo;
  auto query = [&] { return page.Query(request).rfind("{\"STATUS\":\"0002-0000\"", 0) == 0; };
  page.Query("jsquery:ComOpen " + comInfo);

  const Ways ways{exchange, handedOff, query};
  if (only) {
    const std::string which = only;
    const auto& one = which == "bare" ? ways.bare : which == "floor" ? ways.floor : ways.stack;
    Line(only, MicrosEach(one, n));
    return 0;
  }
  MicrosEach(ways.stack, n / 10 + 1);  // warm: the workers and the allocator
  Compare(ways, n, rounds);
  page.Query("jsquery:ComClose " + comInfo);
  executor.Close();

  // Each command opening and closing the unit itself (login included).
  const int m = n / 10 + 1;
  const auto start = Clock::now();
  for (int i = 0; i < m; ++i) page.Query(request);
  Line("whole stack, implicit open/login/close", Micros(Clock::now() - start) / m);
  return 0;
}
