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
          {{"-2", "a member of the wrong type or out of range"},
           {"0", "no network interface could send the search (every send refused); cancel"}},
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
  };
}

}  // namespace linkmeter::apidoc::detail
