#pragma once
// The arguments of the search functions, read over their defaults.

#include <cstdint>

#include "lm/Json.h"

namespace Sorrel::Com {

// The flags of app.com.searchUSB. vlrf, vlrg, vlb8, vln12 and vln34 are
// accepted but select nothing.
struct SearchUSBPrm {
  bool force = false, vlb2 = false, vlb1 = false, vlb5 = false, vlb3 = false;
  bool vlrf = false, vlrg = false, vlb8 = false, vln12 = false, vln34 = false;

  // Every flag optional; a present flag that is not a boolean is an argument error.
  static SearchUSBPrm Read(const lm::json::Value& args);

  bool WantsVela() const { return vlb2 || vlb1 || vlb5; }
  bool WantsVlb3() const { return vlb3; }
};

struct SearchLANPrm {
  static constexpr int32_t kSendPort = 62501;
  static constexpr int32_t kRecvPort = 62502;
  static constexpr int32_t kTimeoutSec = 2;

  int32_t udpSendPort = kSendPort;
  int32_t udpRecvPort = kRecvPort;
  int32_t udpTimeoutSec = kTimeoutSec;

  // The ports must be 0 to 65535; the time limit any 32-bit integer (the
  // library refuses what it cannot use).
  static SearchLANPrm Read(const lm::json::Value& args);
};

}  // namespace Sorrel::Com
