#include "sorrel/js/RecordsAccess.h"

namespace Sorrel::Js {

using lm::records::StoreError;
using lm::records::StoreErrorCode;

RecordsAccess::RecordsAccess(std::function<std::filesystem::path()> folder, lm::records::StoreOptions options)
    : folder_(std::move(folder)), options_(options) {}

lm::records::Result<lm::records::RecordStore*> RecordsAccess::Store() {
  std::lock_guard lock(mutex_);
  if (store_) return store_.get();
  const std::filesystem::path folder = folder_ ? folder_() : std::filesystem::path();
  if (folder.empty()) return StoreError{StoreErrorCode::kIo, "no workspace folder for the site records"};
  auto opened = lm::records::RecordStore::Open(folder, options_);
  if (!opened) return opened.error();
  store_ = std::move(*opened);
  return store_.get();
}

}  // namespace Sorrel::Js
