#pragma once
// The device command catalogue: one row per mnemonic, read by the protocol
// classes, the page handlers and their registration, the simulator's answer
// tables, linkmeter-cli --list and the generated API page. Rows are kept in
// ascending order of mnemonic, which is the order they are registered in.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "vantor/com/catalogue/BaseUnitRows.h"
#include "vantor/com/catalogue/RadioRows.h"
#include "vantor/com/catalogue/SettingsRows.h"
#include "vantor/com/catalogue/TransferRows.h"

namespace com::vantor::catalogue {

namespace detail {
template <std::size_t... N>
constexpr auto Sorted(const std::array<CommandRow, N>&... tables) {
  std::array<CommandRow, (N + ...)> rows{};
  std::size_t at = 0;
  ((std::copy(tables.begin(), tables.end(), rows.begin() + at), at += N), ...);
  std::sort(rows.begin(), rows.end(), [](const CommandRow& a, const CommandRow& b) { return a.name < b.name; });
  return rows;
}
}  // namespace detail

// Every row, in registration order.
inline constexpr auto kCatalogue = detail::Sorted(base_unit::kRows, radio::kRows, settings::kRows, transfer::kRows);

// The row of a mnemonic; a name without a row does not compile, as every
// use is a constant expression (constexpr rather than consteval: clang 14,
// which builds the fuzz targets, rejects consteval calls with a template's
// mnemonic argument).
constexpr const CommandRow& Row(Mnemonic name) {
  for (const CommandRow& row : kCatalogue) {
    if (row.name == name.View()) return row;
  }
  throw "no catalogue row for this mnemonic";
}

// The row of a mnemonic at run time; nullptr when there is none.
const CommandRow* FindRow(std::string_view name);
// The argument key of a row, or nullptr.
const ArgDef* FindArg(const CommandRow& row, std::string_view key);

// A value read from the page: a number, bytes (byte arrays and text after
// conversion to the ANSI code page), or the integer members of a packed
// object in the packing's order.
using PackedValues = std::vector<std::int64_t>;
using ArgValue = std::variant<std::int64_t, std::string, PackedValues>;

// Whether a value passes the key's check (and is of the reader's kind).
bool Accepts(const ArgDef& def, const ArgValue& value);
// The bytes of the send field for an accepted value.
std::string Encode(const ArgDef& def, const ArgValue& value);

// The members of a packed field again; none when the field is not made of
// the packing's digits (wrong length, or not digits).
std::optional<PackedValues> Unpack(Packing packing, std::string_view field);

// Page names of a row.
std::string QueryName(const CommandRow& row);   // "ComTcmdEWLEX"
std::string ScriptName(const CommandRow& row);  // "app.com.tcmdEWLEX"

// One line per argument key for --list: "CH integer required 0..255 -> CH".
std::string DescribeArg(const ArgDef& def);
std::string DescribeCheck(const ArgDef& def);
const char* FamilyName(Family family);

}  // namespace com::vantor::catalogue
