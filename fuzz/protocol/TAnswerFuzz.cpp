// Feeds arbitrary bytes to the T answer checks of a command.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "vantor/com/TFrame.h"
#include "vantor/com/TcmdWireless.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view answer(reinterpret_cast<const char*>(data), size);
  com::vantor::TcmdWireless command("EWLEX");
  command.ParseRecvData(com::vantor::kPhaseFirst, answer);
  auto parsed = com::vantor::ParseFrame(answer);
  // Whatever was accepted must describe the same frame the codec accepts.
  if (!command.GetRecvFields().empty() && (!parsed || parsed->name != "EWLEX")) std::abort();
  if (parsed) {
    if (com::vantor::ProbeFrame(answer).length != size) std::abort();
    // A parsed body rebuilds into a body that parses to the same fields.
    auto body = com::vantor::BuildBody(parsed->name, parsed->fields);
    if (!body) std::abort();
    auto again = com::vantor::ParseBody(*body);
    if (!again || again->fields != parsed->fields) std::abort();
  }
  (void)command.GetStatusText();
  (void)command.IsContinue(com::vantor::kPhaseFollowUp);
  return 0;
}
