#include "sorrel/com/ComExecutorTable.h"

namespace Sorrel::Com {

ComExecutorTable::ComExecutorTable(std::unique_ptr<ComExecutorFactory> factory) : factory_(std::move(factory)) {}

std::shared_ptr<ComExecutor> ComExecutorTable::Lookup(const ComInfo& info) {
  const std::string key = UnitKey(info);
  std::lock_guard lock(mutex_);
  auto it = units_.find(key);
  if (it != units_.end()) {
    if (info.lan) it->second->SetLanPassword(info.lan->lanPassword);
    return it->second;
  }
  auto unit = factory_->Create(info);
  if (unit) units_.emplace(key, unit);
  return unit;
}

std::shared_ptr<ComExecutor> ComExecutorTable::Find(const ComInfo& info) const {
  std::lock_guard lock(mutex_);
  auto it = units_.find(UnitKey(info));
  return it == units_.end() ? nullptr : it->second;
}

size_t ComExecutorTable::Size() const {
  std::lock_guard lock(mutex_);
  return units_.size();
}

void ComExecutorTable::CloseAll() {
  std::map<std::string, std::shared_ptr<ComExecutor>> units;
  {
    std::lock_guard lock(mutex_);
    units = units_;
  }
  for (auto& [key, unit] : units) {
    UnitLease lease(unit->Gate(), nullptr);
    if (unit->Executor().IsOpen()) unit->Executor().Close();
  }
}

}  // namespace Sorrel::Com
