#include "linkmeter/cli/Output.h"

#include "linkmeter/cli/UnitNames.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <ostream>

namespace linkmeter::cli {
namespace {

bool LooksNumeric(const std::string& s) {
  if (s.empty()) return false;
  char* end = nullptr;
  std::strtod(s.c_str(), &end);
  return end == s.c_str() + s.size();
}

std::string CsvCell(const std::string& raw) {
  std::string s = raw;
  if (!s.empty() && std::string("=+-@\t\r").find(s[0]) != std::string::npos && !LooksNumeric(s)) s = "'" + s;
  if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
  std::string quoted = "\"";
  for (char c : s) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}

bool IsSerialNumber(const lm::json::Value& v) {
  if (!v.is<double>()) return false;
  const double d = v.get<double>();
  return d >= 0 && d <= 0xFFFFFFFF && d == std::floor(d);
}

}  // namespace

bool IsSerialKey(const std::string& key) {
  return key == "serial" || key == "siteSerial" || key == "baseSerial" || key == "unit" || key == "serials";
}

lm::json::Value WithSerialText(const lm::json::Value& json) {
  if (json.is<lm::json::Array>()) {
    lm::json::Array out;
    for (const auto& item : json.get<lm::json::Array>()) out.push_back(WithSerialText(item));
    return lm::json::Value(std::move(out));
  }
  if (!json.is<lm::json::Object>()) return json;
  lm::json::Object out;
  for (const auto& [key, value] : json.get<lm::json::Object>()) {
    const bool serials = IsSerialKey(key);
    if (serials && IsSerialNumber(value)) {
      out[key] = lm::json::String(SerialText(static_cast<int64_t>(value.get<double>())));
    } else if (serials && value.is<lm::json::Array>()) {
      lm::json::Array list;
      for (const auto& v : value.get<lm::json::Array>()) {
        list.push_back(IsSerialNumber(v) ? lm::json::String(SerialText(static_cast<int64_t>(v.get<double>()))) : WithSerialText(v));
      }
      out[key] = lm::json::Value(std::move(list));
    } else {
      out[key] = WithSerialText(value);
    }
  }
  return lm::json::Value(std::move(out));
}

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

std::optional<Format> ParseFormat(const std::string& text) {
  if (text == "table") return Format::kTable;
  if (text == "csv") return Format::kCsv;
  if (text == "json") return Format::kJson;
  return std::nullopt;
}

void WriteCsv(std::ostream& out, const Table& table) {
  auto line = [&](const std::vector<std::string>& cells) {
    for (size_t i = 0; i < cells.size(); ++i) out << (i ? "," : "") << CsvCell(cells[i]);
    out << "\r\n";
  };
  line(table.columns);
  for (const auto& row : table.rows) line(row);
}

void Output::Write(const Table& table, const lm::json::Value& json, const std::vector<std::string>& notes) {
  switch (format_) {
    case Format::kJson:
      out_ << lm::json::ToText(WithSerialText(json)) << "\n";
      break;
    case Format::kCsv:
      WriteCsv(out_, table);
      break;
    case Format::kTable:
      WriteAligned(out_, table);
      for (const auto& note : notes) out_ << note << "\n";
      break;
  }
  out_.flush();
}

std::string NumberText(const lm::json::Value& v) {
  if (v.is<double>()) {
    const double d = v.get<double>();
    if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15) return std::to_string(static_cast<long long>(d));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4g", d);
    return buf;
  }
  if (v.is<std::string>()) return v.get<std::string>();
  if (v.is<bool>()) return v.get<bool>() ? "true" : "false";
  if (v.is<picojson::null>()) return "";
  return lm::json::ToText(v);
}

Table TableOf(const lm::json::Value& table) {
  Table out;
  for (const auto& c : MemberArray(table, "header")) out.columns.push_back(NumberText(c));
  for (const auto& row : MemberArray(table, "rows")) {
    std::vector<std::string> cells;
    if (row.is<lm::json::Array>()) {
      for (const auto& cell : row.get<lm::json::Array>()) cells.push_back(NumberText(cell));
    }
    out.rows.push_back(std::move(cells));
  }
  return out;
}

std::string MemberText(const lm::json::Value& object, const std::string& key) {
  if (!object.is<lm::json::Object>()) return "";
  const auto& o = object.get<lm::json::Object>();
  auto it = o.find(key);
  return it == o.end() ? "" : NumberText(it->second);
}

const lm::json::Value& MemberValue(const lm::json::Value& object, const std::string& key) {
  static const lm::json::Value null;
  return object.is<lm::json::Object>() && object.contains(key) ? object.get(key) : null;
}

const lm::json::Array& MemberArray(const lm::json::Value& object, const std::string& key) {
  static const lm::json::Array empty;
  const lm::json::Value& member = MemberValue(object, key);
  return member.is<lm::json::Array>() ? member.get<lm::json::Array>() : empty;
}

std::string LocalTimeText(int64_t ms, bool withZone) {
  const std::time_t t = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  if (!localtime_r(&t, &tm)) return std::to_string(ms);
  char buf[48];
  std::strftime(buf, sizeof buf, withZone ? "%Y-%m-%d %H:%M:%S %Z" : "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

std::string CountOf(size_t n, const std::string& noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

}  // namespace linkmeter::cli
