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

// A settings block of the base unit: the read answering its fields and the
// write changing them. The name is the one the page gives the block's form;
// `form`: the page offers it as a form of fields (the radio identity and the
// user data block are not edited that way). In the order the forms show.
struct SettingsBlock {
  std::string_view name;
  std::string_view read;
  std::string_view write;
  bool form = true;
};

inline constexpr std::array<SettingsBlock, 12> kSettingsBlocks{{
    {"unit", "RUINF", "WUINF"},       {"network", "RNETP", "WNETP"},         {"servers", "RNSRV", "WNSRV"},
    {"proxy", "RPRXY", "WPRXY"},      {"clock", "RDTIM", "WDTIM"},           {"wlan", "RWLAN", "WWLAN"},
    {"current", "RCURP", "WCURP"},    {"recorded", "RSUCP", "WSUCP"},        {"encoding", "RENCD", "WENCD"},
    {"warnings", "RWARP", "WWARP"},   {"radio", "RRUST", "WRUST", false},    {"userdata", "RUSRD", "WUSRD", false},
}};

namespace detail {
// Every block names rows that exist (Row does not compile otherwise).
constexpr bool BlocksHaveRows() {
  for (const SettingsBlock& b : kSettingsBlocks) {
    if (Row(Mnemonic(b.read)).args.size() != 0 || Row(Mnemonic(b.write)).args.empty()) return false;
  }
  return true;
}
static_assert(BlocksHaveRows(), "a settings block's read takes no keys and its write some");
}  // namespace detail

// The fields a write puts on the wire from the page's keys, in reading
// order: each sent key's field and the field it also sets; keys the
// conversation uses itself are left out.
std::vector<std::string_view> SentFields(const CommandRow& row);

// The radio surveys: the rows answering the route's signal levels, in
// catalogue order (the first is the usual one).
std::vector<const CommandRow*> SurveyRows();

// The keys the catalogue marks secret (passwords, keys), sorted: what the
// records, exports, logs and printed answers hide. A read answers a block's
// values under the keys its write takes, so the marks cover both.
std::vector<std::string_view> SecretKeys();
bool IsSecretKey(std::string_view key);

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
