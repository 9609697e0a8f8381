// The sibling's settings document: arbitrary bytes as the document, and
// (first byte odd) the rest as the bytes of a DATA element, so the Base64
// and registration-image steps are reached as often as the XML reader.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "sorrel/js/Base64.h"
#include "sorrel/js/SettingsDocument.h"

using namespace Sorrel::Js;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::string Base64(std::string_view bytes) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += abc[n >> 18];
    out += abc[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? abc[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? abc[n & 63] : '=';
    if (i % 57 == 54) out += "\r\n";
  }
  return out;
}

void CheckResult(const SettingsResult& r) {
  Check(r.code == 0 || r.code == -20 || r.code == -24 || r.code == -27 || r.code == -42 || r.code == -43 ||
        r.code == -44);
  Check(r.value.is<lm::json::Object>());
  const auto& o = r.value.get<lm::json::Object>();
  auto rsetf = o.find("RSETF");
  if (rsetf == o.end()) return;
  Check(rsetf->second.is<lm::json::Object>());
  const auto& members = rsetf->second.get<lm::json::Object>();
  auto groups = members.find("groups");
  if (groups != members.end()) Check(groups->second.is<lm::json::Array>());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)DecodeBase64(bytes);
  (void)IsPlainSettings(bytes);
  if (auto label = DeclaredEncoding(bytes)) (void)IsShiftJisLabel(*label);
  CheckResult(ParseSettingsDocument(bytes));
  if (size > 0 && (data[0] & 1)) {
    const std::string document =
        "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><SETF><DATA>" + Base64(bytes.substr(1)) + "</DATA></SETF>";
    SettingsResult r = ParseSettingsDocument(document);
    CheckResult(r);
    Check(r.code != -42 && r.code != -20 && r.code != -24 && r.code != -27);  // our own document always reads
  }
  return 0;
}
