#pragma once

#include "sorrel/com/TcmdHandler.h"
#include "vantor/com/TcmdEBSTS.h"

namespace Sorrel::Com {

// app.com.tcmdEBSTS: the base unit's state; no command members.
class TcmdEBSTS : public TcmdOf<TcmdEBSTS, com::vantor::TcmdEBSTS> {
 public:
  TcmdEBSTS() : TcmdOf("EBSTS") {}
};

}  // namespace Sorrel::Com
