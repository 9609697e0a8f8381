#pragma once
// What every store operation answers: a value, or a failure with a code the
// page functions map to their error objects and a message for the user.

#include <optional>
#include <string>
#include <utility>

namespace lm::records {

enum class StoreErrorCode {
  kBusy,         // another writer held the file past the busy timeout
  kNotFound,     // no site, visit or record with that id
  kInvalid,      // an argument the store cannot keep
  kNewerFile,    // an import file written by a newer version
  kDamagedFile,  // an import file (or the store) that is not a readable database
  kIo,           // the file system refused (full disk, permissions)
  kInternal,
};

struct StoreError {
  StoreErrorCode code;
  std::string message;
};

// Thrown inside the store's implementation and turned into a StoreError at
// its API; never leaves RecordStore.
struct StoreFailure {
  StoreError error;
};

struct Done {};

template <class T>
class Result {
 public:
  Result(T value) : value_(std::move(value)) {}
  Result(StoreError error) : error_(std::move(error)) {}

  bool ok() const { return value_.has_value(); }
  explicit operator bool() const { return ok(); }
  T& operator*() { return *value_; }
  const T& operator*() const { return *value_; }
  T* operator->() { return &*value_; }
  const T* operator->() const { return &*value_; }
  // Valid only when !ok().
  const StoreError& error() const { return *error_; }

 private:
  std::optional<T> value_;
  std::optional<StoreError> error_;
};

}  // namespace lm::records
