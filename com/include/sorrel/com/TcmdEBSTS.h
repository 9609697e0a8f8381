#pragma once

#include "sorrel/com/TcmdRowHandler.h"
#include "vantor/com/TcmdEBSTS.h"

namespace Sorrel::Com {

// app.com.tcmdEBSTS: the base unit's state; no command members.
using TcmdEBSTS = TcmdFromRow<com::vantor::TcmdEBSTS>;

}  // namespace Sorrel::Com
