#pragma once
// app.com.tcmdGetRsLevel: the signal level a base unit hears on each of a
// list of channels, one VLB1 exchange per channel and a closing one.

#include <memory>

#include "sorrel/com/ComExecutorBase.h"
#include "vantor/com/TcmdVLB1.h"

namespace Sorrel::Com {

class TcmdGetRsLevel : public ComExecutorBase {
 public:
  explicit TcmdGetRsLevel(ComExecutorTable& table = ComExecutorTable::Instance())
      : ComExecutorBase("ComTcmdGetRsLevel", "app.com.tcmdGetRsLevel", 0, table) {}

  // DATA 01 3E 00 02 00 <channel> 00.
  virtual std::shared_ptr<com::vantor::TcmdVLB1> MakeMeasureCommand(uint8_t channel);
  // DATA 01 AF 00 02 00 00 00.
  virtual std::shared_ptr<com::vantor::TcmdVLB1> MakeClosingCommand();

  void Run(PrmExecutor& prm) override;
  // Nothing measured: the failure {"code1": 0} of a cancelled measurement.
  void RunCancelled(PrmExecutor& prm) override;

 private:
  // Runs one VLB1 exchange; anything but an accepted or cancelled answer
  // raises the -22 failure.
  static void ExecuteChecked(com::vantor::Executor& executor, com::vantor::TcmdVLB1& command);
};

}  // namespace Sorrel::Com
