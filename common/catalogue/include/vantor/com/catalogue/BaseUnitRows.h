#pragma once
// Rows of the commands a base unit answers itself: its state, the logger on
// its optical port, recorded data, event log, trend records, LAN test and
// inspection.

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue::base_unit {

using namespace status;

inline constexpr std::array<ArgDef, 1> kEinitArgs{Text("MODE", kReq, Words("FACTORY", "GSM", "RESTART"))};
inline constexpr std::array<ArgDef, 5> kEiregArgs{
    Bytes("ID", kReq, Exactly(8)), Text("NAME", kReq, AtMost(8), "NAME", Encoding::kPadded),
    Int("NUM", kReq, Range(1, 250)), Int("CH", kReq, Range(0, 255)), Int("BAND", kOpt, Range(0, 7))};
inline constexpr std::array<FixedField, 1> kModeOne{{{"MODE", "1"}}};
inline constexpr std::array<FixedField, 1> kActOne{{{"ACT", "1"}}};
inline constexpr std::array<FixedField, 1> kActZero{{{"ACT", "0"}}};
// A 64-byte record to write; without it the command reads (ACT "1").
inline constexpr std::array<ArgDef, 1> kRecordArgs{
    AlsoSets(Bytes("SendData", kOpt, Exactly(64), "DATA"), "ACT", "0")};
inline constexpr std::array<ResultDef, 1> kRecvDataOnSuccess{{{"RecvData", "DATA", Member::kBytes, When::kSuccess}}};
inline constexpr std::array<ResultDef, 1> kDataPresent{{{"DATA", "DATA", Member::kBytes, When::kPresent}}};
inline constexpr std::array<ResultDef, 2> kSerialResults{{{"CODE", "CODE", Member::kHexNumber, When::kPresent},
                                                           {"SER", "SER", Member::kHex8, When::kPresent}}};
inline constexpr std::array<ArgDef, 2> kEisohArgs{Int("TIME", kOpt, Range(0, 65535)),
                                                   Bytes("SendData", kOpt, MinLength(1), "DATA")};
inline constexpr std::array<ArgDef, 2> kEisucArgs{IntKept("MODE", kOpt, Range(0, 2)),
                                                   IntKept("RANGE", kOpt, AtLeast(0))};
inline constexpr std::array<ResultDef, 1> kRecorded{{{"Header", "DATA", Member::kRecorded, When::kSuccess}}};
inline constexpr std::array<ArgDef, 1> kEiwrsArgs{Int("MODE", kReq, Range(0, 1))};
inline constexpr std::array<ArgDef, 3> kElogsArgs{Int("MODE", kReq, Range(0, 1)), IntKept("NUM", kOpt, Range(-1, 9999)),
                                                   IntKept("Limit", kOpt, AtLeast(-1))};
inline constexpr std::array<ResultDef, 1> kLogs{{{"logs", "DATA", Member::kLogs, When::kPresent}}};
inline constexpr std::array<ArgDef, 2> kEtlanArgs{Int("ACT", kReq, Range(0, 1)), Int("MODE", kReq, Range(0, 2))};
inline constexpr std::array<ResultDef, 5> kTrendResults{{{"MAX", "MAX", Member::kNumber, When::kPresent},
                                                          {"INT", "INT", Member::kNumber, When::kPresent},
                                                          {"START", "START", Member::kNumber, When::kPresent},
                                                          {"UTC", "UTC", Member::kNumber, When::kPresent},
                                                          {"DATA", "DATA", Member::kBytes, When::kPresent}}};
inline constexpr std::array<ArgDef, 2> kKensaArgs{Int("CMD", kReq, Any()), Bytes("SendData", kReq, Any(), "DATA")};

inline constexpr std::array<CommandRow, 14> kRows{{
    {"EBSTS", kSettingsOk, Family::kPlain, {}, {}, {}, {}, "the base unit's state", {}, {}},
    {"EINIT", kOpticalOk, Family::kPlain, kEinitArgs, {}, {}, {}, "factory settings, modem reset or restart", {}, {}},
    {"EIREG", kOpticalOk, Family::kPlain, kEiregArgs, {}, {}, {}, "registers the logger on the optical port", {}, {}},
    {"EIRSP", kOpticalOk, Family::kPlain, {}, {}, kModeOne, {}, "restarts the logger on the optical port", {}, {}},
    {"EISCL", kOpticalOk, Family::kPlain, kRecordArgs, kRecvDataOnSuccess, kActOne, {},
     "writes (SendData) or reads the logger's 64-byte scale block", {}, {}},
    {"EISER", kOpticalOk, Family::kPlain, {}, kSerialResults, {}, {}, "the logger's model code and serial number",
     {}, {}},
    {"EISET", kOpticalOk, Family::kPlain, kRecordArgs, kDataPresent, kActOne,
     "with SendData: writes the settings record, then (bit 4 of byte 30) reads it back every 2000 ms until it "
     "matches; more than 10000 ms ends with code 500 \"TcmdEISETValid\", an unexpected phase with 501",
     "reads or writes the logger's 64-byte settings record", {.intervalMs = 2000, .limitMs = 10000}, {}},
    {"EISOH", kOpticalOk, Family::kPlain, kEisohArgs, kDataPresent, {}, {}, "handshake with the logger", {}, {}},
    {"EISUC", kOpticalOk, Family::kPlain, kEisucArgs, kRecorded, {},
     "first request MODE and RANGE, answered with the 64-byte header and SIZE; then MODE \"9\" for each block "
     "until SIZE bytes arrived; three failed blocks in a row (refused, unreadable, or without new bytes) end it "
     "with isSuccess false and a msg that says how many bytes arrived",
     "recorded data of the logger on the optical port", {.followUpTimeoutMs = 10000}, {}},
    {"EIWRS", kOpticalOk, Family::kPlain, kEiwrsArgs, {}, {}, {}, "stops (0) or starts (1) recording", {}, {}},
    {"ELOGS", kSettingsOk, Family::kPlain, kElogsArgs, kLogs, kActZero,
     "first request MODE, ACT \"0\" and NUM (when not negative); with MODE 0 then ACT \"1\" until an answer "
     "without DATA, or until Limit records (above 0) are parsed",
     "the base unit's event log", {}, {}},
    {"ETLAN", kLanTestOk, Family::kPlain, kEtlanArgs, {}, {},
     "with ACT 1: polled with ACT \"1\" every 1000 ms while the answer is 0007-0001", "LAN test",
     {.intervalMs = 1000}, {}},
    {"ETRND", kSettingsOk, Family::kPlain, {}, kTrendResults, kActZero,
     "first request ACT \"0\" (MAX, INT, START, UTC and usually the first DATA), then ACT \"1\" until MAX bytes "
     "arrived; `DATA` is every block's bytes in order, and MAX, INT, START and UTC each come from the answer that "
     "carried them; a refused block, or three answers in a row without new bytes, end it; isSuccess needs all "
     "MAX bytes",
     "the base unit's trend records", {}, {}},
    {"KENSA", kSettingsOk, Family::kPlain, kKensaArgs, kRecvDataOnSuccess, {}, {}, "inspection command", {}, {}},
}};

}  // namespace com::vantor::catalogue::base_unit
