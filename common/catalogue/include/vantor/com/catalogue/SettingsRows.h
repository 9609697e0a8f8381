#pragma once
// Rows of the base unit's own settings blocks: each block has a read (R…)
// that sends no fields and a write (W…) that sends only the keys given.

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue::settings {

using namespace status;

inline constexpr std::array<ArgDef, 3> kWuinfArgs{Text("NAME", kOpt, Length(1, 32)), Text("DESC", kOpt, AtMost(64)),
                                                   Int("UNITS", kOpt, Range(0, 1))};
inline constexpr std::array<ResultDef, 12> kRuinfResults{{
    {"SER", "SER", Member::kText, When::kPresent},     {"NAME", "NAME", Member::kText, When::kPresent},
    {"DESC", "DESC", Member::kText, When::kPresent},   {"UNITS", "UNITS", Member::kNumber, When::kPresent},
    {"FWV", "FWV", Member::kText, When::kPresent},     {"GSMV", "GSMV", Member::kText, When::kPresent},
    {"GSMHW", "GSMHW", Member::kText, When::kPresent}, {"RFV", "RFV", Member::kText, When::kPresent},
    {"NETV", "NETV", Member::kText, When::kPresent},   {"IMEI", "IMEI", Member::kText, When::kPresent},
    {"CH1", "CH1", Member::kText, When::kPresent},     {"CH2", "CH2", Member::kText, When::kPresent},
}};

inline constexpr std::array<CommandRow, 2> kRows{{
    {"RUINF", kSettingsOk, Family::kPlain, {}, kRuinfResults, {}, {}, "reads the base unit's name, description and versions",
     {}, {}},
    {"WUINF", kSettingsOk, Family::kPlain, kWuinfArgs, {}, {}, {}, "writes the base unit's name, description and units",
     {}, {}},
}};

}  // namespace com::vantor::catalogue::settings
