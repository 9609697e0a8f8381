#include "sorrel/cef/ArgReader.h"

#include "lm/Text.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::cef {

using lm::json::Value;

ArgReader::ArgReader(const Value& arg, int32_t notFoundCode, int32_t invalidCode,
                     const std::string& argName)
    : root_(nullptr), notFoundCode_(notFoundCode), invalidCode_(invalidCode) {
  Ensure(arg.is<lm::json::Object>(), invalidCode, MsgMustBeObject(argName));
  root_ = &arg.get<lm::json::Object>();
}

const Value* ArgReader::Find(const std::string& path, Need need) const {
  const lm::json::Object* current = root_;
  const Value* found = nullptr;
  size_t start = 0;
  for (;;) {
    size_t dot = path.find('.', start);
    std::string piece = path.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    if (found != nullptr) {
      // The value on the way must be an object to look further.
      Ensure(found->is<lm::json::Object>(), invalidCode_, MsgMustBeObject(path.substr(0, start - 1)));
      current = &found->get<lm::json::Object>();
    }
    auto it = current->find(piece);
    if (it == current->end()) {
      Ensure(need == Need::Optional, notFoundCode_, MsgNotFound(path));
      return nullptr;
    }
    found = &it->second;
    if (dot == std::string::npos) return found;
    start = dot + 1;
  }
}

void ArgReader::Invalid(const std::string& path) const {
  throw JsArgumentException(invalidCode_, MsgInvalid(path));
}

bool ArgReader::Integral(const std::string& path, double lo, double hi, double& out,
                         Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return false;
  if (!lm::json::IsIntegral(*v, lo, hi)) Invalid(path);
  out = v->get<double>();
  return true;
}

bool ArgReader::Bool(const std::string& path, bool& out, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return false;
  if (!v->is<bool>()) Invalid(path);
  out = v->get<bool>();
  return true;
}

bool ArgReader::Int32(const std::string& path, int32_t& out, Need need) const {
  double d;
  if (!Integral(path, -2147483648.0, 2147483647.0, d, need)) return false;
  out = static_cast<int32_t>(d);
  return true;
}

bool ArgReader::UInt8(const std::string& path, uint8_t& out, Need need) const {
  double d;
  if (!Integral(path, 0, 255, d, need)) return false;
  out = static_cast<uint8_t>(d);
  return true;
}

bool ArgReader::UInt16(const std::string& path, uint16_t& out, Need need) const {
  double d;
  if (!Integral(path, 0, 65535, d, need)) return false;
  out = static_cast<uint16_t>(d);
  return true;
}

void ArgReader::UInt32(const std::string& path, uint32_t& out) const {
  double d;
  Integral(path, 0, 4294967295.0, d, Need::Required);
  out = static_cast<uint32_t>(d);
}

bool ArgReader::Number(const std::string& path, double& out, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return false;
  if (!v->is<double>()) Invalid(path);
  out = v->get<double>();
  return true;
}

bool ArgReader::String(const std::string& path, std::string& out, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return false;
  if (!v->is<std::string>()) Invalid(path);
  out = v->get<std::string>();
  return true;
}

bool ArgReader::WString(const std::string& path, std::u16string& out, Need need) const {
  std::string utf8;
  if (!String(path, utf8, need)) return false;
  auto wide = lm::text::TryUtf8ToUtf16(utf8);
  if (!wide) Invalid(path);
  out = std::move(*wide);
  return true;
}

bool ArgReader::AnsiString(const std::string& path, std::string& out, Need need) const {
  std::string utf8;
  if (!String(path, utf8, need)) return false;
  auto ansi = lm::text::TryUtf8ToAnsi(utf8);
  if (!ansi) Invalid(path);  // a character the code page cannot carry
  out = std::move(*ansi);
  return true;
}

bool ArgReader::Bytes(const std::string& path, std::vector<uint8_t>& out, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return false;
  if (!v->is<lm::json::Array>()) Invalid(path);
  std::vector<uint8_t> bytes;
  for (const Value& e : v->get<lm::json::Array>()) {
    if (!lm::json::IsIntegral(e, 0, 255)) Invalid(path);
    bytes.push_back(static_cast<uint8_t>(e.get<double>()));
  }
  out = std::move(bytes);
  return true;
}

const lm::json::Object* ArgReader::Object(const std::string& path, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return nullptr;
  Ensure(v->is<lm::json::Object>(), invalidCode_, MsgMustBeObject(path));
  return &v->get<lm::json::Object>();
}

const lm::json::Array* ArgReader::Array(const std::string& path, Need need) const {
  const Value* v = Find(path, need);
  if (v == nullptr) return nullptr;
  Ensure(v->is<lm::json::Array>(), invalidCode_, MsgMustBeArray(path));
  return &v->get<lm::json::Array>();
}

}  // namespace Sorrel::cef
