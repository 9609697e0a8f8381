#pragma once
// Helpers for tests that drive libnetseek through its C interface inside a
// private network namespace, answered by netseek-responder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NetnsLab.h"

namespace netseek::test {

using Bytes = std::vector<std::uint8_t>;

// An answer as a unit sends it, written byte by byte at its offsets.
struct AnswerSpec {
  std::uint8_t command = 1;
  std::uint8_t status = 0;
  std::uint8_t setting = 0;
  Bytes mac{0, 0, 0, 0, 0, 0};
  Bytes ip{0, 0, 0, 0};
  Bytes value16{0, 0, 0, 0}, value20{0, 0, 0, 0}, value24{0, 0, 0, 0}, value28{0, 0, 0, 0};
  std::uint16_t port = 0;
  std::string serial, name, descr;
  std::size_t length = 256;
};
Bytes MakeAnswer(const AnswerSpec& design);

// Search side 10.77.0.1/24, peer 10.77.0.2/24.
LabLayout OnePeerLayout();

class LanTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  virtual LabLayout Layout() const { return OnePeerLayout(); }

  // Starts the responder in the peer namespace answering every request with
  // `answers`; fails the test unless it is listening within a second.
  // `options` go to the responder before the answer files.
  void StartResponder(const std::vector<Bytes>& answers,
                      const std::vector<std::string>& options = {});
  void StopResponder() { responder_.reset(); }
  // The requests the responder received, as "addr:port length hex" lines.
  std::vector<std::string> Requests() const;
  // The run log decoded from CP932, and its raw bytes.
  std::string LogText() const;
  std::string LogBytes() const;

  std::unique_ptr<NetnsLab> lab_;
  std::unique_ptr<ChildProcess> responder_;
  std::string dir_;
  std::string logPath_;
  std::string requestsPath_;
  void* const parent_ = reinterpret_cast<void*>(0x1);
};

std::string ReadFile(const std::string& path);

// How often `part` occurs in `text`.
std::size_t Count(const std::string& text, const std::string& part);
// The socket number logged when the socket bound to `address` was opened;
// empty when there is none.
std::string SocketOf(const std::string& log, const std::string& address);

using Clock = std::chrono::steady_clock;
inline std::chrono::milliseconds Since(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

}  // namespace netseek::test
