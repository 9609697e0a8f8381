#pragma once
// Printing a page's view to a PDF file, without a dialog. The engine in use
// installs its printer at start; hosts without views have none.

#include <functional>
#include <memory>
#include <string>

#include "sorrel/cef/Engine.h"

namespace Sorrel::cef {

class PagePrinter {
 public:
  // Empty when the file was written, else why not.
  using Done = std::function<void(const std::string& error)>;

  virtual ~PagePrinter() = default;
  // Any thread. Prints the browser's view on A4 to the absolute `path`;
  // `done` is called once, on the engine's main thread.
  virtual void PrintToPdf(const BrowserPtr& browser, const std::string& path, Done done) = 0;
};

void InstallPagePrinter(std::shared_ptr<PagePrinter> printer);
// The installed printer, or null.
std::shared_ptr<PagePrinter> CurrentPagePrinter();

}  // namespace Sorrel::cef
