// Descriptions of the unit functions: connections, searches and the
// signal-level measurement.
#include "DescribedTables.h"
#include "DocBuilder.h"

namespace linkmeter::apidoc::detail {
namespace {

constexpr const char* kUnits = "Units";
const ArgDoc kComInfo{"comInfo", "object", "required",
                      "the unit as a search lists it: com 1 (USB) with descr, model, name, serial; com 2 (LAN) with "
                      "ipAddr, port, lanPassword, descr, model, name, serial, mac; com 3 (LAN by address) with "
                      "ipAddr, port, lanPassword"};
const FailureDoc kComInfoBad{"-1, -2", "comInfo missing or invalid: \"Invalid arguments : 'comInfo' value is "
                                       "invalid.(WatchUsbInfo:<n>)'\" and the like"};
constexpr const char* kValues = "Display values";
const ArgDoc kChType{"chType", "integer", "required", "a channel-type code, e.g. ch1.chType of a registration record"};
const ArgDoc kRaw{"raw", "integer", "required", "0..65535; 0..4294967295 for the 32-bit pulse types"};
const FailureDoc kChTypeBad{"-1, -2", "chType missing or not an integer"};
const FailureDoc kRawBad{"-3, -4", "raw missing, or not an integer in range"};
const FailureDoc kUnknownUnit{"0", "\"Invalid arguments\": a unit this program does not talk to"};

}  // namespace

std::vector<FunctionDoc> UnitDocs() {
  return {
      Doc("app.com.open", kUnits, "", "Opens the connection to a base unit and keeps it for the following commands.",
          {kComInfo, {"retry", "integer", "optional", "0..255"}}, "{comInfo}: the argument's comInfo.",
          {kComInfoBad, kUnknownUnit, {"code1, code2", "the connection failed: msg \"fail to open : \" and the reason"}},
          "app.com.open({comInfo: unit}, () => ready(), e => alert(e.msg));"),
      Doc("app.com.close", kUnits, "", "Closes the connection to a base unit.", {kComInfo}, "{comInfo}.",
          {kComInfoBad, kUnknownUnit}, "app.com.close({comInfo: unit});"),
      Doc("app.com.isOpen", kUnits, "", "Whether the page holds an open connection to the unit.", {kComInfo},
          "true or false (false for a unit never seen).", {kComInfoBad}, "app.com.isOpen({comInfo: unit}, open => …);"),
      Doc("app.com.searchUSB", kUnits, "", "Lists the base units on USB.",
          {{"force", "boolean", "optional", "true asks the units again"}, {"vlb1", "boolean", "optional", "model VL-B1"},
           {"vlb2", "boolean", "optional", ""}, {"vlb5", "boolean", "optional", ""}, {"vlb3", "boolean", "optional", ""}},
          "An array of comInfo entries {com: 1, descr, model, name, serial, port}.", {{"-2", "a flag is not a boolean"}},
          "app.com.searchUSB({vlb1: true, vlb2: true, vlb5: true}, units => list(units));"),
      Doc("app.com.searchLAN", kUnits, "", "Lists the base units that answer a search on the local network.",
          {{"udpSendPort", "integer", "optional", "0..65535, default 62501"}, {"udpRecvPort", "integer", "optional", "0..65535, default 62502"},
           {"udpTimeoutSec", "integer", "optional", "default 2"}},
          "An array of {com: 2, descr, model, name, serial, ipAddr, port, mac}; add lanPassword to use one as comInfo.",
          {{"-2", "a member of the wrong type or out of range"}},
          "app.com.searchLAN({}, units => units.forEach(u => u.lanPassword = askPassword(u)));"),
      Doc("app.com.searchLogger", kUnits, "", "Finds a remote unit placed on a USB base unit's optical port.",
          {{"serial", "string", "optional", "the logger's serial, hexadecimal"}, {"comInfo", "object", "optional", "the base unit to look at"}},
          "An array of {serial, model, comInfo, optical: true, usb: false}.", {{"-2", "a member of the wrong type"}},
          "app.com.searchLogger({serial: '00BA0102'}, found => …);"),
      Doc("app.com.tcmdGetRsLevel", kUnits, "", "Measures the radio signal level of each channel at a base unit.",
          {kComInfo, {"freqs", "array of integers", "required", "each 0..255"}},
          "An array of {freq, level} in the order of freqs; level 0..255.",
          {kComInfoBad, {"-2", "freqs not an array, or an element out of range: \"'freqs[<i>]' value is invalid.\""},
           {"-22", "a measurement failed: msg names the command and its STATUS"}, {"0", "an answer without a level"}},
          "app.com.tcmdGetRsLevel({comInfo: unit, freqs: [5, 12, 20]}, levels => chart(levels));"),
      Doc("linkmeter.chtype.format", kValues, "(chType, raw[, withUnit])", "A channel value as display text.",
          {kChType, kRaw, {"withUnit", "boolean", "optional", "false leaves the unit off"}},
          "The text, e.g. \"25.0 °C\"; \"----\" for a raw value that means no value.",
          {kChTypeBad, kRawBad, {"-5", "withUnit is not a boolean"}}, "linkmeter.chtype.format(13, 1250); // \"25.0 °C\""),
      Doc("linkmeter.chtype.toReal", kValues, "(chType, raw)", "A channel value in display units.", {kChType, kRaw},
          "A number, or null for a raw value that means no value.", {kChTypeBad, kRawBad},
          "const celsius = linkmeter.chtype.toReal(13, 250); // 25"),
      Doc("linkmeter.chtype.fromReal", kValues, "(chType, real)", "The raw value of a display value, clamped to the type's limits.",
          {kChType, {"real", "number", "required", ""}}, "The raw value.", {kChTypeBad, {"-3, -4", "real missing or not a number"}},
          "const raw = linkmeter.chtype.fromReal(13, -5.5);"),
      Doc("linkmeter.chtype.describe", kValues, "(chType)", "What a channel type holds.", {kChType},
          "{chType, known, width, unit, minRaw, maxRaw, min, max}: width in bytes per value, unit without a leading space.",
          {kChTypeBad}, "const {unit, min, max} = linkmeter.chtype.describe(208);"),
      Doc("linkmeter.isDemo", kValues, "()", "Whether the program runs its built-in demo site.", {},
          "true or false.", {}, "if (linkmeter.isDemo()) showDemoMark();"),
      Doc("linkmeter.systemLanguage", kValues, "()",
          "The user's system language, read by the program from LANGUAGE, LC_ALL, LC_MESSAGES and LANG as the C "
          "library reads them (the engine's own locale stays ja-JP).",
          {}, "\"ja\" when the environment names Japanese, else \"en\".", {},
          "setLanguage(saved || linkmeter.systemLanguage());"),
  };
}

}  // namespace linkmeter::apidoc::detail
