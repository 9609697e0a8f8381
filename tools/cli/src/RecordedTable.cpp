#include "linkmeter/cli/RecordedTable.h"

#include <ctime>

#include "vantor/detail/VtChTypeBase.h"

namespace linkmeter::cli {
namespace {

constexpr size_t kHeaderBytes = 64;

std::vector<uint8_t> Bytes(const lm::json::Value& answer, const std::string& key) {
  std::vector<uint8_t> out;
  if (!answer.is<lm::json::Object>() || !answer.contains(key) || !answer.get(key).is<lm::json::Array>()) return out;
  for (const auto& b : answer.get(key).get<lm::json::Array>()) out.push_back(static_cast<uint8_t>(b.is<double>() ? b.get<double>() : 0));
  return out;
}

uint32_t U16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

uint32_t RawAt(const std::vector<uint8_t>& b, size_t at, int width) {
  if (width == 1) return b[at];
  if (width == 2) return U16(b, at);
  if (width == 4) return U16(b, at) + U16(b, at + 2) * 65536u;
  return 0;
}

std::string TimeText(double seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &tm);
  return buf;
}

// The unit text a type appends to the value `raw` ("" when none).
std::string UnitAt(const vantor::detail::VtChTypeBase& type, uint16_t raw) {
  const std::string with = type.Text(raw, true), without = type.Text(raw, false);
  std::string unit = with.size() > without.size() ? with.substr(without.size()) : "";
  while (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
  return unit;
}

// The unit of a type's column: that of its value 0 (the lowest raw value
// may be a no-value marker, which shows no unit).
std::string UnitOf(const vantor::detail::VtChTypeBase& type) {
  uint16_t sample = type.IntToRaw(0);
  if (!type.IsInRange(sample)) sample = type.StepUp(type.MinRaw());
  return UnitAt(type, sample);
}

// A value under its column's unit; one shown in another unit (klxh under
// lxh) carries its own.
std::string CellText(const vantor::detail::VtChTypeBase& type, uint16_t raw, const std::string& columnUnit) {
  if (type.IsNoValue(raw)) return "";
  return type.Text(raw, UnitAt(type, raw) != columnUnit);
}

}  // namespace

RecordedTable DecodeRecorded(const lm::json::Value& answer) {
  RecordedTable out;
  const auto header = Bytes(answer, "Header");
  const auto data = Bytes(answer, "Data");
  if (header.size() < kHeaderBytes) {
    out.error = "the download's header is too short";
    return out;
  }
  std::vector<int> chTypes{header[42]};
  if (header[43] != 0) chTypes.push_back(header[43]);
  const uint32_t interval = U16(header, 0);
  int recordWidth = 0;
  out.table.columns = {"time", "unix time"};
  for (size_t k = 0; k < chTypes.size(); ++k) {
    const auto& type = vantor::detail::VtChTypeBase::FromCode(chTypes[k]);
    recordWidth += type.Width();
    const std::string unit = UnitOf(type);
    out.table.columns.push_back("ch" + std::to_string(k + 1) + (unit.empty() ? "" : " (" + unit + ")"));
  }
  if (recordWidth <= 0) {
    out.error = "the download's channels have no width";
    return out;
  }
  const size_t count = data.size() / static_cast<size_t>(recordWidth);
  const double first = answer.contains("FirstDataTime") && answer.get("FirstDataTime").is<double>()
                           ? answer.get("FirstDataTime").get<double>() : 0;
  for (size_t i = 0; i < count; ++i) {
    const double at = first + static_cast<double>(i) * interval;
    std::vector<std::string> row{TimeText(at), NumberText(lm::json::Number(at))};
    size_t offset = i * static_cast<size_t>(recordWidth);
    for (int chType : chTypes) {
      const auto& type = vantor::detail::VtChTypeBase::FromCode(chType);
      const uint32_t raw = RawAt(data, offset, type.Width());
      offset += static_cast<size_t>(type.Width());
      row.push_back(CellText(type, static_cast<uint16_t>(raw), UnitOf(type)));
    }
    out.table.rows.push_back(std::move(row));
  }
  lm::json::Array types;
  for (int c : chTypes) types.push_back(lm::json::Number(c));
  out.decoded = lm::json::MakeObject(
      {{"interval", lm::json::Number(static_cast<int>(interval))}, {"chTypes", lm::json::Value(types)},
       {"count", lm::json::Number(static_cast<int64_t>(count))},
       {"first", count ? lm::json::Number(first) : lm::json::Value()},
       {"last", count ? lm::json::Number(first + static_cast<double>(count - 1) * interval) : lm::json::Value()}});
  return out;
}

}  // namespace linkmeter::cli
