#include "netseek/NetSeek.h"
#include "sorrel/com/LanSeeker.h"

namespace Sorrel {

int32_t NetSeekLanSeeker::DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) {
  return NetSeek_DoSearch(parent, destPort, timeLimitSec);
}

bool NetSeekLanSeeker::GetSearchInfo(uint32_t index, LanSearchRecord& r) {
  // The texts come without terminators into buffers one byte longer.
  r = LanSearchRecord{};
  return NetSeek_GetSearchInfo(index, &r.ipAddr, &r.value16, r.mac, &r.value20, &r.value24, &r.value28, &r.setting,
                               &r.port, r.serial, r.name, r.descr) != 0;
}

void NetSeekLanSeeker::CloseSearch() { NetSeek_CloseSearch(); }

}  // namespace Sorrel
