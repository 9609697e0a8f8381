#pragma once
// How an option names a unit: every unit option (--unit, --remote, --site,
// the alarms' --unit and --hop) takes the unit's name, a label the program
// prints for it, or its serial in any of the forms the program shows
// ("009C0021", "9c0021"). One resolver for every subcommand, given the units
// that subcommand knows (the base units found, the registration's units, the
// sites of the site records).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace linkmeter::cli {

// The serial a text gives, as the number the site records key units by:
// one to eight hex digits in either case; nullopt for anything else.
std::optional<int64_t> SerialNumber(const std::string& text);
// "009C0021": eight upper-case hex digits.
std::string SerialText(int64_t serial);

// One unit an option may name.
struct NamedUnit {
  std::string serial;               // eight hex digits, as the program shows it
  std::vector<std::string> names;   // its name and the labels printed for it
  std::string where;                // shown beside it in lists ("USB", an address), may be empty
};

struct UnitPick {
  std::optional<size_t> index;  // the unit named, into the candidates
  std::string serial;           // its serial (eight hex digits) when one is named
  bool ambiguous = false;       // several units answer to the text
  std::string error;            // why none, with the candidates to choose from
};

// The unit `wanted` names among `units`: the one whose serial it gives or
// whose name or label it is (exactly, else ignoring case). A text that
// answers to several units is ambiguous, and the error lists them. `what`
// names the kind in messages ("base unit", "site"). With
// `takeUnknownSerial`, a serial no unit has is taken as it is (index empty),
// for a unit the program has not seen yet.
UnitPick PickUnit(const std::vector<NamedUnit>& units, const std::string& wanted, std::string_view what,
                  bool takeUnknownSerial = false);

// "RIVERSIDE (009C0021)", "GREENHOUSE (009A0011, USB)".
std::string DescribeUnit(const NamedUnit& unit);

}  // namespace linkmeter::cli
