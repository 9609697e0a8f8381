#pragma once
// Running a query's window work on the UI thread: errors raised there reach
// the worker as if raised on it.

#include <exception>
#include <functional>

#include "sorrel/js/HostUi.h"

namespace Sorrel::Js {

// Runs `work` through the UI's waiting call and rethrows what it raised.
// False when the UI is gone and the work did not run.
bool CallOnUi(HostUi& ui, const std::function<void()>& work);

}  // namespace Sorrel::Js
