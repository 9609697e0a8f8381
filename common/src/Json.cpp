#include "lm/Json.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace lm::json {
namespace {

// Writes what picojson's compact serialisation writes, byte for byte, in
// one growing string: runs of plain characters are copied at once and
// integral numbers are written without a printf.
class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  void Write(const Value& v) {
    if (v.is<std::string>()) return WriteString(v.get<std::string>());
    if (v.is<Object>()) return WriteObject(v.get<Object>());
    if (v.is<Array>()) return WriteArray(v.get<Array>());
    if (v.is<double>()) return WriteNumber(v);
    out_ += v.to_str();  // null, true, false
  }

 private:
  void WriteObject(const Object& obj) {
    out_ += '{';
    bool first = true;
    for (const auto& [key, member] : obj) {
      if (!first) out_ += ',';
      first = false;
      WriteString(key);
      out_ += ':';
      Write(member);
    }
    out_ += '}';
  }

  void WriteArray(const Array& arr) {
    out_ += '[';
    for (size_t i = 0; i < arr.size(); ++i) {
      if (i) out_ += ',';
      Write(arr[i]);
    }
    out_ += ']';
  }

  // picojson prints an integral number below 2^53 with "%.f" (so -0 stays
  // "-0") and anything else with "%.17g"; the latter is left to it.
  void WriteNumber(const Value& v) {
    const double d = v.get<double>();
    if (std::fabs(d) < 9007199254740992.0 && std::trunc(d) == d && !(d == 0 && std::signbit(d))) {
      char buf[24];
      auto end = std::to_chars(buf, buf + sizeof buf, static_cast<int64_t>(d)).ptr;
      out_.append(buf, end);
      return;
    }
    out_ += v.to_str();
  }

  static bool Plain(unsigned char c) { return c >= 0x20 && c != '"' && c != '\\' && c != '/' && c != 0x7f; }

  void WriteString(const std::string& s) {
    // Keys and most values need no escape: quoted in one step.
    if (std::all_of(s.begin(), s.end(), [](char c) { return Plain(static_cast<unsigned char>(c)); })) {
      const size_t at = out_.size();
      out_.resize(at + s.size() + 2);
      out_[at] = '"';
      s.copy(&out_[at + 1], s.size());
      out_[at + 1 + s.size()] = '"';
      return;
    }
    out_ += '"';
    size_t run = 0;
    for (size_t i = 0; i < s.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(s[i]);
      if (Plain(c)) continue;
      out_.append(s, run, i - run);
      run = i + 1;
      WriteEscape(c);
    }
    out_.append(s, run, std::string::npos);
    out_ += '"';
  }

  void WriteEscape(unsigned char c) {
    switch (c) {
      case '"': out_ += "\\\""; return;
      case '\\': out_ += "\\\\"; return;
      case '/': out_ += "\\/"; return;
      case '\b': out_ += "\\b"; return;
      case '\f': out_ += "\\f"; return;
      case '\n': out_ += "\\n"; return;
      case '\r': out_ += "\\r"; return;
      case '\t': out_ += "\\t"; return;
      default: {
        static constexpr char kHex[] = "0123456789abcdef";
        const char esc[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        out_.append(esc, sizeof esc);
      }
    }
  }

  std::string& out_;
};

}  // namespace

std::string ToText(const Value& value) {
  std::string out;
  out.reserve(256);  // most answers without growing
  Writer(out).Write(value);
  return out;
}

size_t NestingDepth(std::string_view text) {
  size_t depth = 0, deepest = 0;
  bool inString = false, escaped = false;
  for (char c : text) {
    if (inString) {
      if (escaped) escaped = false;
      else if (c == '\\') escaped = true;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      deepest = std::max(deepest, ++depth);
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::optional<Value> Parse(std::string_view text) {
  // The reader's own limit counts arrays only: deep objects would recurse
  // until the stack runs out. A text no longer than the limit cannot nest
  // deeper than it (every query's argument is parsed here).
  if (text.size() > kMaxNesting && NestingDepth(text) > kMaxNesting) return std::nullopt;
  Value out;
  std::string err;
  auto end = picojson::parse(out, text.begin(), text.end(), &err);
  if (!err.empty()) return std::nullopt;
  // Only white space may follow the value.
  for (; end != text.end(); ++end) {
    if (*end != ' ' && *end != '\t' && *end != '\r' && *end != '\n') return std::nullopt;
  }
  return out;
}

Value MakeObject(std::initializer_list<std::pair<std::string, Value>> members) {
  Object obj;
  for (const auto& [key, value] : members) obj[key] = value;
  return Value(std::move(obj));
}

Value ErrorObject(int code, std::string msg) {
  return MakeObject({{"code1", Number(code)}, {"msg", String(std::move(msg))}});
}

bool IsIntegral(const Value& value, double lo, double hi) {
  if (!value.is<double>()) return false;
  double d = value.get<double>();
  return std::isfinite(d) && std::trunc(d) == d && d >= lo && d <= hi;
}

const Value& Member(const Value& value, const std::string& key) {
  static const Value null;
  return value.is<Object>() && value.contains(key) ? value.get(key) : null;
}

}  // namespace lm::json
