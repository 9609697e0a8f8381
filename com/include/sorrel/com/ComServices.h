#pragma once
// The device side of one process: the table of units and the search
// watchers that talk through it. A program's main makes one and keeps it
// until the process ends, handing it to whatever needs it; tests make their
// own, so no two rigs share a unit.

#include <memory>

#include "sorrel/com/ComExecutorTable.h"
#include "sorrel/com/SearchWatchers.h"

namespace Sorrel::Com {

class ComServices {
 public:
  // Units over the communication library, searches over the library's bus
  // and NetSeek.
  ComServices();
  ComServices(std::unique_ptr<ComExecutorFactory> factory, std::unique_ptr<LanSeeker> seeker);
  ComServices(const ComServices&) = delete;
  ComServices& operator=(const ComServices&) = delete;

  ComExecutorTable& Units() { return units_; }
  SearchWatchers& Watchers() { return watchers_; }

 private:
  ComExecutorTable units_;
  SearchWatchers watchers_;
};

}  // namespace Sorrel::Com
