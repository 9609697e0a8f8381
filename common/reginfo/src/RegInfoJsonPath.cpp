#include "RegInfoJsonPath.h"

#include "lm/Text.h"

namespace com::vantor::detail {

const lm::json::Value* FindPath(const lm::json::Object& root, std::string_view path) {
  const lm::json::Object* obj = &root;
  for (;;) {
    auto dot = path.find('.');
    auto it = obj->find(std::string(path.substr(0, dot)));
    if (it == obj->end()) return nullptr;
    if (dot == std::string_view::npos) return &it->second;
    if (!it->second.is<lm::json::Object>()) return nullptr;
    obj = &it->second.get<lm::json::Object>();
    path.remove_prefix(dot + 1);
  }
}

namespace {

// The object at a dotted path, made (or put in place of a value that is
// not one) at every step.
lm::json::Object& ObjectAt(lm::json::Object& root, std::string_view path) {
  lm::json::Object* obj = &root;
  for (;;) {
    auto dot = path.find('.');
    lm::json::Value& next = (*obj)[std::string(path.substr(0, dot))];
    if (!next.is<lm::json::Object>()) next = lm::json::Value(lm::json::Object());
    obj = &next.get<lm::json::Object>();
    if (dot == std::string_view::npos) return *obj;
    path.remove_prefix(dot + 1);
  }
}

// Whether writing at `path` replaces the value at `inner` or one holding it.
bool Covers(std::string_view path, std::string_view inner) {
  return inner.starts_with(path) && (inner.size() == path.size() || inner[path.size()] == '.');
}

}  // namespace

void PathWriter::Put(std::string_view path, lm::json::Value value) {
  if (parent_ && Covers(path, parentPath_)) parent_ = nullptr;
  auto dot = path.rfind('.');
  if (dot == std::string_view::npos) {
    root_[std::string(path)] = std::move(value);
    return;
  }
  std::string_view parentPath = path.substr(0, dot);
  if (!parent_ || parentPath != parentPath_) {
    parent_ = &ObjectAt(root_, parentPath);
    parentPath_ = parentPath;
  }
  (*parent_)[std::string(path.substr(dot + 1))] = std::move(value);
}

namespace {

// Plain ASCII is the same in both encodings; most names are, and converting
// them through iconv would dominate the whole conversion.
bool IsAscii(const std::string& bytes) {
  for (char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::string DeviceTextToUtf8(const std::string& bytes) {
  if (IsAscii(bytes)) return bytes;
  if (auto utf8 = lm::text::TryAnsiToUtf8(bytes)) return *utf8;
  // Keep what can be kept: ASCII as is, everything else as "?", which the
  // device code page can hold, so the text can be written back.
  std::string out;
  for (char c : bytes) out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
  return out;
}

std::optional<std::string> Utf8ToDeviceText(const lm::json::Value& value, size_t maxBytes) {
  if (!value.is<std::string>()) return std::nullopt;
  const std::string& text = value.get<std::string>();
  auto bytes = IsAscii(text) ? std::optional<std::string>(text) : lm::text::TryUtf8ToAnsi(text);
  if (!bytes || bytes->size() > maxBytes || bytes->find('\0') != std::string::npos) return std::nullopt;
  return bytes;
}

}  // namespace com::vantor::detail
