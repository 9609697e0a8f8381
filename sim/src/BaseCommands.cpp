// The base unit's own status, event log, trend records, LAN test and
// inspection command.

#include <algorithm>
#include <cmath>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RecordedData.h"

namespace linkmeter::sim {
namespace {

constexpr std::size_t kLogRecordsPerBlock = 8;
constexpr std::size_t kTrendBlock = 64;
constexpr int kTrendHours = 72;

Answer BaseStatus(Exchange& x) {
  Answer a = WithStatus(status::kSettingsOk);
  std::size_t units = 0;
  for (const auto& g : x.unit.design.groups) units += g.remoteUnits.size() + g.repeaters.size();
  a["GROUPS"] = std::to_string(x.unit.design.groups.size());
  a["UNITS"] = std::to_string(units);
  a["POWER"] = "1";
  return a;
}

// One event as the log stores it: length, category, number, UTC, local time, text.
std::string LogRecord(const LogEvent& e, int biasMinutes) {
  std::string text = e.text.substr(0, 243);
  std::string r;
  r += static_cast<char>(12 + text.size());
  r += static_cast<char>(e.category);
  PutLe(r, 2, static_cast<std::uint64_t>(e.number), 2);
  PutLe(r, 4, static_cast<std::uint64_t>(e.utc), 4);
  PutLe(r, 8, static_cast<std::uint64_t>(e.utc + biasMinutes * 60LL), 4);
  return r + text;
}

// MODE 0 hands the log out in blocks until an empty one; MODE 1 in one block.
// NUM names the first event wanted.
Answer EventLog(Exchange& x) {
  auto& t = x.conversation.logRecords;
  if (x.Number("ACT", 0) == 0) {
    long long mode = x.Number("MODE", -1);
    if (mode != 0 && mode != 1) return WithStatus(status::kBadRequest);
    long long first = x.Number("NUM", 0);
    int bias = std::atoi(x.unit.blocks["RDTIM"]["BIAS"].c_str());
    t = BlockTransfer{};
    for (const LogEvent& e : x.unit.log) {
      if (e.number >= first) t->bytes += LogRecord(e, bias);
    }
    t->single = mode == 1;
  } else if (!t) {
    return WithStatus(status::kBadRequest);
  }
  // Cut at a record boundary after at most kLogRecordsPerBlock records.
  std::size_t end = t->position;
  for (std::size_t n = 0; n < kLogRecordsPerBlock && end < t->bytes.size(); ++n) {
    end += static_cast<unsigned char>(t->bytes[end]);
  }
  Answer a = WithStatus(status::kSettingsOk);
  a["DATA"] = t->bytes.substr(t->position, end - t->position);
  t->position = end;
  if (t->single || a["DATA"].empty()) t.reset();
  return a;
}

// Hourly counts of radio packets the base unit received over three days.
Answer Trend(Exchange& x) {
  auto& t = x.conversation.trend;
  Answer a = WithStatus(status::kSettingsOk);
  if (x.Number("ACT", 0) == 0) {
    std::int64_t now = x.UnitTime();
    std::int64_t start = (now / 3600 - kTrendHours + 1) * 3600;
    t = BlockTransfer{};
    for (int h = 0; h < kTrendHours; ++h) {
      double daily = std::sin(static_cast<double>((start / 3600 + h) % 24) / 24.0 * 6.2831853);
      PutLe(t->bytes, t->bytes.size(), static_cast<std::uint64_t>(std::lround(120 + 30 * daily)), 2);
    }
    a["MAX"] = std::to_string(t->bytes.size());
    a["INT"] = "3600";
    a["START"] = std::to_string(start);
    a["UTC"] = std::to_string(now);
  } else if (!t) {
    return WithStatus(status::kBadRequest);
  }
  a["DATA"] = t->bytes.substr(t->position, kTrendBlock);
  t->position += a["DATA"].size();
  if (t->position >= t->bytes.size()) t.reset();
  return a;
}

// ACT 1 with MODE starts a test that takes one more poll; ACT 0 answers at once.
Answer LanTest(Exchange& x) {
  long long act = x.Number("ACT", 0);
  if (act == 1 && x.Has("MODE")) {
    x.conversation.lanTestPolls = 1;
    return WithStatus(status::kLanTestRunning);
  }
  if (act == 1 && x.conversation.lanTestPolls > 0) {
    --x.conversation.lanTestPolls;
    return WithStatus(status::kLanTestRunning);
  }
  return WithStatus(status::kLanTestOk);
}

Answer Inspection(Exchange& x) {
  if (!x.Has("CMD")) return WithStatus(status::kBadRequest);
  Answer a = WithStatus(status::kSettingsOk);
  a["DATA"] = x.Text("DATA");
  return a;
}

}  // namespace

void AddBaseCommands(CommandTable& table) {
  table.Add("EBSTS", BaseStatus);
  table.Add("ELOGS", EventLog);
  table.Add("ETRND", Trend);
  table.Add("ETLAN", LanTest);
  table.Add("KENSA", Inspection);
}

}  // namespace linkmeter::sim
