#include "vantor/com/TcmdClock.h"

#include <chrono>
#include <cstdlib>

namespace com::vantor {
namespace {

std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::optional<std::int64_t> DeviceUnixTime(std::string_view dtime, std::optional<int> biasMinutes) {
  using namespace std::chrono;
  if (dtime.size() != 14) return std::nullopt;
  auto y = Digits(dtime, 0, 4), mo = Digits(dtime, 4, 2), d = Digits(dtime, 6, 2);
  auto h = Digits(dtime, 8, 2), mi = Digits(dtime, 10, 2), s = Digits(dtime, 12, 2);
  if (!y || !mo || !d || !h || !mi || !s || *h > 23 || *mi > 59 || *s > 60) return std::nullopt;
  const year_month_day date{year(*y), month(static_cast<unsigned>(*mo)), day(static_cast<unsigned>(*d))};
  if (!date.ok()) return std::nullopt;
  const auto wall = sys_days(date) + hours(*h) + minutes(*mi) + seconds(*s);
  return wall.time_since_epoch().count() - std::int64_t{biasMinutes.value_or(0)} * 60;
}

void TcmdRDTIM::Reset() {
  TcmdClock::Reset();
  timeOffset_.reset();
}

void TcmdRDTIM::OnFinish() {
  auto dtime = GetRecvField("DTIME");
  if (!dtime) return;
  std::optional<int> bias;
  if (auto b = GetRecvField("BIAS")) bias = std::atoi(std::string(*b).c_str());
  if (auto device = DeviceUnixTime(*dtime, bias)) timeOffset_ = *device - Clock().unixNow();
}

Bytes TcmdWDTIM::BuildSendData(int phase) {
  if (phase == kPhaseCancel) return {};
  SetSendNumber("UTC", Clock().unixNow() + KeptNumber("TimeOffset"));
  return TcmdClock::BuildSendData(phase);
}

}  // namespace com::vantor
