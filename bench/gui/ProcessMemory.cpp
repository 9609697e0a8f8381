#include "ProcessMemory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lmbench {

long SelfPeakKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

std::vector<ProcessPeak> ChildPeaks() {
  std::vector<ProcessPeak> out;
  const int self = getpid();
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
    const std::string pid = entry.path().filename().string();
    if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream status(entry.path() / "status");
    ProcessPeak peak;
    peak.pid = std::stoi(pid);
    int parent = 0;
    for (std::string line; std::getline(status, line);) {
      std::istringstream fields(line);
      std::string key;
      fields >> key;
      if (key == "Name:") fields >> peak.name;
      else if (key == "PPid:") fields >> parent;
      else if (key == "VmHWM:") fields >> peak.peakKb;
    }
    if (parent == self) out.push_back(peak);
  }
  return out;
}

}  // namespace lmbench
