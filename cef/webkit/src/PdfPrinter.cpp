#include "sorrel/cef/webkit/PdfPrinter.h"

#include <gtk/gtk.h>

#include "sorrel/cef/webkit/WebKitBrowser.h"

namespace Sorrel::cef::webkit {

namespace {

// Right after the program starts GTK may not have listed its printers yet,
// "Print to File" among them: the print is tried again a moment later, for
// a few seconds at most.
constexpr int kNotFoundRetries = 20;
constexpr guint kRetryMs = 250;

// One print in flight: keeps the operation and the answer until a signal ends it.
struct PrintJob {
  BrowserPtr browser;
  std::string path;
  WebKitPrintOperation* operation = nullptr;
  PagePrinter::Done done;
  std::string error;
  bool printerMissing = false;
  int retries = 0;
};

void Start(PrintJob* job);

void OnFailed(WebKitPrintOperation*, GError* error, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  job->printerMissing = g_error_matches(error, WEBKIT_PRINT_ERROR, WEBKIT_PRINT_ERROR_PRINTER_NOT_FOUND);
  job->error = std::string("print failed: ") + (error ? error->message : "unknown error");
}

// "finished" follows "failed" too, so the answer is given here, once.
void OnFinished(WebKitPrintOperation*, gpointer data) {
  auto* job = static_cast<PrintJob*>(data);
  g_signal_handlers_disconnect_by_data(job->operation, job);
  g_object_unref(job->operation);
  job->operation = nullptr;
  if (job->printerMissing && job->retries < kNotFoundRetries) {
    ++job->retries;
    job->printerMissing = false;
    job->error.clear();
    g_timeout_add(kRetryMs, [](gpointer j) -> gboolean { Start(static_cast<PrintJob*>(j)); return G_SOURCE_REMOVE; }, job);
    return;
  }
  auto done = std::move(job->done);
  std::string error = std::move(job->error);
  delete job;
  done(error);
}

GtkPrintSettings* PdfSettings(const std::string& path) {
  GtkPrintSettings* settings = gtk_print_settings_new();
  // The printer is looked up in this process by the name GTK gives it here,
  // translated into this process's language ("ファイルに出力する" in ja_JP).
  gtk_print_settings_set_printer(settings, g_dgettext("gtk30", "Print to File"));
  gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
  g_free(uri);
  gtk_print_settings_set(settings, GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
  return settings;
}

// A4 with 15 mm margins all round: the printer's defaults are too narrow
// for a report that is filed or bound.
GtkPageSetup* A4Setup() {
  constexpr double kMarginMm = 15.0;
  GtkPageSetup* setup = gtk_page_setup_new();
  GtkPaperSize* a4 = gtk_paper_size_new(GTK_PAPER_NAME_A4);
  gtk_page_setup_set_paper_size(setup, a4);
  gtk_paper_size_free(a4);
  gtk_page_setup_set_top_margin(setup, kMarginMm, GTK_UNIT_MM);
  gtk_page_setup_set_bottom_margin(setup, kMarginMm, GTK_UNIT_MM);
  gtk_page_setup_set_left_margin(setup, kMarginMm, GTK_UNIT_MM);
  gtk_page_setup_set_right_margin(setup, kMarginMm, GTK_UNIT_MM);
  return setup;
}

void Start(PrintJob* job) {
  auto view = std::dynamic_pointer_cast<WebKitBrowser>(job->browser);
  if (!view || !view->View()) {
    auto done = std::move(job->done);
    delete job;
    return done("the page has no view to print");
  }
  job->operation = webkit_print_operation_new(view->View());
  GtkPrintSettings* settings = PdfSettings(job->path);
  GtkPageSetup* setup = A4Setup();
  webkit_print_operation_set_print_settings(job->operation, settings);
  webkit_print_operation_set_page_setup(job->operation, setup);
  g_object_unref(settings);
  g_object_unref(setup);
  g_signal_connect(job->operation, "failed", G_CALLBACK(OnFailed), job);
  g_signal_connect(job->operation, "finished", G_CALLBACK(OnFinished), job);
  webkit_print_operation_print(job->operation);
}

void PrintOnMainThread(const BrowserPtr& browser, const std::string& path, PagePrinter::Done done) {
  Start(new PrintJob{browser, path, nullptr, std::move(done), {}, false, 0});
}

}  // namespace

void PdfPrinter::PrintToPdf(const BrowserPtr& browser, const std::string& path, Done done) {
  mainLoop_->Post([browser, path, done = std::move(done)]() mutable { PrintOnMainThread(browser, path, std::move(done)); });
}

}  // namespace Sorrel::cef::webkit
