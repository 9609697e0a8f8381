#include "sorrel/cef/webkit/SanitizerChildren.h"

#include <cstdlib>
#include <string>

namespace Sorrel::cef::webkit {

void PrepareSanitizedChildren() {
#ifdef LM_ASAN_RUNTIME
  // Once per process, on the main thread, before the first view starts its
  // page process.
  static const bool done = [] {
    const char* preload = std::getenv("LD_PRELOAD");
    std::string list = preload ? preload : "";
    if (list.find(LM_ASAN_RUNTIME) == std::string::npos)
      setenv("LD_PRELOAD", (std::string(LM_ASAN_RUNTIME) + (list.empty() ? "" : " " + list)).c_str(), 1);
    setenv("LSAN_OPTIONS", "suppressions=" LM_LSAN_SUPPRESSIONS ":print_suppressions=0", 0);
    return true;
  }();
  (void)done;
#endif
}

}  // namespace Sorrel::cef::webkit
