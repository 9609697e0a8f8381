#pragma once
// Serves the "app" URI scheme of a web context from a ResSchemeHandlerFactory.
// Entries are read and inflated on a worker thread; the response is finished
// on the main thread.

#include <webkit2/webkit2.h>

#include <memory>

#include "sorrel/cef/ResSchemeHandlerFactory.h"

namespace Sorrel::cef::webkit {

inline constexpr const char* kAppScheme = "app";

// Registers the scheme, and marks it secure and CORS-enabled.
void RegisterResScheme(WebKitWebContext* context, std::shared_ptr<const ResSchemeHandlerFactory> factory);

}  // namespace Sorrel::cef::webkit
