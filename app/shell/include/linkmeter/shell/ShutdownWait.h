#pragma once
// The wait at shutdown for browsers still closing.

#include <chrono>

#include "sorrel/cef/Manager.h"

namespace linkmeter::shell {

// Waits while any browser is registered, `step` at a time and at most
// `steps` times, then goes on regardless. True when none was left.
bool WaitForBrowsers(const Sorrel::cef::Manager& manager, int steps = 10,
                     std::chrono::milliseconds step = std::chrono::milliseconds(100));

}  // namespace linkmeter::shell
