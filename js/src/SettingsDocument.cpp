#include "sorrel/js/SettingsDocument.h"

#include <libxml/xmlreader.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "sorrel/js/Base64.h"
#include "vantor/com/RegInfoJson.h"

namespace Sorrel::Js {

namespace {

constexpr size_t kHeadBytes = 128;

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
  while (xmlTextReaderRead(reader) == 1) {
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
  return 0;
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

SettingsResult ParseSettingsDocument(std::string_view document) {
  SettingsResult result;
  lm::json::Object out;
  if (document.size() > static_cast<size_t>(INT32_MAX)) {
    result.code = -20;
    result.value = lm::json::Value(std::move(out));
    return result;
  }
  // White space the plain test allows before the declaration would make
  // the declaration misplaced for the reader.
  while (!document.empty() && (document[0] == ' ' || document[0] == '\t' || document[0] == '\r' || document[0] == '\n'))
    document.remove_prefix(1);
  // No network, no entity expansion, no external DTD: the document is data.
  Reader reader(xmlReaderForMemory(document.data(), static_cast<int>(document.size()), nullptr, nullptr,
                                   XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING),
                &xmlFreeTextReader);
  if (!reader) {
    result.code = -20;
    result.value = lm::json::Value(std::move(out));
    return result;
  }
  while (xmlTextReaderRead(reader.get()) == 1) {
    if (xmlTextReaderNodeType(reader.get()) != XML_READER_TYPE_ELEMENT || LocalName(reader.get()) != "SETF") continue;
    lm::json::Object rsetf;
    const bool empty = xmlTextReaderIsEmptyElement(reader.get()) == 1;
    result.code = empty ? 0 : ReadSetf(reader.get(), rsetf);
    out["RSETF"] = lm::json::Value(std::move(rsetf));
    if (result.code != 0) break;
  }
  result.value = lm::json::Value(std::move(out));
  return result;
}

}  // namespace Sorrel::Js
