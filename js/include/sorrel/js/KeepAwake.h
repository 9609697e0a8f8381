#pragma once
// Keeping the computer awake: the execution-state flags the page sets and
// the lock that carries them out.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace Sorrel::Js {

inline constexpr uint32_t kEsSystemRequired = 0x00000001;
inline constexpr uint32_t kEsDisplayRequired = 0x00000002;
inline constexpr uint32_t kEsContinuous = 0x80000000;

// Holds (or lets go of) whatever stops the system from sleeping and the
// session from going idle.
class KeepAwake {
 public:
  virtual ~KeepAwake() = default;
  virtual void Hold(bool system, bool display) = 0;
};

// logind's Inhibit on the system bus: "sleep" for the system, "idle" for
// the display, the returned descriptor held while the lock is wanted.
// Without a bus nothing is held and nothing fails.
class LogindKeepAwake : public KeepAwake {
 public:
  LogindKeepAwake() = default;
  ~LogindKeepAwake() override;
  LogindKeepAwake(const LogindKeepAwake&) = delete;
  LogindKeepAwake& operator=(const LogindKeepAwake&) = delete;

  void Hold(bool system, bool display) override;
  // What is held now: "", "sleep", "idle" or "sleep:idle".
  std::string Held() const;

 private:
  mutable std::mutex mutex_;
  std::string what_;
  int fd_ = -1;
};

// The flags as the page sets them: a call with the continuous bit replaces
// the lasting state and the lock follows it; one without leaves both alone.
// Each call returns the state before it.
class ExecutionState {
 public:
  explicit ExecutionState(std::shared_ptr<KeepAwake> lock) : lock_(std::move(lock)) {}
  uint32_t Set(uint32_t flags);

 private:
  std::mutex mutex_;
  uint32_t state_ = kEsContinuous;
  std::shared_ptr<KeepAwake> lock_;
};

}  // namespace Sorrel::Js
