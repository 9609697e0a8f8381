#pragma once
// Reads the members of a page function's argument object by dotted path
// ("comInfo.com"), required or optional, with typed conversions. Every
// failure is a JsArgumentException with the standard message.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lm/Json.h"

namespace Sorrel::cef {

class ArgReader {
 public:
  enum class Need { Required, Optional };

  // Checks that `arg` is an object ("'<argName>' must have type object." with
  // invalidCode). Missing required members fail with notFoundCode, every
  // other check with invalidCode.
  explicit ArgReader(const lm::json::Value& arg, int32_t notFoundCode = -1,
                     int32_t invalidCode = -2, const std::string& argName = "arg");
  // The reader points into the argument, so it must outlive the reader.
  ArgReader(lm::json::Value&&, int32_t = -1, int32_t = -2, const std::string& = "arg") = delete;

  // The value at a path; nullptr when an optional member is absent.
  const lm::json::Value* Find(const std::string& path, Need need) const;
  bool Has(const std::string& path) const { return Find(path, Need::Optional) != nullptr; }

  // Each reader returns true and sets `out` when the member is present;
  // an absent optional member returns false and leaves `out` unchanged.
  bool Bool(const std::string& path, bool& out, Need need = Need::Required) const;
  bool Int32(const std::string& path, int32_t& out, Need need = Need::Required) const;
  bool UInt8(const std::string& path, uint8_t& out, Need need = Need::Required) const;
  bool UInt16(const std::string& path, uint16_t& out, Need need = Need::Required) const;
  // Unsigned 32-bit members are always required.
  void UInt32(const std::string& path, uint32_t& out) const;
  bool Number(const std::string& path, double& out, Need need = Need::Required) const;
  bool String(const std::string& path, std::string& out, Need need = Need::Required) const;
  bool WString(const std::string& path, std::u16string& out, Need need = Need::Required) const;
  // The text converted to the ANSI code page (bytes as devices expect them).
  bool AnsiString(const std::string& path, std::string& out, Need need = Need::Required) const;
  bool Bytes(const std::string& path, std::vector<uint8_t>& out, Need need = Need::Required) const;
  const lm::json::Object* Object(const std::string& path, Need need = Need::Required) const;
  const lm::json::Array* Array(const std::string& path, Need need = Need::Required) const;

  const lm::json::Object& Root() const { return *root_; }

 private:
  [[noreturn]] void Invalid(const std::string& path) const;
  bool Integral(const std::string& path, double lo, double hi, double& out, Need need) const;

  const lm::json::Object* root_;
  int32_t notFoundCode_;
  int32_t invalidCode_;
};

}  // namespace Sorrel::cef
