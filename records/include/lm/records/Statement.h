#pragma once
// One prepared SQLite statement: bind by position (1-based), step, read
// columns (0-based). Finalised on destruction. Throws SqlError.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace lm::records {

using Bytes = std::vector<uint8_t>;

class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement& operator=(Statement&&) = delete;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value);
  Statement& Bind(int index, int value) { return Bind(index, static_cast<int64_t>(value)); }
  Statement& Bind(int index, double value);
  Statement& Bind(int index, std::string_view text);
  Statement& Bind(int index, const char* text) { return Bind(index, std::string_view(text)); }
  Statement& Bind(int index, const std::string& text) { return Bind(index, std::string_view(text)); }
  Statement& Bind(int index, std::span<const uint8_t> blob);
  Statement& Bind(int index, const Bytes& blob) { return Bind(index, std::span<const uint8_t>(blob)); }
  Statement& BindNull(int index);
  // A blob of `size` zero bytes, room for BlobIo to write into.
  Statement& BindZeroBlob(int index, int64_t size);
  template <class T>
  Statement& Bind(int index, const std::optional<T>& value) {
    return value ? Bind(index, *value) : BindNull(index);
  }
  // Binds every argument in order from position 1.
  template <class... Args>
  Statement& BindAll(const Args&... args) {
    return BindFrom(1, args...);
  }
  // Binds every argument in order from position `first`.
  template <class... Args>
  Statement& BindFrom(int first, const Args&... args) {
    int index = first - 1;
    (Bind(++index, args), ...);
    return *this;
  }

  // True while a row is available; false when done.
  bool Step();
  // Steps a statement that returns no rows.
  void Run();
  // Makes the statement ready to run again with new bindings.
  void Reset();

  int ColumnCount() const;
  bool IsNull(int column) const;
  int64_t Int(int column) const;
  double Real(int column) const;
  std::string Text(int column) const;
  Bytes Blob(int column) const;
  // The blob where SQLite holds it: valid until the next step or reset.
  std::span<const uint8_t> BlobView(int column) const;
  std::optional<int64_t> OptInt(int column) const;
  std::optional<double> OptReal(int column) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace lm::records
