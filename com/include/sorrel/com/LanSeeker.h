#pragma once
// Where a LAN search gets its answers: NetSeek's broadcast search through the
// library's exports, or (for a site running inside this process) a search
// sent to one responder on loopback.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Sorrel {

// One answer as NetSeek_GetSearchInfo hands it out: the 32-bit values as they
// travel (first octet first in memory), texts zero-terminated.
struct LanSearchRecord {
  uint32_t ipAddr = 0, value16 = 0, value20 = 0, value24 = 0, value28 = 0;
  uint8_t mac[6] = {};
  uint8_t setting = 0;
  uint16_t port = 0;
  char serial[8 + 1] = {};
  char name[32 + 1] = {};
  char descr[64 + 1] = {};
};

class LanSeeker {
 public:
  virtual ~LanSeeker() = default;
  // The number of units found, or a negative error.
  virtual int32_t DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) = 0;
  // False when index is not below the number found.
  virtual bool GetSearchInfo(uint32_t index, LanSearchRecord& record) = 0;
  virtual void CloseSearch() = 0;
};

// libnetseek, linked through its exports.
class NetSeekLanSeeker : public LanSeeker {
 public:
  int32_t DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) override;
  bool GetSearchInfo(uint32_t index, LanSearchRecord& record) override;
  void CloseSearch() override;
};

// Sends the search datagram to one responder on 127.0.0.1 (whatever port the
// page names) and collects its answers for the time limit, as NetSeek does on
// a network: nothing leaves the machine, nothing is broadcast.
class LoopbackLanSeeker : public LanSeeker {
 public:
  explicit LoopbackLanSeeker(uint16_t responderPort) : responderPort_(responderPort) {}
  int32_t DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) override;
  bool GetSearchInfo(uint32_t index, LanSearchRecord& record) override;
  void CloseSearch() override { answers_.clear(); }

 private:
  uint16_t responderPort_;
  std::vector<std::string> answers_;
};

}  // namespace Sorrel
