#pragma once
// Control lines for a site running inside another program (the demo of
// linkmeter --demo), read from a file: each line appended to the file runs
// once, as linkmeter-sim --control runs it ("detach 009A0011", "attach …",
// "fault …", "clear …", "move …", "level …"), and its answer line is appended to FILE.out. Lets a
// test plug a demo unit out and in while the program runs. Lines already in
// the file when the site starts run before it answers anything.

#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <thread>

#include "linkmeter/sim/Simulator.h"

namespace linkmeter::sim {

class ControlFile {
 public:
  ControlFile(Simulator& simulator, std::filesystem::path path);
  ~ControlFile();
  ControlFile(const ControlFile&) = delete;
  ControlFile& operator=(const ControlFile&) = delete;

  // Runs the lines added since the last call; a file that shrank starts
  // over. Called by the watcher every 100 ms.
  void Poll();

 private:
  void Watch();

  Simulator& simulator_;
  std::filesystem::path path_;
  std::size_t linesDone_ = 0;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread watcher_;
};

}  // namespace linkmeter::sim
