#pragma once
// RDTIM and WDTIM: the base unit's clock. While the unit answers 0003-0090
// (busy) the same request is sent again every 200 ms, for at most the row's
// limit (10000 ms from the start); a unit still busy then ends the call as
// timed out. Success: any STATUS of group 0003 but busy, 0001-0003 or
// 0002-0000.

#include <cstdint>
#include <optional>
#include <string_view>

#include "vantor/com/RowCommand.h"

namespace com::vantor {

// Unix time of a DTIME text ("YYYYMMDDhhmmss", the unit's wall clock) moved
// back by BIAS minutes; nullopt when the text is not fourteen digits of a
// real date. The PC's own time zone plays no part.
std::optional<std::int64_t> DeviceUnixTime(std::string_view dtime, std::optional<int> biasMinutes);

template <catalogue::Mnemonic N>
class TcmdClock : public TcmdRow<N> {
 public:
  void Reset() override {
    TcmdRow<N>::Reset();
    since_ = this->Clock().tick();
  }
  bool IsContinue(int /*phase*/) const override {
    if (!this->Is(status::kClockBusy)) return false;
    if (this->Clock().tick() - since_ > static_cast<std::uint64_t>(this->Row().timing.limitMs)) {
      throw ExecResult::Timeout();
    }
    return true;
  }
  int GetInterval() const override { return this->Row().timing.intervalMs; }
  bool IsSuccess() const override {
    if (this->Is(status::kClockBusy)) return false;
    return this->GetStatusGroup() == status::kClockOk.group || this->Is(status::kClockSet) ||
           this->Is(status::kSettingsOk);
  }

 private:
  std::uint64_t since_ = 0;
};

class TcmdRDTIM : public TcmdClock<"RDTIM"> {
 public:
  void Reset() override;
  // TimeOffset from the last answer's DTIME and BIAS.
  void OnFinish() override;
  // Unit clock − PC clock in seconds, when the answer carried a readable DTIME.
  std::optional<std::int64_t> TimeOffset() const { return timeOffset_; }

 private:
  std::optional<std::int64_t> timeOffset_;
};

class TcmdWDTIM : public TcmdClock<"WDTIM"> {
 public:
  // UTC = PC time + TimeOffset, taken when each request is built so that a
  // request repeated while the unit was busy does not set a stale time.
  Bytes BuildSendData(int phase) override;
};

}  // namespace com::vantor
