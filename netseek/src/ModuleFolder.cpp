#include "ModuleFolder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace netseek {
namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

}  // namespace

std::string LocateModuleFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&LocateModuleFolder), &info) == 0 ||
      info.dli_fname == nullptr) {
    return {};
  }
  // The loader may report the name as it was asked for, possibly relative to
  // a directory we are about to leave; resolve it first.
  std::unique_ptr<char, FreeDeleter> resolved(realpath(info.dli_fname, nullptr));
  if (!resolved) return {};
  std::string path(resolved.get());
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string EnterModuleFolder() {
  std::string folder = LocateModuleFolder();
  if (!folder.empty()) {
    // The folder stays the log's home even when it cannot be entered.
    const bool entered = ::chdir(folder.c_str()) == 0;
    static_cast<void>(entered);
  }
  return folder;
}

}  // namespace netseek
