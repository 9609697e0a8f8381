#pragma once
// The page printer of the WebKit engine: the view's print operation sent to
// the "Print to File" printer as PDF on A4, with no dialog shown.

#include "sorrel/cef/PagePrinter.h"

namespace Sorrel::cef::webkit {

class PdfPrinter : public PagePrinter {
 public:
  void PrintToPdf(const BrowserPtr& browser, const std::string& path, Done done) override;
};

}  // namespace Sorrel::cef::webkit
