#include "sorrel/js/SettingsDocument.h"

#include <libxml/xmlreader.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "lm/Text.h"
#include "sorrel/js/Base64.h"
#include "vantor/com/RegInfoJson.h"

namespace Sorrel::Js {

namespace {

constexpr size_t kHeadBytes = 128;
constexpr int32_t kUndecodable = -24;  // bytes that are no text in the declared character set
constexpr int32_t kReaderError = -27;  // the reader met something it cannot read

using Reader = std::unique_ptr<xmlTextReader, decltype(&xmlFreeTextReader)>;

struct Frame {
  std::string name;
  std::string text;
};

std::string LocalName(xmlTextReaderPtr reader) {
  const xmlChar* name = xmlTextReaderConstLocalName(reader);
  return name ? reinterpret_cast<const char*>(name) : "";
}

// The registration image in a DATA element's text, as RSETF's "groups".
int32_t TakeData(const std::string& text, lm::json::Object& rsetf) {
  auto bytes = DecodeBase64(text);
  if (!bytes) return -42;
  auto json = com::vantor::RegInfoBytesToJson(*bytes);
  if (!json || !json->is<lm::json::Object>()) return -43;
  const auto& o = json->get<lm::json::Object>();
  auto groups = o.find("groups");
  if (groups == o.end() || !groups->second.is<lm::json::Array>()) return -44;
  rsetf["groups"] = groups->second;
  return 0;
}

// Closes the innermost open element; DATA is decoded into RSETF.
int32_t EndElement(std::vector<Frame>& stack, lm::json::Object& rsetf) {
  Frame frame = std::move(stack.back());
  stack.pop_back();
  return frame.name == "DATA" ? TakeData(frame.text, rsetf) : 0;
}

// The content of SETF, up to its end; 0 or a failure code.
int32_t ReadSetf(xmlTextReaderPtr reader, lm::json::Object& rsetf) {
  std::vector<Frame> stack;
  int step;
  while ((step = xmlTextReaderRead(reader)) == 1) {
    switch (xmlTextReaderNodeType(reader)) {
      case XML_READER_TYPE_ELEMENT:
        stack.push_back({LocalName(reader), {}});
        if (xmlTextReaderIsEmptyElement(reader) == 1) {
          if (int32_t code = EndElement(stack, rsetf)) return code;
        }
        break;
      case XML_READER_TYPE_TEXT:
      case XML_READER_TYPE_CDATA:
        if (!stack.empty()) {
          const xmlChar* value = xmlTextReaderConstValue(reader);
          if (value) stack.back().text += reinterpret_cast<const char*>(value);
        }
        break;
      case XML_READER_TYPE_END_ELEMENT:
        if (stack.empty()) return 0;  // SETF itself is complete
        if (int32_t code = EndElement(stack, rsetf)) return code;
        break;
      default:
        break;
    }
  }
  return step < 0 ? kReaderError : 0;
}

}  // namespace

bool IsPlainSettings(std::string_view head) {
  const std::string_view scanned = head.substr(0, kHeadBytes);
  size_t i = 0;
  while (i < scanned.size() && (scanned[i] == ' ' || scanned[i] == '\t' || scanned[i] == '\r' || scanned[i] == '\n'))
    ++i;
  if (i == scanned.size()) return true;
  return head.substr(i, 5) == "<?xml";
}

std::optional<std::string> DeclaredEncoding(std::string_view document) {
  if (document.substr(0, 5) != "<?xml") return std::nullopt;
  const std::string_view decl = document.substr(0, document.find("?>"));
  const size_t at = decl.find("encoding");
  if (at == std::string_view::npos) return std::nullopt;
  size_t i = at + 8;
  auto skipSpace = [&] {
    while (i < decl.size() && (decl[i] == ' ' || decl[i] == '\t' || decl[i] == '\r' || decl[i] == '\n')) ++i;
  };
  skipSpace();
  if (i >= decl.size() || decl[i] != '=') return std::nullopt;
  ++i;
  skipSpace();
  if (i >= decl.size() || (decl[i] != '"' && decl[i] != '\'')) return std::nullopt;
  const size_t close = decl.find(decl[i], i + 1);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(decl.substr(i + 1, close - i - 1));
}

bool IsShiftJisLabel(std::string_view label) {
  // Compared without case, hyphens and underscores: Shift_JIS, shift-jis,
  // SJIS, x-sjis, MS_Kanji, csShiftJIS, Windows-31J, CP932, MS932 …
  std::string key;
  for (char c : label) {
    if (c != '-' && c != '_') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  static const char* const kNames[] = {"shiftjis", "sjis",       "xsjis",  "mskanji", "csshiftjis",
                                       "windows31j", "cswindows31j", "cp932", "ms932",   "xmscp932",
                                       "ibm943",   "sjiswin",    "sjisopen"};
  return std::any_of(std::begin(kNames), std::end(kNames), [&](const char* n) { return key == n; });
}

namespace {

// SETF elements in document order, into `out`; 0 or a failure code.
int32_t ReadDocument(xmlTextReaderPtr reader, lm::json::Object& out) {
  int step;
  while ((step = xmlTextReaderRead(reader)) == 1) {
    if (xmlTextReaderNodeType(reader) != XML_READER_TYPE_ELEMENT || LocalName(reader) != "SETF") continue;
    lm::json::Object rsetf;
    const bool empty = xmlTextReaderIsEmptyElement(reader) == 1;
    const int32_t code = empty ? 0 : ReadSetf(reader, rsetf);
    out["RSETF"] = lm::json::Value(std::move(rsetf));
    if (code != 0) return code;
  }
  return step < 0 ? kReaderError : 0;
}

SettingsResult Finish(int32_t code, lm::json::Object out) {
  SettingsResult result;
  result.code = code;
  result.value = lm::json::Value(std::move(out));
  return result;
}

}  // namespace

SettingsResult ParseSettingsDocument(std::string_view document) {
  // White space the plain test allows before the declaration would make
  // the declaration misplaced for the reader.
  while (!document.empty() && (document[0] == ' ' || document[0] == '\t' || document[0] == '\r' || document[0] == '\n'))
    document.remove_prefix(1);
  // The sibling writes "Shift_JIS" but means the Windows code page, whose
  // extra characters (①, ㈱, Ⅰ, 髙, 﨑) the strict table refuses: such a
  // document is decoded here and handed to the reader as UTF-8.
  std::string decoded;
  const char* encoding = nullptr;
  int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
  if (auto label = DeclaredEncoding(document); label && IsShiftJisLabel(*label)) {
    auto utf8 = lm::text::TryAnsiToUtf8(document);
    if (!utf8) return Finish(kUndecodable, {});
    decoded = std::move(*utf8);
    document = decoded;
    encoding = "UTF-8";
    options |= XML_PARSE_IGNORE_ENC;
  }
  if (document.size() > static_cast<size_t>(INT32_MAX)) return Finish(-20, {});
  // No network, no entity expansion, no external DTD: the document is data.
  Reader reader(xmlReaderForMemory(document.data(), static_cast<int>(document.size()), nullptr, encoding, options),
                &xmlFreeTextReader);
  if (!reader) return Finish(-20, {});
  lm::json::Object out;
  const int32_t code = ReadDocument(reader.get(), out);
  return Finish(code, std::move(out));
}

}  // namespace Sorrel::Js
