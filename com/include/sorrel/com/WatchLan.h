#pragma once
// The LAN watcher: the base units the last LAN search found, the search
// ports and time limit, and the parent window the search runs under.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sorrel/com/ComInfo.h"
#include "sorrel/com/LanSeeker.h"
#include "sorrel/com/SearchParams.h"

namespace Sorrel {

// A found unit: its description plus the further values its answer carries.
struct WatchLanEntry : Com::WatchLanInfo {
  std::string value16, value20, value24, value28;  // dotted, like ipAddr
  uint8_t setting = 0;
};

// The entry of one answer (mac "%d-%d-%d-%d-%d-%d", addresses "%d.%d.%d.%d").
WatchLanEntry MakeLanEntry(const LanSearchRecord& record);

class WatchLan {
 public:
  static constexpr uint16_t kSendPort = 62501;
  static constexpr uint16_t kRecvPort = 62502;
  static constexpr int32_t kTimeLimitSec = 2;

  explicit WatchLan(std::unique_ptr<LanSeeker> seeker = std::make_unique<NetSeekLanSeeker>())
      : seeker_(std::move(seeker)) {}

  // Replaces where searches go (a site running in this process).
  void SetSeeker(std::unique_ptr<LanSeeker> seeker) { seeker_ = std::move(seeker); }

  bool HasParent() const { return parent_ != nullptr; }
  void SetParent(void* parent) { parent_ = parent; }

  // One search: keeps the units of model codes 78 and 80, sorted, in place
  // of the last search's. A failed search leaves the list empty.
  // The library's run result: the units it found, or its negative
  // failure (kNoAddressCouldSend when every send was refused).
  int32_t Search(const Com::SearchLANPrm& prm);
  static constexpr int32_t kNoAddressCouldSend = -2;

  const std::vector<WatchLanEntry>& List() const { return list_; }
  uint16_t SendPort() const { return sendPort_; }
  uint16_t RecvPort() const { return recvPort_; }
  int32_t TimeLimit() const { return timeLimit_; }

 private:
  std::unique_ptr<LanSeeker> seeker_;
  void* parent_ = nullptr;
  uint16_t sendPort_ = kSendPort;
  uint16_t recvPort_ = kRecvPort;
  int32_t timeLimit_ = kTimeLimitSec;
  std::vector<WatchLanEntry> list_;
};

}  // namespace Sorrel
