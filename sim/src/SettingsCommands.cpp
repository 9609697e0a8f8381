// The base unit's named settings blocks: every R… answers the block's stored
// fields, every W… changes the fields it carries (and only the ones the
// block lets a writer change).

#include <ctime>
#include <set>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/SiteFile.h"
#include "lm/Text.h"
#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::sim {
namespace {

namespace cat = com::vantor::catalogue;

// A block as the catalogue has it: a write changes only the fields its row
// sends from the page's keys.
struct BlockDef {
  std::string read;
  std::string write;
  std::set<std::string, std::less<>> writable;
};

const std::vector<BlockDef>& Blocks() {
  static const std::vector<BlockDef> blocks = [] {
    std::vector<BlockDef> out;
    for (const cat::SettingsBlock& b : cat::kSettingsBlocks) {
      const auto fields = cat::SentFields(*cat::FindRow(b.write));
      out.push_back({std::string(b.read), std::string(b.write), {fields.begin(), fields.end()}});
    }
    return out;
  }();
  return blocks;
}

Answer ReadBlock(Exchange& x, const std::string& block) {
  Answer answer = x.unit.blocks[block];
  answer["STATUS"] = status::kSettingsOk.Text();
  return answer;
}

Answer WriteBlock(Exchange& x, const BlockDef& def, Status ok) {
  // UTC: the clock write's conversation adds it to every request.
  for (const auto& [key, value] : x.request.fields) {
    if (!def.writable.count(key) && !(def.write == "WDTIM" && key == "UTC")) {
      return WithStatus(def.write == "WDTIM" ? Status{3, 2} : status::kBadRequest);
    }
  }
  auto& block = x.unit.blocks[def.read];
  for (const auto& [key, value] : x.request.fields) {
    if (key != "UTC") block[key] = value;
  }
  return WithStatus(ok);
}

// "YYYYMMDDhhmmss" of the unit's local time (UTC moved by BIAS minutes).
std::string LocalStamp(std::int64_t unixTime, int biasMinutes) {
  std::time_t t = static_cast<std::time_t>(unixTime + static_cast<std::int64_t>(biasMinutes) * 60);
  std::tm tm{};
  gmtime_r(&t, &tm);
  return lm::text::Format("%04d%02d%02d%02d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                          tm.tm_hour, tm.tm_min, tm.tm_sec);
}

// After a set the clock takes the unit a while to settle (site option
// clockBusyMs); until then both clock commands answer busy.
bool ClockBusy(const Exchange& x) { return x.tick < x.unit.clockBusyUntil; }

Answer ReadClock(Exchange& x) {
  if (ClockBusy(x)) return WithStatus(status::kClockBusy);
  Answer answer = x.unit.blocks["RDTIM"];
  int bias = std::atoi(answer["BIAS"].c_str());
  answer["DTIME"] = LocalStamp(x.UnitTime(), bias);
  answer["STATUS"] = status::kClockOk.Text();
  return answer;
}

Answer WriteClock(Exchange& x, const BlockDef& def) {
  if (ClockBusy(x)) return WithStatus(status::kClockBusy);
  Answer answer = WriteBlock(x, def, status::kClockOk);
  if (answer["STATUS"] != status::kClockOk.Text()) return answer;
  if (x.Has("UTC")) {
    x.unit.clockOffsetSec = x.Number("UTC") - x.now;
    x.unit.clockBusyUntil = x.tick + std::chrono::milliseconds(x.unit.clockBusyMs);
    x.unit.AddLog(5, "Clock set", x.now);
  }
  return answer;
}

}  // namespace

std::map<std::string, com::vantor::FieldMap> FactorySettings(const BaseUnitSpec& design) {
  std::map<std::string, com::vantor::FieldMap> b;
  b["RCURP"] = {{"ENABLE", "0"}, {"ROUTE", "0"}, {"INT", "60"}, {"SBJ", "current"}, {"TO1", ""},
                {"ATTACH", ""}, {"DIR", "/"}, {"FNAME", "cur"}, {"BIND", "0"}};
  b["RENCD"] = {{"MAIL", "0"}, {"FTP", "0"}};
  b["RNETP"] = {{"IP", "192.168.0.100"}, {"MASK", "255.255.255.0"}, {"GW", "192.168.0.1"},
                {"DNS1", "192.168.0.1"}, {"DNS2", ""}, {"DHCP", "1"}, {"PW", "password"}};
  b["RNSRV"] = {{"FTPSV", ""}, {"FTPID", ""}, {"FTPPW", ""}, {"FTPPT", "21"}, {"PASV", "1"},
                {"SMTPSV", ""}, {"SMTPPT", "25"}, {"AUTHEN", "0"}, {"AUTHID", ""}, {"AUTHPW", ""},
                {"BEFORE", "0"}, {"POPSV", ""}, {"POPID", ""}, {"POPPW", ""}, {"POPPT", "110"},
                {"FROM", ""}, {"DESCF", ""}, {"SNTP1", "pool.ntp.org"}, {"SNTP2", ""},
                {"SOCPT", "62500"}, {"UDPPT", "62501"}, {"RESPT", "62502"}};
  b["RPRXY"] = {{"FTPEN", "0"}, {"FTPIP", ""}, {"FTPPT", "8080"}, {"MAILEN", "0"}, {"MAILIP", ""},
                {"MAILPT", "8080"}, {"HTTPEN", "0"}, {"HTTPIP", ""}, {"HTTPPT", "8080"}};
  std::string id(8, '\0');
  if (!design.groups.empty()) id.assign(design.groups[0].id.begin(), design.groups[0].id.end());
  b["RRUST"] = {{"ID", id}, {"NUM", "1"}, {"CH", design.groups.empty() ? "0" : std::to_string(design.groups[0].freq)},
                {"BAND", design.groups.empty() ? "0" : std::to_string(design.groups[0].band)}};
  b["RSUCP"] = {{"ENABLE", "0"}, {"ROUTE", "0"}, {"SBJ", "data"}, {"TO1", ""}, {"ATTACH", "1"},
                {"DIR", "/"}, {"FNAME", "data"}};
  for (int i = 0; i <= 8; ++i) b["RSUCP"]["EVT" + std::to_string(i)] = "000000";
  b["RUINF"] = {{"NAME", lm::text::Utf8ToAnsi(design.name)}, {"DESC", lm::text::Utf8ToAnsi(design.desc)},
                {"UNITS", "0"}, {"FWV", "1.00"}, {"GSMV", ""}, {"GSMHW", ""}, {"RFV", "1.00"},
                {"NETV", design.usb ? "" : "1.00"}, {"IMEI", ""}, {"CH1", ""}, {"CH2", ""},
                {"SER", lm::text::Format("%x", design.serial)}};
  b["RUSRD"] = {{"DATA", ""}};
  b["RWARP"] = {{"ENABLE", "0"}, {"ROUTE", "0"}, {"SBJ", "warning"}, {"BODY", ""}, {"TO1", ""},
                {"TO2", ""}, {"TO3", ""}, {"TO4", ""}, {"INT", "0"}, {"FN1", "0"}, {"FN2", "0"},
                {"FN3", "0"}, {"FN4", "0"}, {"EXT", "0"}};
  b["RWLAN"] = {{"CH", "1"}, {"SSID", ""}, {"SEC", "0"}, {"WEP", ""}, {"PSK", ""}};
  b["RDTIM"] = {{"DST", std::string(26, '0')}, {"FORM", "YYYY/MM/DD hh:mm:ss"}, {"DIFF", "+0900"},
                {"ZONE", "(UTC+09:00) Osaka, Sapporo, Tokyo"}, {"SYNC", "0"}, {"BIAS", "540"}};
  return b;
}

void AddSettingsCommands(CommandTable& table) {
  for (const BlockDef& def : Blocks()) {
    if (def.read == "RDTIM") {
      table.Add("RDTIM", [](Exchange& x) { return ReadClock(x); });
      table.Add("WDTIM", [&def](Exchange& x) { return WriteClock(x, def); });
      continue;
    }
    const std::string& read = def.read;
    table.Add(read, [read](Exchange& x) { return ReadBlock(x, read); });
    table.Add(def.write, [&def](Exchange& x) { return WriteBlock(x, def, status::kSettingsOk); });
  }
}

}  // namespace linkmeter::sim
