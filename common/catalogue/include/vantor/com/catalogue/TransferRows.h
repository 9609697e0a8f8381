#pragma once
// Rows of the base unit's registration transfer (RSETF, WSETF: the image in
// blocks) and its clock (RDTIM, WDTIM: busy answers polled). Each has a
// conversation class of its own.

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue::transfer {

using namespace status;

// Registration reads work on every base unit that keeps an image; writes
// only on the models that store one written from the PC.
inline constexpr std::array<int, 5> kRsetfModels{41, 42, 78, 80, 81};
inline constexpr std::array<int, 2> kWsetfModels{78, 80};

inline constexpr std::array<ResultDef, 2> kRsetfResults{{{"SAVE", "SAVE", Member::kNumber, When::kPresent},
                                                          {"VER", "VER", Member::kNumber, When::kPresent}}};
inline constexpr std::array<ArgDef, 5> kWsetfArgs{{
    {"regInfo", Reader::kObject, kOpt, Any(), {}, Encoding::kKept, {}},
    IntKept("OFFSET", kOpt, AtLeast(1)),
    IntKept("SAVE", kOpt, AtLeast(1)),
    BytesKept("SendData", kOpt, Any()),
    IntKept("SendBufferSize", kOpt, AtLeast(1)),
}};

inline constexpr std::array<ResultDef, 7> kRdtimResults{{
    {"DTIME", "DTIME", Member::kText, When::kPresent}, {"FORM", "FORM", Member::kText, When::kPresent},
    {"DIFF", "DIFF", Member::kText, When::kPresent},   {"ZONE", "ZONE", Member::kText, When::kPresent},
    {"SYNC", "SYNC", Member::kNumber, When::kPresent}, {"BIAS", "BIAS", Member::kNumber, When::kPresent},
    {"DST", "DST", Member::kText, When::kPresent},
}};
inline constexpr std::array<ArgDef, 6> kWdtimArgs{Text("DST", kOpt, Exactly(26)), Text("FORM", kOpt, AtMost(32)),
                                                   Text("DIFF", kOpt, Exactly(5)), Text("ZONE", kOpt, AtMost(64)),
                                                   Int("SYNC", kOpt, Range(0, 2)), IntKept("TimeOffset", kOpt, Any())};

// A clock that stays busy longer than this ends the call as timed out.
inline constexpr Timing kClockTiming{.intervalMs = 200, .limitMs = 10000};

inline constexpr std::array<CommandRow, 4> kRows{{
    {"RDTIM", kClockOk, Family::kPlain, {}, kRdtimResults, {},
     "asked again every 200 ms while the unit answers 0003-0090 (busy), at most 10000 ms, then a time-out; "
     "result member TimeOffset = DTIME (the unit's wall clock) - BIAS minutes - PC time, in seconds; success: "
     "a 0003 STATUS other than busy, 0001-0003 or 0002-0000",
     "reads the base unit's clock and time settings", kClockTiming, {}},
    {"RSETF", kSettingsOk, Family::kPlain, {}, kRsetfResults, {},
     "OFFSET (bytes received so far) and SIZE \"1024\" on every request; each DATA goes to the registration "
     "reader until it is complete or fails, or an answer is not 0002-0000 with data (0002-0001: no more); "
     "success needs the whole registration, which is returned as the result member regInfo, and every DATA "
     "byte in order (the image as read) as DATA",
     "reads the registration information", {}, kRsetfModels},
    {"WDTIM", kClockOk, Family::kPlain, kWdtimArgs, {}, {},
     "UTC = PC unix time + TimeOffset (0 when not given), taken again for every request; busy answers "
     "polled as RDTIM",
     "sets the base unit's clock and time settings", kClockTiming, {}},
    {"WSETF", kSettingsOk, Family::kPlain, kWsetfArgs, {}, {},
     "regInfo (converted, a conversion error fails with its number) or SendData in blocks of SendBufferSize "
     "(1024) bytes at OFFSET (0) + bytes sent, 1 ms apart; with SAVE: SAVE \"0\" first and SAVE last; the "
     "first refused frame ends it; with neither bytes nor SAVE nothing is sent (-1 'SendData' is not found.)",
     "writes the registration information", {.intervalMs = 1}, kWsetfModels},
}};

}  // namespace com::vantor::catalogue::transfer
