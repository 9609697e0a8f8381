#include "sorrel/com/OpticalLogger.h"

#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutorBase.h"
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

std::optional<SearchLoggerResult> ReadOpticalLogger(ComExecutorTable& table, const ComInfo& base,
                                                    lm::CancelToken* cancel) {
  auto unit = table.Lookup(base);
  if (!unit) return std::nullopt;
  UnitLease lease(unit->Gate(), cancel);
  if (!lease.Held()) return std::nullopt;

  auto& executor = unit->Executor();
  const bool wasOpen = executor.IsOpen();
  if (!wasOpen) {
    unit->SetOpenForOneCommand(true);
    try {
      OpenUnit(*unit, 0);
    } catch (const Sorrel::cef::JsExecuteException&) {
      // Not reported: the command below then finds the unit closed.
    }
  }
  struct CloseIfOpenedHere {
    ComExecutor& unit;
    bool wasOpen;
    ~CloseIfOpenedHere() {
      if (wasOpen) return;
      if (unit.Executor().IsOpen()) unit.Executor().Close();
      unit.SetOpenForOneCommand(false);
    }
  } closeAfter{*unit, wasOpen};

  com::vantor::TcmdEISET eiset;
  executor.Execute(eiset, kDeadlineMs);
  if (!eiset.GetResult().IsCompleted() || !eiset.IsStatus(5, 0)) return std::nullopt;
  return FromRecord(eiset.GetRecvField("DATA").value_or(std::string_view()), base);
}

}  // namespace Sorrel::Com
