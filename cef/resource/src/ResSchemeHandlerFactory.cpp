#include "sorrel/cef/ResSchemeHandlerFactory.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "lm/Text.h"
#include "sorrel/cef/MimeTypes.h"
#include "sorrel/cef/ResUrl.h"

namespace fs = std::filesystem;

namespace Sorrel::cef {
namespace {

// True when `inner` names `outer` itself or something below it.
bool IsInside(const fs::path& inner, const fs::path& outer) {
  auto o = outer.begin();
  auto i = inner.begin();
  for (; o != outer.end(); ++o, ++i) {
    if (i == inner.end() || *i != *o) return false;
  }
  return true;
}

bool ReadWholeFile(const fs::path& file, std::vector<uint8_t>& out) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

ResSchemeHandlerFactory::ResSchemeHandlerFactory(fs::path resourceFolder) : folder_(std::move(resourceFolder)) {
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& file = it->path();
    if (it->is_directory(ec) || file.extension() != std::string(".") + kPackageExtension) continue;
    auto loader = std::make_shared<vantor::zip::ZipLoader>();
    if (loader->Open(file) == vantor::zip::ZipLoader::kOk) packages_[file.stem().string()] = std::move(loader);
  }
}

fs::path ResSchemeHandlerFactory::DefaultResourceFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return (ec ? fs::current_path() : exe.parent_path()) / "res";
}

ResResponse ResSchemeHandlerFactory::NotFound(const std::string& url) {
  ResResponse r;
  r.status = 404;
  r.statusText = kNotFoundText;
  r.mimeType = "text/html";
  std::string body = std::string("<html><body>") + kNotFoundText + "<br>" + res::HtmlEscape(url) +
                     "</body></html>";
  r.body.assign(body.begin(), body.end());
  return r;
}

ResResponse ResSchemeHandlerFactory::Create(const std::string& url) const {
  const std::string cut = res::CutQueryAndFragment(url);
  // Another host is another origin: it gets nothing, not even under its own
  // spelling of "res" (the host is compared as the page sees it, undecoded).
  if (res::HostOf(cut) != res::kResHost) return NotFound(url);
  res::ResTarget target = res::SplitResUrl(res::PercentDecode(cut));
  // A NUL would cut the folder name short and reach files beside the packages.
  if (!res::IsPlainName(target.package)) return NotFound(url);
  auto it = packages_.find(target.package);
  if (it != packages_.end()) return FromPackage(*it->second, std::move(target.path), url);
  return FromFolder(target.package, std::move(target.path), url);
}

ResResponse ResSchemeHandlerFactory::FromPackage(vantor::zip::ZipLoader& package, std::string path,
                                                 const std::string& url) const {
  if (path.empty() || path.back() == '/') path += kDefaultDocument;
  // Entry names are in the ANSI code page, or in UTF-8 in archives made by
  // newer tools: the ANSI name is tried first.
  std::string name = path;
  if (auto ansi = lm::text::TryUtf8ToAnsi(path); ansi && package.Has(*ansi)) name = std::move(*ansi);
  ResResponse r;
  if (!package.Has(name) || package.Read(name, r.body) != vantor::zip::ZipLoader::kOk) return NotFound(url);
  r.mimeType = res::MimeTypeForExtension(res::ExtensionOf(path));
  return r;
}

ResResponse ResSchemeHandlerFactory::FromFolder(const std::string& package, std::string path,
                                                const std::string& url) const {
  // A path that would leave the package folder is refused, links included.
  if (!res::IsContainedRelativePath(path)) return NotFound(url);
  if (path.empty() || path.back() == '/') path += kDefaultDocument;
  const fs::path packageFolder = folder_ / (package + "." + kPackageExtension);
  const fs::path file = packageFolder / path;
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) return NotFound(url);
  fs::path realFile = fs::canonical(file, ec);
  if (ec) return NotFound(url);
  fs::path realFolder = fs::canonical(packageFolder, ec);
  if (ec || !IsInside(realFile, realFolder)) return NotFound(url);
  ResResponse r;
  if (!ReadWholeFile(realFile, r.body)) return NotFound(url);
  r.mimeType = res::MimeTypeForExtension(res::ExtensionOf(path));
  if (r.mimeType.empty()) r.mimeType = "text/html";
  return r;
}

}  // namespace Sorrel::cef
