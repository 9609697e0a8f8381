// Argument checks and result members of the conversations that work them
// out themselves: the registration transfer, the clock and the trend.

#include <cstdlib>

#include "sorrel/cef/Exception.h"
#include "sorrel/com/TcmdRowHandler.h"

namespace Sorrel::Com::row_handler {

void CheckArguments(const com::vantor::TcmdWSETF& command) {
  // Without bytes or a SAVE there is no frame to send.
  Sorrel::cef::Ensure(command.HasWork(), -1, Sorrel::cef::MsgNotFound("SendData"));
}

namespace {

// A byte string or span as an array of numbers 0..255.
template <class Bytes>
lm::json::Value ByteArray(const Bytes& bytes) {
  lm::json::Array out;
  out.reserve(bytes.size());
  for (auto c : bytes) out.emplace_back(static_cast<double>(static_cast<unsigned char>(c)));
  return lm::json::Value(std::move(out));
}

}  // namespace

void AddOwnMembers(com::vantor::TcmdRSETFAnalyze& command, lm::json::Object& result) {
  if (!Succeeded(command)) return;
  auto regInfo = command.TakeRegInfo();
  if (!regInfo) return;
  // Moved in: the tree is as large as the answer, a copy would double it.
  result["regInfo"] = std::move(*regInfo);
  // The bytes as read, so a later version can decode them again.
  result["DATA"] = ByteArray(command.Image());
}

void AddOwnMembers(const com::vantor::TcmdRDTIM& command, lm::json::Object& result) {
  if (auto offset = command.TimeOffset()) result["TimeOffset"] = lm::json::Number(*offset);
}

void AddOwnMembers(const com::vantor::TcmdETRND& command, lm::json::Object& result) {
  // What the last answer alone carried gives way to what the whole read collected.
  for (const char* key : {"MAX", "INT", "START", "UTC", "DATA"}) result.erase(key);
  for (const auto& [key, text] : command.TrendFields()) result[key] = lm::json::Number(std::atoi(text.c_str()));
  if (const auto& data = command.Collected()) result["DATA"] = ByteArray(*data);
}

}  // namespace Sorrel::Com::row_handler
