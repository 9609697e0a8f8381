// Feeds arbitrary bytes to ZipLoader as an archive: the directory search and
// walk, then a read of every entry the directory names.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "vantor/zip/ZipLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vantor::zip::ZipLoader zip;
  auto stream = std::make_unique<std::istringstream>(std::string(reinterpret_cast<const char*>(data), size));
  if (zip.OpenStream(std::move(stream)) != 0) return 0;
  std::vector<uint8_t> out;
  for (const auto& name : zip.EntryNames()) zip.Read(name, out);
  return 0;
}
