#pragma once
// What the monitor's tests share: a temporary folder, a file written with a
// mode, and the notice of a silent repeater as the rules make it.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "lm/monitor/rules/AlarmEngine.h"

namespace lm::monitor::test {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("lm-alarm-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(reinterpret_cast<uintptr_t>(this)));
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
};

inline void WriteText(const fs::path& p, const std::string& text, fs::perms mode = fs::perms::owner_read | fs::perms::owner_write) {
  std::ofstream(p) << text;
  fs::permissions(p, mode);
}

// A silent repeater's notice whose site name tries to start a mail header.
inline Notice RepeaterNotice(const std::string& status) {
  Notice n{"009A0011/silent-repeater/00C80102", status, "RepeaterSilent", "silent-repeater", "009A0011",
           "GREENHOUSE\r\nBcc: victim@example.org", "00C80102", "", "Repeater R2 (00C80102) is silent",
           1'765'000'000'000, status == "resolved" ? 1'765'000'360'000 : 0, {{1'765'000'000'000, Condition::kBad, 0}},
           {"00BC0103", "00C20104"}};
  return n;
}

}  // namespace lm::monitor::test
