#include "linkmeter/sim/ControlFile.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "linkmeter/sim/SimMain.h"

namespace linkmeter::sim {

// Lines already in the file run before the site answers anything, so a
// site can start changed (a unit moved) without a race.
ControlFile::ControlFile(Simulator& simulator, std::filesystem::path path)
    : simulator_(simulator), path_(std::move(path)) {
  Poll();
  watcher_ = std::thread([this] { Watch(); });
}

ControlFile::~ControlFile() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  watcher_.join();
}

void ControlFile::Poll() {
  std::ifstream in(path_, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Only whole lines: a line still being written waits for its newline.
  std::vector<std::string> lines;
  for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
    lines.push_back(text.substr(at, end - at));
  }
  if (lines.size() < linesDone_) linesDone_ = 0;
  std::ostringstream answers;
  for (; linesDone_ < lines.size(); ++linesDone_) {
    if (!lines[linesDone_].empty()) RunControlLine(simulator_, lines[linesDone_], answers);
  }
  if (!answers.str().empty()) std::ofstream(path_.string() + ".out", std::ios::app) << answers.str();
}

void ControlFile::Watch() {
  std::unique_lock lock(mutex_);
  while (!wake_.wait_for(lock, std::chrono::milliseconds(100), [this] { return stop_; })) {
    lock.unlock();
    Poll();
    lock.lock();
  }
}

}  // namespace linkmeter::sim
