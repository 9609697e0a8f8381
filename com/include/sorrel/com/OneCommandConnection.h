#pragma once
// Opens a closed unit for one piece of work and closes it again when the
// work is done; meanwhile the page sees the unit closed. A unit that was
// already open is left as it is. The caller holds the unit's lease.

#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutorBase.h"

namespace Sorrel::Com {

class OneCommandConnection {
 public:
  // A failed open is not reported: the unit stays closed and the work then
  // ends as "not open".
  explicit OneCommandConnection(ComExecutor& unit) : unit_(unit), opened_(!unit.Executor().IsOpen()) {
    if (!opened_) return;
    unit_.SetOpenForOneCommand(true);
    try {
      OpenUnit(unit_, 0);
    } catch (const Sorrel::cef::JsExecuteException&) {
    }
  }
  ~OneCommandConnection() {
    if (!opened_) return;
    if (unit_.Executor().IsOpen()) unit_.Executor().Close();
    unit_.SetOpenForOneCommand(false);
  }
  OneCommandConnection(const OneCommandConnection&) = delete;
  OneCommandConnection& operator=(const OneCommandConnection&) = delete;

 private:
  ComExecutor& unit_;
  bool opened_;
};

}  // namespace Sorrel::Com
