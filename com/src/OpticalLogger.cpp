#include "sorrel/com/OpticalLogger.h"

#include "sorrel/com/OneCommandConnection.h"
#include "vantor/com/AdapterBase.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/TcmdEISET.h"
#include "vantor/detail/SeriousError.h"

namespace Sorrel::Com {
namespace {

constexpr int64_t kDeadlineMs = 1000;

SearchLoggerResult FromRecord(std::string_view data, const ComInfo& base) {
  if (data.size() != 64 && data.size() != 128) {
    throw VANTOR_SERIOUS_ERROR("remote-unit record of " + std::to_string(data.size()) + " bytes");
  }
  com::vantor::AdapterBaseR record({reinterpret_cast<const uint8_t*>(data.data()), data.size()});
  SearchLoggerResult r;
  r.serial = record.U32(36);
  r.model = com::vantor::ModelName(r.serial, record.U8(62));
  r.base = base;
  return r;
}

}  // namespace

OpticalLoggerRead ReadOpticalLogger(ComExecutorTable& table, const ComInfo& base, lm::CancelToken* cancel) {
  using Outcome = OpticalLoggerRead::Outcome;
  auto unit = table.Lookup(base);
  if (!unit) return {};
  // Bounded, as the USB probe is: a long download must not hold the search.
  UnitLease lease(unit->Gate(), cancel, kOpticalBusyWait);
  if (!lease.Held()) return {cancel && cancel->IsCancelled() ? Outcome::kCancelled : Outcome::kBusy, std::nullopt};

  OneCommandConnection connection(*unit);

  com::vantor::TcmdEISET eiset;
  unit->Executor().Execute(eiset, kDeadlineMs);
  if (!eiset.GetResult().IsCompleted() || !eiset.IsStatus(5, 0)) return {};
  return {Outcome::kRead, FromRecord(eiset.GetRecvField("DATA").value_or(std::string_view()), base)};
}

}  // namespace Sorrel::Com
