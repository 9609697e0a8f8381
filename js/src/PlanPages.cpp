// linkmeter.records.renderPlanPage: one page of a PDF plan as a PNG, made by
// poppler's pdftoppm in a private temporary folder on a query worker, its
// longest side at most 8000 pixels and its time bounded, so a hostile file
// can neither fill the memory nor hold a worker for ever.
#include <glib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "RecordsWork.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/RecordsFailures.h"
#include "sorrel/js/RecordsJson.h"

namespace Sorrel::Js::records_work {
namespace {

namespace fs = std::filesystem;
namespace rj = records_json;
using lm::json::MakeObject;
using lm::json::Value;

constexpr const char* kLongestSide = "8000";
constexpr const char* kTimeLimitS = "60";

// A folder of our own, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    GError* error = nullptr;
    gchar* made = g_dir_make_tmp("linkmeter-plan-XXXXXX", &error);
    if (!made) {
      const std::string why = error ? error->message : "no temporary folder";
      g_clear_error(&error);
      throw cef::JsExecuteException(records_failure::kIo, "the PDF could not be rendered: " + why);
    }
    path_ = made;
    g_free(made);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteBytes(const fs::path& path, const lm::records::Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw cef::JsExecuteException(records_failure::kIo, "the PDF could not be rendered: the temporary file was not written");
}

lm::records::Bytes ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return lm::records::Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs pdftoppm; its standard error is the reason when it fails.
void Render(const fs::path& pdf, const fs::path& prefix, int64_t page) {
  const std::string n = std::to_string(page);
  std::vector<std::string> args{"timeout", kTimeLimitS, "pdftoppm", "-png", "-f", n, "-l", n, "-singlefile",
                                "-scale-to", kLongestSide, pdf.string(), prefix.string()};
  std::vector<gchar*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  gchar* err = nullptr;
  gint status = 0;
  GError* error = nullptr;
  const bool ran = g_spawn_sync(nullptr, argv.data(), nullptr,
                                static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDOUT_TO_DEV_NULL),
                                nullptr, nullptr, nullptr, &err, &status, &error);
  std::string why = !ran ? (error ? error->message : "pdftoppm did not start") : (err ? err : "");
  g_clear_error(&error);
  g_free(err);
  if (!ran || !g_spawn_check_wait_status(status, nullptr)) {
    throw cef::JsExecuteException(records_failure::kRefused, "the PDF page could not be rendered: " + (why.empty() ? "pdftoppm failed" : why));
  }
}

}  // namespace

Value RenderPlanPage(Store&, const Arg& r) {
  const lm::records::Bytes pdf = rj::BytesOr(r, "pdf");
  const int64_t page = rj::OptInt64(r, "page").value_or(1);
  if (pdf.empty() || page < 1) throw cef::JsArgumentException(-2, cef::MsgInvalid(pdf.empty() ? "pdf" : "page"));
  ScratchFolder folder;
  WriteBytes(folder.path() / "plan.pdf", pdf);
  Render(folder.path() / "plan.pdf", folder.path() / "page", page);
  const auto png = ReadBytes(folder.path() / "page.png");
  if (png.empty()) throw cef::JsExecuteException(records_failure::kRefused, "the PDF page could not be rendered");
  return MakeObject({{"png", lm::json::String(rj::Base64(png))}});
}

}  // namespace Sorrel::Js::records_work
