#include "sorrel/cef/webkit/QueryWire.h"

#include <charconv>
#include <string>

namespace Sorrel::cef::webkit {
namespace {

GVariant* Bytes(std::string text) {
  // The terminating NUL travels too, so the far side can hand the last
  // field on as a C string without copying it.
  return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, text.c_str(), text.size() + 1, 1);
}

std::string Header(int64_t a, int64_t b, size_t rest) {
  std::string text;
  text.reserve(48 + rest);
  text += std::to_string(a);
  text += ' ';
  text += std::to_string(b);
  text += ' ';
  return text;
}

// The payload's text without its final NUL, or empty when it is none.
std::optional<std::string_view> Text(GVariant* payload) {
  if (!payload || !g_variant_is_of_type(payload, G_VARIANT_TYPE_BYTESTRING)) return std::nullopt;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_variant_get_fixed_array(payload, &size, 1));
  if (size == 0 || data[size - 1] != '\0') return std::nullopt;
  return std::string_view(data, size - 1);
}

// Takes "<number> " off the front of text.
template <typename Int>
bool TakeNumber(std::string_view& text, Int& out) {
  const char* end = text.data() + text.size();
  auto [next, error] = std::from_chars(text.data(), end, out);
  if (error != std::errc() || next == text.data() || next == end || *next != ' ') return false;
  text.remove_prefix(static_cast<size_t>(next + 1 - text.data()));
  return true;
}

}  // namespace

GVariant* EncodeQueryRequest(int64_t frameId, int64_t requestId, std::string_view request) {
  std::string text = Header(frameId, requestId, request.size());
  text += request;
  return Bytes(std::move(text));
}

GVariant* EncodeQueryAnswer(bool success, int32_t code, std::string_view text) {
  std::string out = Header(success ? 1 : 0, code, text.size());
  out += text;
  return Bytes(std::move(out));
}

std::optional<QueryRequest> DecodeQueryRequest(GVariant* payload) {
  auto text = Text(payload);
  QueryRequest out;
  if (!text || !TakeNumber(*text, out.frameId) || !TakeNumber(*text, out.requestId)) return std::nullopt;
  out.request = *text;
  return out;
}

std::optional<QueryAnswer> DecodeQueryAnswer(GVariant* payload) {
  auto text = Text(payload);
  int success = -1;
  QueryAnswer out;
  if (!text || !TakeNumber(*text, success) || (success != 0 && success != 1) || !TakeNumber(*text, out.code))
    return std::nullopt;
  out.success = success == 1;
  out.text = *text;
  return out;
}

}  // namespace Sorrel::cef::webkit
