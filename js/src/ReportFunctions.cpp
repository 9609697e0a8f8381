#include "sorrel/js/ReportFunctions.h"

#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/BsmsgRouterCallback.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/cef/PagePrinter.h"
#include "sorrel/js/FileNames.h"
#include "sorrel/js/PdfTextRepair.h"

namespace Sorrel::Js {

namespace fs = std::filesystem;

namespace {

constexpr int32_t kBadPath = -3;
constexpr int32_t kNoFolder = -4;
constexpr int32_t kPrintFailed = -5;

bool EndsWithPdf(const std::string& path) {
  if (path.size() < 5) return false;
  std::string tail = path.substr(path.size() - 4);
  std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
  return tail == ".pdf" && path[path.size() - 5] != '/';
}

std::string Failure(int32_t code, const std::string& text) { return cef::JsExecuteException(code, text).Text(); }

// The print's answer ("" when the file is written, else why not), or none
// when the call was cancelled first (the page went, the program closes).
std::optional<std::string> WaitForPrint(cef::PagePrinter& printer, const cef::BrowserPtr& browser,
                                        const std::string& path, lm::CancelToken& cancel) {
  struct Outcome {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<std::string> error;
    bool cancelled = false;
  };
  auto outcome = std::make_shared<Outcome>();
  auto settle = [outcome](auto&& set) {
    {
      std::lock_guard lock(outcome->mutex);
      set(*outcome);
    }
    outcome->changed.notify_all();
  };
  printer.PrintToPdf(browser, path, [settle](const std::string& error) { settle([&](Outcome& o) { o.error = error; }); });
  const auto listening = cancel.Listen([settle](bool) { settle([](Outcome& o) { o.cancelled = true; }); });
  std::unique_lock lock(outcome->mutex);
  outcome->changed.wait(lock, [&] { return outcome->error.has_value() || outcome->cancelled; });
  return outcome->error;
}

}  // namespace

PdfTargetCheck CheckPdfTarget(const std::string& path) {
  const fs::path target(path);
  if (!target.is_absolute() || !EndsWithPdf(path)) return {kBadPath, "not an absolute path of a .pdf file"};
  std::error_code ec;
  if (fs::is_directory(target, ec)) return {kBadPath, "the path names a folder"};
  const fs::path folder = target.parent_path();
  if (!fs::is_directory(folder, ec)) return {kNoFolder, "the folder does not exist"};
  if (::access(folder.c_str(), W_OK) != 0) return {kNoFolder, "the folder is not writable"};
  if (fs::exists(target, ec) && ::access(target.c_str(), W_OK) != 0) return {kNoFolder, "the file is not writable"};
  return {};
}

void SaveReportPdf::Execute(const cef::BrowserPtr& browser, const lm::json::Value& args,
                            const std::shared_ptr<cef::BsmsgRouterCallback>& reply) {
  cef::ArgReader r(args);
  std::string text;
  r.String("path", text);
  PdfInfo info;
  r.String("title", info.title, cef::ArgReader::Need::Optional);
  r.String("author", info.author, cef::ArgReader::Need::Optional);
  r.String("subject", info.subject, cef::ArgReader::Need::Optional);
  auto name = TextToFileName(text);
  cef::Ensure(name.has_value(), kBadPath, "the path has no file-system form");
  const PdfTargetCheck check = CheckPdfTarget(*name);
  if (check.code != 0) return reply->Failure(0, Failure(check.code, check.problem + ": " + text));
  auto printer = cef::CurrentPagePrinter();
  if (!printer || !browser) return reply->Failure(0, Failure(kPrintFailed, "printing is not available here"));
  const auto printed = WaitForPrint(*printer, browser, *name, *reply->Cancellation());
  if (!printed) return reply->Failure(0, Failure(kPrintFailed, "the print was given up"));
  // The file is printed; its text maps and metadata are put right after,
  // here on the query's worker: the repair reads and rewrites the whole file.
  const std::string problem = printed->empty() ? RepairPdfFile(*name, info) : *printed;
  if (problem.empty()) reply->Success("null");
  else reply->Failure(0, Failure(kPrintFailed, problem));
}

const HostDoc& SaveReportPdf::Doc() const {
  static const HostDoc doc{
      "Reports", "",
      "Prints the calling page's view to a PDF file on A4 paper, without the print dialog; the page's print style "
      "decides what is printed. The text of every glyph is set as the page wrote it (a CJK ideograph, never its "
      "radical form) and the metadata given is written. The print runs on the window thread, the text repair on the "
      "query's worker; it answers once, when the file is written.",
      {{"path", "string", "required", "an absolute path ending in \".pdf\" in an existing, writable folder; an "
                                      "existing file is replaced"},
       {"title", "string", "optional", "the document's title in the PDF's metadata (else the page's title)"},
       {"author", "string", "optional", "the document's author in the PDF's metadata"},
       {"subject", "string", "optional", "the document's subject in the PDF's metadata"}},
      "null once the file is written.",
      {{"-1", "path missing"},
       {"-2", "arg is not an object, or path is not a string"},
       {"-3", "path is not absolute, does not end in \".pdf\", names a folder or has no file-system form"},
       {"-4", "the folder does not exist, or the folder or the existing file is not writable"},
       {"-5", "the print failed (\"method error : print failed: …\") or no view can be printed here"}},
      "linkmeter.report.savePdf({path: '/home/tech/Documents/survey-report.pdf'},\n  () => notify('saved'), e => "
      "alert(e.msg));",
      {__FILE__, "../../cef/src/ArgReader.cpp"}};
  return doc;
}

void RegisterReportFunctions(cef::Manager& manager) {
  manager.AppendPrelude("linkmeter.report={};");
  manager.AddQuery(std::make_shared<SaveReportPdf>());
}

}  // namespace Sorrel::Js
