#pragma once
// Rows of the commands a base unit relays by radio to a repeater or a
// remote unit, addressed by channel, ID and route.

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue::radio {

using namespace status;

// Addressing of a survey (MAX hops) and of one far unit (NUM).
inline constexpr std::array<ArgDef, 6> kSurvey{
    Int("CH", kReq, Range(0, 255)),      Bytes("ID", kReq, Exactly(8)),       Int("MAX", kOpt, Range(0, 255)),
    Bytes("RELAY", kOpt, Any(), "RELAY", Encoding::kRelay), Int("ROUTE", kOpt, Range(0, 1)),
    Int("BAND", kOpt, Range(0, 7))};
inline constexpr std::array<ArgDef, 6> kUnit{
    Int("CH", kReq, Range(0, 255)),      Bytes("ID", kReq, Exactly(8)),       Int("NUM", kOpt, Range(0, 255)),
    Bytes("RELAY", kOpt, Any(), "RELAY", Encoding::kRelay), Int("ROUTE", kOpt, Range(0, 1)),
    Int("BAND", kOpt, Range(0, 7))};

inline constexpr auto kBlockWrite = Join(kUnit, std::array{Bytes("DATA", kReq, AtMost(64))});
inline constexpr auto kEwptmArgs =
    Join(kUnit, std::array{IntKept("DiffTime", kReq, Range(-43200, 43200)), IntKept("TimeOffset", kReq, Any())});
inline constexpr auto kEwpwwArgs = Join(kUnit, std::array{Bytes("DATA", kReq, MinLength(16))});
inline constexpr auto kEwrscArgs = Join(kUnit, std::array{Int("FORMAT", kReq, Range(0, 5))});
inline constexpr auto kEwstwArgs =
    Join(kUnit, std::array{Int("FORMAT", kReq, Range(0, 1)), Bytes("DATA", kReq, AtMost(64))});
inline constexpr auto kEwsucArgs =
    Join(kUnit, std::array{Int("MODE", kReq, Range(0, 2)), Int("RANGE", kReq, AtLeast(0))});

inline constexpr std::array<ResultDef, 1> kSignals{{{"Signals", "LEVEL", Member::kSignals, When::kPresent}}};
inline constexpr std::array<ResultDef, 1> kData{{{"DATA", "DATA", Member::kBytes, When::kPresent}}};
inline constexpr std::array<ResultDef, 3> kCurrent{{{"TIME", "TIME", Member::kNumber, When::kPresent},
                                                     {"DATA", "DATA", Member::kBytes, When::kPresent},
                                                     {"LAST", "LAST", Member::kNumber, When::kPresent}}};
inline constexpr std::array<ResultDef, 1> kRecorded{{{"Header", "DATA", Member::kRecorded, When::kSuccess}}};

inline constexpr std::array<CommandRow, 17> kRows{{
    {"EWLEX", kRadioAccepted, Family::kWireless, kSurvey, kSignals, {}, {},
     "radio survey: level and battery of every unit on the route", {}, {}},
    {"EWLRU", kRadioAccepted, Family::kWireless, kSurvey, kSignals, {}, {},
     "radio survey of a remote unit: level and battery of every unit on the route", {}, {}},
    {"EWOLR", kRadioAccepted, Family::kWireless, kUnit, kData, {}, {}, "reads a far unit's OL block", {}, {}},
    {"EWOLW", kRadioAccepted, Family::kWireless, kBlockWrite, {}, {}, {}, "writes a far unit's OL block", {}, {}},
    {"EWPLR", kRadioAccepted, Family::kWireless, kUnit, kData, {}, {}, "reads a far unit's PL block", {}, {}},
    {"EWPLW", kRadioAccepted, Family::kWireless, kBlockWrite, {}, {}, {}, "writes a far unit's PL block", {}, {}},
    {"EWPSP", kRadioAccepted, Family::kWireless, kUnit, {}, {}, {}, "pings a far unit", {}, {}},
    {"EWPSR", kRadioAccepted, Family::kWireless, kUnit, kData, {}, {}, "reads a far unit's PS block", {}, {}},
    {"EWPSW", kRadioAccepted, Family::kWireless, kBlockWrite, {}, {}, {}, "writes a far unit's PS block", {}, {}},
    {"EWPTM", kRadioAccepted, Family::kWireless, kEwptmArgs, {}, {},
     "DATA is 12 bytes: the PC's Unix time + TimeOffset (low 32 bits), four 0x00 bytes, DiffTime (signed 32 "
     "bits), all little-endian",
     "sets a far unit's clock", {}, {}},
    {"EWPWR", kRadioAccepted, Family::kWireless, kUnit, kData, {}, {}, "reads a far unit's PW block", {}, {}},
    {"EWPWW", kRadioAccepted, Family::kWireless, kEwpwwArgs, {}, {}, {}, "writes a far unit's PW block", {}, {}},
    {"EWRSC", kRadioAccepted, Family::kWireless, kEwrscArgs, kCurrent, {}, {}, "a far unit's current values", {},
     {}},
    {"EWRSP", kRadioAccepted, Family::kWireless, kUnit, {}, {}, {}, "restarts a far unit", {}, {}},
    {"EWSTR", kRadioAccepted, Family::kWireless, kUnit, kData, {}, {}, "reads a far unit's settings record", {},
     {}},
    {"EWSTW", kRadioAccepted, Family::kWireless, kEwstwArgs, {}, {},
     "after an accepted write with bit 4 of byte 30 set, the whole request is sent again with ACT \"1\" every "
     "2000 ms until the record read back matches; more than 10000 ms of read-back ends with code 520 "
     "\"TcmdEWSTWValid\", an unexpected phase with 521; once the cancel frame (ACT \"2\") went out the write "
     "ends cancelled, whatever the later polls answer, and no read-back follows",
     "writes a far unit's settings record and verifies it", {.intervalMs = 2000, .limitMs = 10000}, {}},
    {"EWSUC", kOpticalOk, Family::kPlain, kEwsucArgs, kRecorded, {},
     "a plain command with the addressing on every request: MODE and RANGE first, then MODE \"9\"; answers "
     "0004-0001 are skipped; the first data answer carries the header (SIZE minus the 16-bit count at its "
     "offset 30) and the first data; pauses 1000 ms until then, 1 ms after; no header within 30000 ms of the "
     "first answer ends it as timed out; after the header, three answers in a row without new bytes end it "
     "with isSuccess false and a msg that says how many bytes arrived",
     "recorded data of a far unit",
     {.recvTimeoutMs = 5000, .followUpTimeoutMs = 10000, .intervalMs = 1000, .settledIntervalMs = 1,
      .limitMs = 30000},
     {}},
}};

}  // namespace com::vantor::catalogue::radio
