#pragma once
// One base unit: the description it was made from and the executor that
// holds its connection. A unit runs one command at a time: callers hold a
// UnitLease on Gate() for the whole of their work with it.

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "sorrel/com/ComInfo.h"
#include "sorrel/com/UnitLease.h"
#include "vantor/vcomm/ExecutorVela.h"

namespace Sorrel::Com {

class ComExecutor {
 public:
  ComExecutor(ComInfo info, std::shared_ptr<com::vantor::ExecutorVela> executor);

  const ComInfo& Info() const { return info_; }
  com::vantor::ExecutorVela& Executor() const { return *executor_; }
  UnitGate& Gate() { return gate_; }

  // True while a command holds a connection it opened itself and will close
  // when it ends: to the page the unit is not open.
  bool OpenForOneCommand() const { return openForOneCommand_.load(); }
  void SetOpenForOneCommand(bool value) { openForOneCommand_.store(value); }
  // The connection as the page sees it; safe while a command runs.
  bool IsOpenForPage() const { return executor_->IsOpen() && !OpenForOneCommand(); }

  // The stored LAN password; a call naming a new one replaces it.
  std::string LanPassword() const;
  void SetLanPassword(const std::string& password);

 private:
  ComInfo info_;
  std::shared_ptr<com::vantor::ExecutorVela> executor_;
  UnitGate gate_;
  std::atomic<bool> openForOneCommand_{false};
  mutable std::mutex passwordMutex_;
};

class ComExecutorFactory {
 public:
  virtual ~ComExecutorFactory() = default;
  // A new unit for the description, or null when this program does not talk to it.
  virtual std::shared_ptr<ComExecutor> Create(const ComInfo& info) = 0;
};

class ComExecutorVelaFactory : public ComExecutorFactory {
 public:
  std::shared_ptr<ComExecutor> Create(const ComInfo& info) override;
  // Model codes of the base units this program opens.
  static bool IsKnownModel(uint32_t modelCode);
};

}  // namespace Sorrel::Com
