#pragma once
// A protocol command bound to its catalogue row: the row's argument checks
// and encodings are its field setters, its fixed fields are sent with the
// first request and its success STATUS is IsSuccess. TcmdRow<"EWLEX"> is the
// command of a mnemonic with nothing beyond its family's pattern.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>

#include "lm/Json.h"
#include "vantor/com/CommandCatalogue.h"
#include "vantor/com/Tcmd.h"
#include "vantor/com/TcmdWireless.h"

namespace com::vantor {

// The clocks a conversation reads; tests replace them.
struct CommandClock {
  std::function<std::int64_t()> unixNow = [] {
    using namespace std::chrono;
    return static_cast<std::int64_t>(duration_cast<seconds>(system_clock::now().time_since_epoch()).count());
  };
  std::function<std::uint64_t()> tick = [] {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  };
};

// The row-driven part every catalogue command shares, whatever its family.
class RowFields {
 public:
  explicit RowFields(const catalogue::CommandRow& row) : row_(row) {}
  virtual ~RowFields() = default;

  const catalogue::CommandRow& Row() const { return row_; }
  // Checks one argument against its row entry and stores it: 0, or -1 when
  // the value is refused (or the row has no such key).
  int SetArg(std::string_view key, const catalogue::ArgValue& value);
  // An object key without a packing, handed over as the page gave it: 0
  // when taken, otherwise the code of the argument error naming the key.
  // No command takes one unless it says so.
  virtual int SetObjectArg(std::string_view key, const lm::json::Value& value) {
    (void)key;
    (void)value;
    return kObjectRefused;
  }
  static constexpr int kObjectRefused = -2;
  // A key the conversation keeps instead of sending; `fallback` when not given.
  std::int64_t KeptNumber(std::string_view key, std::int64_t fallback = 0) const;
  const std::string* KeptBytes(std::string_view key) const;
  bool IsGiven(std::string_view key) const { return given_.count(std::string(key)) != 0; }

  void SetClock(CommandClock clock) { clock_ = std::move(clock); }
  const CommandClock& Clock() const { return clock_; }

 protected:
  virtual Tcmd& Command() = 0;
  void SetFixedFields();

 private:
  const catalogue::CommandRow& row_;
  std::map<std::string, catalogue::ArgValue, std::less<>> kept_;
  std::map<std::string, bool> given_;
  CommandClock clock_;
};

// Whether an answer passes the frame checks and carries this name, i.e.
// whether Tcmd::ParseRecvData takes it in.
bool AnswerAccepted(std::string_view answer, std::string_view name);

template <class Base>
class RowCommand : public Base, public RowFields {
 public:
  explicit RowCommand(const catalogue::CommandRow& row) : Base(std::string(row.name)), RowFields(row) {
    SetFixedFields();
  }
  bool IsSuccess() const override { return Is(Row().success); }
  bool Is(StatusCode s) const { return this->IsStatus(static_cast<std::uint16_t>(s.group), static_cast<std::uint16_t>(s.detail)); }

 protected:
  Tcmd& Command() override { return *this; }
};

template <catalogue::Family F>
using FamilyBase = std::conditional_t<F == catalogue::Family::kWireless, TcmdWireless, Tcmd>;

template <catalogue::Mnemonic N>
class TcmdRow : public RowCommand<FamilyBase<catalogue::Row(N).family>> {
 public:
  static constexpr const catalogue::CommandRow& kRow = catalogue::Row(N);
  TcmdRow() : RowCommand<FamilyBase<kRow.family>>(kRow) {}
};

}  // namespace com::vantor
