#pragma once
// Rows of the base unit's own settings blocks: each block has a read (R…)
// that sends no fields and a write (W…) that sends only the keys given.

#include "vantor/com/catalogue/Types.h"

namespace com::vantor::catalogue::settings {

using namespace status;

inline constexpr std::array<ArgDef, 3> kWuinfArgs{Text("NAME", kOpt, Length(1, 32)), Text("DESC", kOpt, AtMost(64)),
                                                   Int("UNITS", kOpt, Range(0, 1))};
inline constexpr std::array<ResultDef, 12> kRuinfResults{{
    {"SER", "SER", Member::kHex8, When::kPresent},     {"NAME", "NAME", Member::kText, When::kPresent},
    {"DESC", "DESC", Member::kText, When::kPresent},   {"UNITS", "UNITS", Member::kNumber, When::kPresent},
    {"FWV", "FWV", Member::kText, When::kPresent},     {"GSMV", "GSMV", Member::kText, When::kPresent},
    {"GSMHW", "GSMHW", Member::kText, When::kPresent}, {"RFV", "RFV", Member::kText, When::kPresent},
    {"NETV", "NETV", Member::kText, When::kPresent},   {"IMEI", "IMEI", Member::kText, When::kPresent},
    {"CH1", "CH1", Member::kText, When::kPresent},     {"CH2", "CH2", Member::kText, When::kPresent},
}};

// Mail of current values.
inline constexpr std::array<ArgDef, 9> kCurpArgs{
    Int("ENABLE", kOpt, Range(0, 1)), Int("ROUTE", kOpt, Range(0, 2)),   Int("INT", kOpt, Range(0, 1439)),
    Text("SBJ", kOpt, AtMost(64)),    Text("TO1", kOpt, AtMost(64)),     Text("ATTACH", kOpt, AtMost(64)),
    Text("DIR", kOpt, AtMost(64)),    Text("FNAME", kOpt, AtMost(64)),   Int("BIND", kOpt, Range(0, 1))};
inline constexpr std::array<ArgDef, 2> kEncdArgs{Int("MAIL", kOpt, Range(0, 1)), Int("FTP", kOpt, Range(0, 1))};
inline constexpr std::array<ArgDef, 7> kNetpArgs{
    Text("IP", kOpt, Length(1, 15)),   Text("MASK", kOpt, Length(1, 15)), Text("GW", kOpt, Length(1, 15)),
    Text("DNS1", kOpt, Length(1, 15)), Text("DNS2", kOpt, Length(1, 15)), Int("DHCP", kOpt, Range(0, 1)),
    Secret(Text("PW", kOpt, Length(6, 64)))};
// Servers: each service's address, account and port together.
inline constexpr std::array<ArgDef, 22> kNsrvArgs{
    Text("FTPSV", kOpt, AtMost(64)),  Text("FTPID", kOpt, AtMost(64)),  Secret(Text("FTPPW", kOpt, AtMost(64))),
    Int("FTPPT", kOpt, Range(0, 65535)), Int("PASV", kOpt, Range(0, 1)), Text("SMTPSV", kOpt, AtMost(64)),
    Int("SMTPPT", kOpt, Range(0, 65535)), Int("AUTHEN", kOpt, Range(0, 1)), Text("AUTHID", kOpt, AtMost(64)),
    Secret(Text("AUTHPW", kOpt, AtMost(64))), Int("BEFORE", kOpt, Range(0, 1)), Text("POPSV", kOpt, AtMost(64)),
    Text("POPID", kOpt, AtMost(64)),  Secret(Text("POPPW", kOpt, AtMost(64))),  Int("POPPT", kOpt, Range(0, 65535)),
    Text("FROM", kOpt, AtMost(64)),   Text("DESCF", kOpt, AtMost(64)),  Text("SNTP1", kOpt, AtMost(64)),
    Text("SNTP2", kOpt, AtMost(64)),  Int("SOCPT", kOpt, Range(0, 65535)), Int("UDPPT", kOpt, Range(0, 65535)),
    Int("RESPT", kOpt, Range(0, 65535))};
// Proxies: switch, address and port of each service together.
inline constexpr std::array<ArgDef, 9> kPrxyArgs{
    Int("FTPEN", kOpt, Range(0, 1)),  Text("FTPIP", kOpt, AtMost(64)),  Int("FTPPT", kOpt, Range(0, 65535)),
    Int("MAILEN", kOpt, Range(0, 1)), Text("MAILIP", kOpt, AtMost(64)), Int("MAILPT", kOpt, Range(0, 65535)),
    Int("HTTPEN", kOpt, Range(0, 1)), Text("HTTPIP", kOpt, AtMost(64)), Int("HTTPPT", kOpt, Range(0, 65535))};
// The radio identity the base unit itself uses.
inline constexpr std::array<ArgDef, 4> kRustArgs{Bytes("ID", kOpt, Exactly(8)), Int("NUM", kOpt, Range(0, 250)),
                                                  Int("CH", kOpt, AtLeast(0)), Int("BAND", kOpt, Range(0, 6))};
inline constexpr std::array<int, 1> kRustWriteModels{77};
// Mail of recorded data, with nine report events.
inline constexpr std::array<ArgDef, 16> kSucpArgs{
    Text("ATTACH", kOpt, AtMost(64)),        Int("ENABLE", kOpt, Range(0, 1)),      Int("ROUTE", kOpt, Range(0, 1)),
    Text("SBJ", kOpt, AtMost(64)),           Text("TO1", kOpt, AtMost(64)),         Text("DIR", kOpt, AtMost(64)),
    Text("FNAME", kOpt, AtMost(64)),         Packed("EVT0", kOpt, Packing::kEvent), Packed("EVT1", kOpt, Packing::kEvent),
    Packed("EVT2", kOpt, Packing::kEvent),   Packed("EVT3", kOpt, Packing::kEvent), Packed("EVT4", kOpt, Packing::kEvent),
    Packed("EVT5", kOpt, Packing::kEvent),   Packed("EVT6", kOpt, Packing::kEvent), Packed("EVT7", kOpt, Packing::kEvent),
    Packed("EVT8", kOpt, Packing::kEvent)};
inline constexpr std::array<ArgDef, 1> kUsrdArgs{Bytes("DATA", kReq, AtMost(64))};
// Mail of warnings.
inline constexpr std::array<ArgDef, 14> kWarpArgs{
    Int("ENABLE", kOpt, Range(0, 1)), Int("ROUTE", kOpt, Range(0, 2)), Text("SBJ", kOpt, AtMost(64)),
    Text("BODY", kOpt, AtMost(64)),   Text("TO1", kOpt, AtMost(64)),   Text("TO2", kOpt, AtMost(64)),
    Text("TO3", kOpt, AtMost(64)),    Text("TO4", kOpt, AtMost(64)),   Int("INT", kOpt, Range(0, 1440)),
    Int("FN1", kOpt, Range(0, 255)),  Int("FN2", kOpt, Range(0, 255)), Int("FN3", kOpt, Range(0, 255)),
    Int("FN4", kOpt, Range(0, 255)),  Int("EXT", kOpt, Range(0, 255))};
inline constexpr std::array<ArgDef, 5> kWlanArgs{Int("CH", kOpt, Range(0, 13)), Text("SSID", kOpt, AtMost(32)),
                                                  Int("SEC", kOpt, Range(0, 4)), Secret(Text("WEP", kOpt, Length(1, 26))),
                                                  Secret(Text("PSK", kOpt, Length(1, 64)))};

inline constexpr auto kCurpResults = ReadBack(kCurpArgs);
inline constexpr auto kEncdResults = ReadBack(kEncdArgs);
inline constexpr auto kNetpResults = ReadBack(kNetpArgs);
inline constexpr auto kNsrvResults = ReadBack(kNsrvArgs);
inline constexpr auto kPrxyResults = ReadBack(kPrxyArgs);
inline constexpr auto kRustResults = ReadBack(kRustArgs);
inline constexpr auto kSucpResults = ReadBack(kSucpArgs);
inline constexpr auto kUsrdResults = ReadBack(kUsrdArgs);
inline constexpr auto kWarpResults = ReadBack(kWarpArgs);
inline constexpr auto kWlanResults = ReadBack(kWlanArgs);

inline constexpr std::array<CommandRow, 22> kRows{{
    {"RCURP", kSettingsOk, Family::kPlain, {}, kCurpResults, {}, {}, "reads the current-values mail settings", {}, {}},
    {"RENCD", kSettingsOk, Family::kPlain, {}, kEncdResults, {}, {}, "reads the mail and FTP encoding switches", {},
     {}},
    {"RNETP", kSettingsOk, Family::kPlain, {}, kNetpResults, {}, {}, "reads the network parameters and LAN password",
     {}, {}},
    {"RNSRV", kSettingsOk, Family::kPlain, {}, kNsrvResults, {}, {}, "reads the FTP, mail, time and port settings",
     {}, {}},
    {"RPRXY", kSettingsOk, Family::kPlain, {}, kPrxyResults, {}, {}, "reads the proxy settings", {}, {}},
    {"RRUST", kSettingsOk, Family::kPlain, {}, kRustResults, {}, {}, "reads the base unit's radio identity", {}, {}},
    {"RSUCP", kSettingsOk, Family::kPlain, {}, kSucpResults, {}, {},
     "reads the recorded-data mail settings and report events", {}, {}},
    {"RUINF", kSettingsOk, Family::kPlain, {}, kRuinfResults, {}, {}, "reads the base unit's name, description and versions",
     {}, {}},
    {"RUSRD", kSettingsOk, Family::kPlain, {}, kUsrdResults, {}, {}, "reads the user data block", {}, {}},
    {"RWARP", kSettingsOk, Family::kPlain, {}, kWarpResults, {}, {}, "reads the warning mail settings", {}, {}},
    {"RWLAN", kSettingsOk, Family::kPlain, {}, kWlanResults, {}, {}, "reads the wireless-LAN settings", {}, {}},
    {"WCURP", kSettingsOk, Family::kPlain, kCurpArgs, {}, {}, {}, "writes the current-values mail settings", {}, {}},
    {"WENCD", kSettingsOk, Family::kPlain, kEncdArgs, {}, {}, {}, "writes the mail and FTP encoding switches", {}, {}},
    {"WNETP", kSettingsOk, Family::kPlain, kNetpArgs, {}, {}, {}, "writes the network parameters and LAN password",
     {}, {}},
    {"WNSRV", kSettingsOk, Family::kPlain, kNsrvArgs, {}, {}, {}, "writes the FTP, mail, time and port settings", {},
     {}},
    {"WPRXY", kSettingsOk, Family::kPlain, kPrxyArgs, {}, {}, {}, "writes the proxy settings", {}, {}},
    {"WRUST", kSettingsOk, Family::kPlain, kRustArgs, {}, {}, {}, "writes the base unit's radio identity (model 77)",
     {}, kRustWriteModels},
    {"WSUCP", kSettingsOk, Family::kPlain, kSucpArgs, {}, {}, {},
     "writes the recorded-data mail settings and report events", {}, {}},
    {"WUINF", kSettingsOk, Family::kPlain, kWuinfArgs, {}, {}, {}, "writes the base unit's name, description and units",
     {}, {}},
    {"WUSRD", kSettingsOk, Family::kPlain, kUsrdArgs, {}, {}, {}, "writes the user data block", {}, {}},
    {"WWARP", kSettingsOk, Family::kPlain, kWarpArgs, {}, {}, {}, "writes the warning mail settings", {}, {}},
    {"WWLAN", kSettingsOk, Family::kPlain, kWlanArgs, {}, {}, {}, "writes the wireless-LAN settings", {}, {}},
}};

}  // namespace com::vantor::catalogue::settings
