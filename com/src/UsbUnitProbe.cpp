#include "sorrel/com/UsbUnitProbe.h"

#include <optional>

#include "lm/Text.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/RowCommand.h"

namespace Sorrel::Com {
namespace {

std::string AnswerText(const com::vantor::Tcmd& command, const char* key) {
  auto value = command.GetRecvField(key);
  return value ? lm::text::AnsiToUtf8(*value) : std::string();
}

}  // namespace

ProbeOutcome ProbeUsbUnit(ComExecutorTable& table, uint32_t serial, int32_t port, WatchUsbInfo& out) {
  ComInfo info;
  info.usb = std::make_shared<WatchUsbInfo>();
  info.usb->serial = serial;
  info.usb->model = com::vantor::ModelName(serial);
  info.usb->port = port;
  // The unit's lease keeps its commands and this probe apart; units this
  // program does not talk to have no table entry and nothing to wait for.
  std::shared_ptr<ComExecutor> unit = table.Lookup(info);
  std::optional<UnitLease> lease;
  if (unit) lease.emplace(unit->Gate(), nullptr);

  com::vantor::ExecutorVela temporary;
  struct CloseTemporary {
    com::vantor::ExecutorVela& executor;
    ~CloseTemporary() {
      if (executor.IsOpen()) executor.Close();
    }
  } closeAfter{temporary};
  com::vantor::ExecutorVela* executor = &temporary;
  if (unit && unit->Executor().IsOpen()) {
    executor = &unit->Executor();
  } else if (!temporary.OpenUSB(serial, 0).IsCompleted()) {
    return ProbeOutcome::kSkipped;
  }

  com::vantor::TcmdRow<"RUINF"> ruinf;
  executor->Execute(ruinf, 0);
  if (!ruinf.GetResult().IsCompleted() || !ruinf.IsStatus(2, 0)) return ProbeOutcome::kStop;
  out = WatchUsbInfo{};
  auto ser = ruinf.GetRecvField("SER");
  out.serial = ser ? ParseSerialText(std::string(*ser)) : 0;
  out.name = AnswerText(ruinf, "NAME");
  out.descr = AnswerText(ruinf, "DESC");
  out.model = com::vantor::ModelName(out.serial);
  out.port = port;
  return ProbeOutcome::kFound;
}

}  // namespace Sorrel::Com
