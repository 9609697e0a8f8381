#pragma once
// The report functions of the page (linkmeter.report.*): the calling page's
// view printed to a PDF file.

#include <string>

#include "sorrel/cef/JsQueryHandler.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/HostDoc.h"

namespace Sorrel::Js {

// Why `path` (a file-system name) cannot take the PDF, with the failure's
// code; code 0 when it can.
struct PdfTargetCheck {
  int32_t code = 0;
  std::string problem;
};
PdfTargetCheck CheckPdfTarget(const std::string& path);

// {path}: prints the calling page, A4, to the PDF file; answers null once it
// is written.
class SaveReportPdf : public cef::JsQueryHandler, public Described {
 public:
  SaveReportPdf() : JsQueryHandler("JsReportSavePdf", "linkmeter.report.savePdf", 0) {}
  void Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
               const std::shared_ptr<cef::BsmsgRouterCallback>& reply) override;
  const HostDoc& Doc() const override;
};

void RegisterReportFunctions(cef::Manager& manager);

}  // namespace Sorrel::Js
