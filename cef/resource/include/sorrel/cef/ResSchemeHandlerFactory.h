#pragma once
// Serves app://res/<package>/<path> from the resource packages in one folder:
// ZIP archives <package>.appres, or unpacked folders of the same name when no
// archive of that name opened. Every request gets a response; what cannot be
// served (another host, a package name with a NUL or a separator, a missing
// entry) gets the not-found page.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vantor/zip/ZipLoader.h"

namespace Sorrel::cef {

struct ResResponse {
  int status = 200;
  std::string statusText = "OK";
  std::string mimeType;  // may be empty for an archive entry of unknown type
  std::vector<uint8_t> body;
};

class ResSchemeHandlerFactory {
 public:
  static constexpr const char* kPackageExtension = "appres";
  static constexpr const char* kDefaultDocument = "index.html";
  static constexpr const char* kNotFoundText = "resource not found.";

  // Opens every <name>.appres file in the folder; those that fail to open
  // are left out.
  explicit ResSchemeHandlerFactory(std::filesystem::path resourceFolder);

  // The folder "res" beside the running executable.
  static std::filesystem::path DefaultResourceFolder();

  // Answers one request. Reads files, so callers keep it off the UI thread.
  ResResponse Create(const std::string& url) const;

  static ResResponse NotFound(const std::string& url);

  const std::filesystem::path& ResourceFolder() const { return folder_; }
  const std::map<std::string, std::shared_ptr<vantor::zip::ZipLoader>>& Packages() const {
    return packages_;
  }

 private:
  ResResponse FromPackage(vantor::zip::ZipLoader& package, std::string path, const std::string& url) const;
  ResResponse FromFolder(const std::string& package, std::string path, const std::string& url) const;

  std::filesystem::path folder_;
  std::map<std::string, std::shared_ptr<vantor::zip::ZipLoader>> packages_;
};

}  // namespace Sorrel::cef
