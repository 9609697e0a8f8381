#include "sorrel/com/WatchLan.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "lm/Text.h"
#include "vantor/com/RegInfoModel.h"

namespace Sorrel {
namespace {

// A 32-bit value stored first octet first.
std::string Dotted(uint32_t stored) {
  uint8_t b[4];
  std::memcpy(b, &stored, 4);
  return lm::text::Format("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

bool KeptModel(uint32_t serial) {
  const uint32_t code = Com::ModelCode(serial);
  return code == 78 || code == 80;
}

auto SortKey(const WatchLanEntry& e) {
  return std::tie(e.serial, e.name, e.descr, e.mac, e.model, e.ipAddr, e.port, e.value16, e.value20, e.value24,
                  e.value28, e.setting);
}

}  // namespace

WatchLanEntry MakeLanEntry(const LanSearchRecord& r) {
  WatchLanEntry e;
  e.serial = Com::ParseSerialText(std::string(r.serial, strnlen(r.serial, 8)));
  e.name = lm::text::AnsiToUtf8(std::string(r.name, strnlen(r.name, 32)));
  e.descr = lm::text::AnsiToUtf8(std::string(r.descr, strnlen(r.descr, 64)));
  e.mac = lm::text::Format("%d-%d-%d-%d-%d-%d", r.mac[0], r.mac[1], r.mac[2], r.mac[3], r.mac[4], r.mac[5]);
  e.model = com::vantor::ModelName(e.serial);
  e.ipAddr = Dotted(r.ipAddr);
  e.value16 = Dotted(r.value16);
  e.value20 = Dotted(r.value20);
  e.value24 = Dotted(r.value24);
  e.value28 = Dotted(r.value28);
  e.port = r.port;
  e.setting = r.setting;
  return e;
}

int32_t WatchLan::Search(const Com::SearchLANPrm& prm) {
  sendPort_ = static_cast<uint16_t>(prm.udpSendPort);
  recvPort_ = static_cast<uint16_t>(prm.udpRecvPort);
  timeLimit_ = prm.udpTimeoutSec;
  // The library answers on its own fixed port: the receive port is only kept.
  const int32_t found = seeker_->DoSearch(parent_, sendPort_, timeLimit_);
  std::vector<WatchLanEntry> kept;
  for (int32_t i = 0; i < found; ++i) {
    LanSearchRecord record;
    if (!seeker_->GetSearchInfo(static_cast<uint32_t>(i), record)) continue;
    WatchLanEntry entry = MakeLanEntry(record);
    if (KeptModel(entry.serial)) kept.push_back(std::move(entry));
  }
  std::sort(kept.begin(), kept.end(), [](const WatchLanEntry& a, const WatchLanEntry& b) { return SortKey(a) < SortKey(b); });
  list_ = std::move(kept);
  seeker_->CloseSearch();
  return found;
}

}  // namespace Sorrel
