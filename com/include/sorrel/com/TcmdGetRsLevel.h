#pragma once
// app.com.tcmdGetRsLevel: the signal level a base unit hears on each of a
// list of channels, one VLB1 exchange per channel and a closing one.

#include <memory>

#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutorBase.h"
#include "vantor/com/TcmdVLB1.h"

namespace Sorrel::Com {

class TcmdGetRsLevel : public ComExecutorBase {
 public:
  explicit TcmdGetRsLevel(ComExecutorTable& table)
      : ComExecutorBase("ComTcmdGetRsLevel", "app.com.tcmdGetRsLevel", 0, table) {}

  // DATA 01 3E 00 02 00 <channel> 00.
  virtual std::shared_ptr<com::vantor::TcmdVLB1> MakeMeasureCommand(uint8_t channel);
  // DATA 01 AF 00 02 00 00 00.
  virtual std::shared_ptr<com::vantor::TcmdVLB1> MakeClosingCommand();

  // Measures until the list ends or the call is cancelled, then always sends
  // the closing command; a cancelled call then fails with {"code1": 0,
  // "msg": "cancel"}.
  void Run(PrmExecutor& prm) override;
  // Nothing measured: the cancelled failure.
  void RunCancelled(PrmExecutor& prm) override;

  // code1 of a measurement the unit refused or could not make (the page's
  // device/failures.js MEASURE_FAILED).
  static constexpr int32_t kMeasureFailed = -22;

 private:
  // Runs one VLB1 exchange: true when accepted, false when cancelled before
  // it went out; a failed link raises its library failure (code1, code2,
  // msg as the library says it), anything else the kMeasureFailed failure.
  static bool ExecuteChecked(com::vantor::Executor& executor, com::vantor::TcmdVLB1& command);
  void SendClosing(PrmExecutor& prm);
  static Sorrel::cef::JsExecuteException CancelledFailure();
};

}  // namespace Sorrel::Com
