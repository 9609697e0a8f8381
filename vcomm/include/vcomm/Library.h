#pragma once
// The device-communication library's state for one process: its open
// connections and where USB units come from. The process's root makes one
// and keeps it while Vcomm_* may be called; the calls use the live one and
// fail with VCOMM_ARGUMENT_ERR when there is none. Destroying it shuts down
// every connection still open; a call already running finishes safely.

#include <memory>

namespace vcomm {

struct LibraryState;

class __attribute__((visibility("default"))) Library {
 public:
  // Throws std::logic_error while another Library is live.
  Library();
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

 private:
  std::shared_ptr<LibraryState> state_;
};

}  // namespace vcomm
