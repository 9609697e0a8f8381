#pragma once
// The outcome of one command execution. Executors return it from their
// exchange steps; a command hook may also throw it to end an execution,
// and Executor::Execute catches it and stores it in the command.

#include <cstdint>
#include <string>
#include <utility>

namespace com::vantor {

class ExecResult {
 public:
  enum Status : std::int32_t {
    kCompleted = 0,  // exchanges completed
    kNotOpen = 1,    // connection not open
    kStarted = 2,    // not yet run (set when an execution starts)
    kTimeout = 3,    // deadline passed
    kCancelled = 4,  // cancelled
    kError = 5,      // error, see message and codes
  };

  ExecResult() = default;
  ExecResult(std::int32_t status, std::string message = {}, std::int32_t code1 = 0, std::int32_t code2 = 0)
      : status(status), message(std::move(message)), code1(code1), code2(code2) {}

  static ExecResult Completed() { return ExecResult(kCompleted); }
  static ExecResult NotOpen() { return ExecResult(kNotOpen, "connection not open"); }
  static ExecResult Started() { return ExecResult(kStarted); }
  static ExecResult Timeout() { return ExecResult(kTimeout, "timeout"); }
  static ExecResult Cancelled() { return ExecResult(kCancelled, "cancel"); }
  static ExecResult Error(std::string message, std::int32_t code1, std::int32_t code2) {
    return ExecResult(kError, std::move(message), code1, code2);
  }

  bool IsCompleted() const { return status == kCompleted; }
  bool operator==(const ExecResult&) const = default;

  std::int32_t status = kCompleted;
  std::string message;
  std::int32_t code1 = 0;
  std::int32_t code2 = 0;
};

}  // namespace com::vantor
