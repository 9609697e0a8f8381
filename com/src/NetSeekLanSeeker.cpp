#include <fcntl.h>
#include <unistd.h>

#include "netseek/NetSeek.h"
#include "sorrel/com/LanSeeker.h"

namespace Sorrel {
namespace {

// The library makes its own folder the process's current one, as its callers
// may rely on; this program's relative file names must not change meaning,
// so the folder it had is given back afterwards.
class CurrentFolderKept {
 public:
  CurrentFolderKept() : fd_(::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
  ~CurrentFolderKept() {
    if (fd_ < 0) return;
    const bool back = ::fchdir(fd_) == 0;
    static_cast<void>(back);  // a folder removed meanwhile: nothing to go back to
    ::close(fd_);
  }
  CurrentFolderKept(const CurrentFolderKept&) = delete;
  CurrentFolderKept& operator=(const CurrentFolderKept&) = delete;

 private:
  int fd_;
};

}  // namespace

int32_t NetSeekLanSeeker::DoSearch(void* parent, uint16_t destPort, int32_t timeLimitSec) {
  CurrentFolderKept folder;
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
