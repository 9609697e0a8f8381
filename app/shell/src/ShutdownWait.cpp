#include "linkmeter/shell/ShutdownWait.h"

#include <thread>

namespace linkmeter::shell {

bool WaitForBrowsers(const Sorrel::cef::Manager& manager, int steps, std::chrono::milliseconds step) {
  for (int i = 0; i < steps && manager.BrowserCount() > 0; ++i) std::this_thread::sleep_for(step);
  return manager.BrowserCount() == 0;
}

}  // namespace linkmeter::shell
