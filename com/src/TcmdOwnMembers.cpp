// Argument checks and result members of the conversations that work them
// out themselves: the registration transfer and the clock.

#include "sorrel/cef/Exception.h"
#include "sorrel/com/TcmdRowHandler.h"

namespace Sorrel::Com::row_handler {

void CheckArguments(const com::vantor::TcmdWSETF& command) {
  // Without bytes or a SAVE there is no frame to send.
  Sorrel::cef::Ensure(command.HasWork(), -1, Sorrel::cef::MsgNotFound("SendData"));
}

void AddOwnMembers(const com::vantor::TcmdRSETFAnalyze& command, lm::json::Object& result) {
  if (const lm::json::Value* regInfo = command.RegInfo(); regInfo && Succeeded(command)) result["regInfo"] = *regInfo;
}

void AddOwnMembers(const com::vantor::TcmdRDTIM& command, lm::json::Object& result) {
  if (auto offset = command.TimeOffset()) result["TimeOffset"] = lm::json::Number(*offset);
}

}  // namespace Sorrel::Com::row_handler
