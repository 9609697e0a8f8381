#include "sorrel/com/SearchParams.h"

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::Com {

using Sorrel::cef::ArgReader;
using Need = ArgReader::Need;

SearchUSBPrm SearchUSBPrm::Read(const lm::json::Value& args) {
  ArgReader reader(args);
  SearchUSBPrm p;
  const std::pair<const char*, bool*> flags[] = {
      {"force", &p.force}, {"vlb2", &p.vlb2},   {"vlb1", &p.vlb1},   {"vlb5", &p.vlb5},  {"vlb3", &p.vlb3},
      {"vlrf", &p.vlrf},   {"vlrg", &p.vlrg},   {"vlb8", &p.vlb8},   {"vln12", &p.vln12}, {"vln34", &p.vln34}};
  for (const auto& [key, flag] : flags) reader.Bool(key, *flag, Need::Optional);
  return p;
}

SearchLANPrm SearchLANPrm::Read(const lm::json::Value& args) {
  ArgReader reader(args);
  SearchLANPrm p;
  // A port outside 16 bits would silently become another port: refuse it.
  for (const auto& [key, port] : {std::pair<const char*, int32_t*>{"udpSendPort", &p.udpSendPort},
                                  std::pair<const char*, int32_t*>{"udpRecvPort", &p.udpRecvPort}}) {
    if (reader.Int32(key, *port, Need::Optional) && (*port < 0 || *port > 0xFFFF)) {
      throw Sorrel::cef::JsArgumentException(-2, Sorrel::cef::MsgInvalid(key));
    }
  }
  reader.Int32("udpTimeoutSec", p.udpTimeoutSec, Need::Optional);
  return p;
}

}  // namespace Sorrel::Com
