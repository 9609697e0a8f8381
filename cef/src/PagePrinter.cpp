#include "sorrel/cef/PagePrinter.h"

#include <mutex>

namespace Sorrel::cef {

namespace {

std::mutex g_mutex;
std::shared_ptr<PagePrinter> g_printer;

}  // namespace

void InstallPagePrinter(std::shared_ptr<PagePrinter> printer) {
  std::lock_guard lock(g_mutex);
  g_printer = std::move(printer);
}

std::shared_ptr<PagePrinter> CurrentPagePrinter() {
  std::lock_guard lock(g_mutex);
  return g_printer;
}

}  // namespace Sorrel::cef
