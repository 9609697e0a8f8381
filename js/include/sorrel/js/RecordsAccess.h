#pragma once
// The process's site-records store, opened on first use: the first page
// call that needs it opens it on its worker, so the window thread never
// waits on the database. A failed open is tried again by the next call.

#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

#include "lm/records/RecordStore.h"

namespace Sorrel::Js {

class RecordsAccess {
 public:
  // `folder` names the workspace folder when first asked; an empty answer
  // (or no function) means this process keeps no records. A demo run keeps
  // its records in the demo store beside the real one.
  explicit RecordsAccess(std::function<std::filesystem::path()> folder, lm::records::StoreOptions options = {});

  // The open store, opening it when needed. Blocking: workers only.
  lm::records::Result<lm::records::RecordStore*> Store();

 private:
  std::mutex mutex_;
  std::function<std::filesystem::path()> folder_;
  lm::records::StoreOptions options_;
  std::unique_ptr<lm::records::RecordStore> store_;
};

}  // namespace Sorrel::Js
