#pragma once
// Helpers of the registration conversion: dotted member paths in JSON objects
// and device text (system code page) in JSON (UTF-8).

#include <optional>
#include <string>
#include <string_view>

#include "lm/Json.h"

namespace com::vantor::detail {

// The member at a dotted path; nullptr when any step is missing or not an object.
const lm::json::Value* FindPath(const lm::json::Object& root, std::string_view path);

// Sets members at dotted paths (the objects on the way made as needed), one
// after another: a run of members under one parent ("ch1.chType",
// "ch1.judgeTime", …) finds that parent once. Paths are viewed, not copied,
// so they must outlive the writer (the field tables' literals do).
class PathWriter {
 public:
  explicit PathWriter(lm::json::Object& root) : root_(root) {}
  void Put(std::string_view path, lm::json::Value value);

 private:
  lm::json::Object& root_;
  std::string_view parentPath_;
  lm::json::Object* parent_ = nullptr;  // the object at parentPath_
};

// Device bytes as UTF-8. When the bytes are not valid in the device code
// page, every non-ASCII byte becomes "?" rather than failing the whole
// registration.
std::string DeviceTextToUtf8(const std::string& bytes);
// UTF-8 as device bytes; nullopt when the text has no device form or is
// longer than `maxBytes` after conversion.
std::optional<std::string> Utf8ToDeviceText(const lm::json::Value& value, size_t maxBytes);

}  // namespace com::vantor::detail
