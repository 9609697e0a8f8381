#pragma once
// The executor over the communication library: one handle (USB or LAN),
// opened with retries, frames sent and received through Vcomm_*.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "vantor/com/Executor.h"
#include "vcomm/Vcomm.h"

namespace com::vantor {

class ExecutorVela : public Executor {
 public:
  ExecutorVela() = default;
  ~ExecutorVela() override;
  ExecutorVela(const ExecutorVela&) = delete;
  ExecutorVela& operator=(const ExecutorVela&) = delete;

  // Opens a USB unit, trying retry + 1 times; the handle is the serial.
  ExecResult OpenUSB(std::uint32_t serial, int retry);
  // Opens a LAN unit, trying retry + 1 times. Refused with
  // "ExecutorVela::Open" (code1 104) while a connection is held.
  ExecResult OpenLAN(const std::string& address, int port, const std::string& password, void* ownerWindow,
                     int retry);

  // Safe from any thread, also while another thread runs a command.
  bool IsOpen() const override { return open_.load(); }
  void Close() override;
  ExecResult Send(const Bytes& bytes) override;
  ExecResult Recv(int phase, Icmd& command) override;

  std::optional<Vcomm_Handle> GetHandle() const { return handle_; }

 private:
  std::optional<Vcomm_Handle> handle_;
  std::atomic<bool> open_{false};
  // Every answer lands here (commands run one at a time): a 64 KiB block
  // allocated per answer made the allocator sweep its small blocks each time.
  std::unique_ptr<char[]> recvBuffer_;
};

}  // namespace com::vantor
