#pragma once
// The table of units by unit key, one per process (see ComServices).
// Entries are never removed: a closed unit stays and is opened again on
// demand.

#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "sorrel/com/ComExecutor.h"

namespace Sorrel::Com {

class ComExecutorTable {
 public:
  explicit ComExecutorTable(std::unique_ptr<ComExecutorFactory> factory);

  // The unit for a description, made by the factory on first use; null when
  // the factory refuses it. A LAN call with a new password updates the unit.
  std::shared_ptr<ComExecutor> Lookup(const ComInfo& info);
  // The unit if it is already known; never creates one.
  std::shared_ptr<ComExecutor> Find(const ComInfo& info) const;
  size_t Size() const;
  // Closes every unit's connection; the units stay known.
  void CloseAll();

 private:
  std::unique_ptr<ComExecutorFactory> factory_;
  mutable std::mutex mutex_;
  std::map<std::string, std::shared_ptr<ComExecutor>> units_;
};

}  // namespace Sorrel::Com
