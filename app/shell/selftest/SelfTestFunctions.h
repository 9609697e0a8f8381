#pragma once
// Test-only page functions under app.selftest, registered by the GUI tests
// and the benchmark (never by the program): queries that echo, fail, take
// their time and poke the bridge from the browser side, and native functions
// that echo, throw and read a microsecond clock.

#include <atomic>
#include <string>

namespace Sorrel::cef {
class CallbackTable;
class Manager;
}  // namespace Sorrel::cef

namespace linkmeter::selftest {

// What the slow query saw, for the page to check.
struct SlowStatus {
  std::atomic<int> routerCancels{0};
  std::atomic<int> explicitCancels{0};
  std::atomic<int> finished{0};
};
SlowStatus& Slow();

// URLs handed to the desktop's browser instead of opening a popup.
void RecordExternalOpen(const std::string& url);

// Queries and the engine-neutral natives, in every process; the callback
// queries add to and count `callbacks`, which outlives the manager.
void RegisterSelfTestFunctions(Sorrel::cef::Manager& manager, Sorrel::cef::CallbackTable& callbacks);

}  // namespace linkmeter::selftest
