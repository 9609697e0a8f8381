#pragma once
// STATUS values the simulated units answer with: the same named codes the
// program's success tests use. A STATUS travels as "%04d-%04d" (group,
// detail); the groups follow the command families.

#include "vantor/com/StatusCode.h"

namespace linkmeter::sim {

using Status = com::vantor::StatusCode;

namespace status {
using namespace com::vantor::status;
}  // namespace status

}  // namespace linkmeter::sim
