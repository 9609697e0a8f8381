#pragma once
// Peak resident memory of this process and of the page and network
// processes WebKit started for it.

#include <string>
#include <vector>

namespace lmbench {

struct ProcessPeak {
  int pid = 0;
  std::string name;
  long peakKb = 0;  // VmHWM
};

long SelfPeakKb();
std::vector<ProcessPeak> ChildPeaks();

}  // namespace lmbench
