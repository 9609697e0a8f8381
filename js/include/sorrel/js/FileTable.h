#pragma once
// The files the page has open, by handle number. Numbers start at 1 and are
// never reused. Streams are shared, so one closed while another call still
// uses it stays valid until that call is done.

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>

namespace Sorrel::Js {

using Stream = std::shared_ptr<std::FILE>;

class FileTable {
 public:
  FileTable() = default;
  ~FileTable() { CloseAll(); }
  FileTable(const FileTable&) = delete;
  FileTable& operator=(const FileTable&) = delete;

  // Takes ownership of an open stream; returns its handle number.
  uint32_t Add(std::FILE* file);
  // The stream under a handle, or null.
  Stream Find(uint32_t handle) const;
  enum class Closed {
    kDone,        // closed (or closes when the last call using it ends)
    kNotOpen,     // no such handle
    kFailed,      // the close failed: what was written may not have reached the file
  };
  // Removes the entry; the stream closes once no call uses it, here when
  // none does, so its error is this call's.
  Closed Close(uint32_t handle, int* error = nullptr);
  void CloseAll();
  size_t OpenCount() const;

 private:
  mutable std::mutex mutex_;
  uint32_t next_ = 1;
  std::map<uint32_t, Stream> files_;
};

}  // namespace Sorrel::Js
