#pragma once
// Sanitizer builds only: the page processes WebKit starts load our
// instrumented extension module, so the AddressSanitizer runtime must come
// first in their library list, and leak checks there need the suppressions of
// third-party leaks (cef/webkit/lsan.supp). Both travel in the environment
// the page processes inherit. Does nothing in other builds.

namespace Sorrel::cef::webkit {

// Call on the main thread before the first web view is created.
void PrepareSanitizedChildren();

}  // namespace Sorrel::cef::webkit
