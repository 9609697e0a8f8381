#pragma once
// The page printer of the WebKit engine: the view's print operation sent to
// GTK's "Print to File" printer (named as GTK names it in the program's
// language) as PDF on A4, with no dialog shown.

#include <memory>

#include "sorrel/cef/PagePrinter.h"
#include "sorrel/cef/webkit/LoopPoster.h"

namespace Sorrel::cef::webkit {

class PdfPrinter : public PagePrinter {
 public:
  // The print runs on the thread of `mainLoop`'s context.
  explicit PdfPrinter(std::shared_ptr<LoopPoster> mainLoop) : mainLoop_(std::move(mainLoop)) {}
  void PrintToPdf(const BrowserPtr& browser, const std::string& path, Done done) override;

 private:
  const std::shared_ptr<LoopPoster> mainLoop_;
};

}  // namespace Sorrel::cef::webkit
