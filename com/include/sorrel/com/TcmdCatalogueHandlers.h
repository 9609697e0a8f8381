#pragma once
// The page handler of every catalogue mnemonic, Sorrel::Com::Tcmd + mnemonic,
// and the list the registration and the tests walk: one entry per row, in
// the catalogue's order.

#include <functional>
#include <memory>
#include <span>
#include <string_view>

#include "sorrel/com/TcmdRowHandler.h"
#include "vantor/com/TcmdCatalogue.h"

namespace Sorrel::Com {

template <com::vantor::catalogue::Mnemonic N>
using HandlerOf = TcmdFromRow<com::vantor::ProtocolClass<N>>;

using TcmdEINIT = HandlerOf<"EINIT">;
using TcmdEIREG = HandlerOf<"EIREG">;
using TcmdEIRSP = HandlerOf<"EIRSP">;
using TcmdEISCL = HandlerOf<"EISCL">;
using TcmdEISER = HandlerOf<"EISER">;
using TcmdEISET = HandlerOf<"EISET">;
using TcmdEISOH = HandlerOf<"EISOH">;
using TcmdEISUC = HandlerOf<"EISUC">;
using TcmdEIWRS = HandlerOf<"EIWRS">;
using TcmdELOGS = HandlerOf<"ELOGS">;
using TcmdETLAN = HandlerOf<"ETLAN">;
using TcmdETRND = HandlerOf<"ETRND">;
using TcmdKENSA = HandlerOf<"KENSA">;
using TcmdEWLEX = HandlerOf<"EWLEX">;
using TcmdEWLRU = HandlerOf<"EWLRU">;
using TcmdEWOLR = HandlerOf<"EWOLR">;
using TcmdEWOLW = HandlerOf<"EWOLW">;
using TcmdEWPLR = HandlerOf<"EWPLR">;
using TcmdEWPLW = HandlerOf<"EWPLW">;
using TcmdEWPSP = HandlerOf<"EWPSP">;
using TcmdEWPSR = HandlerOf<"EWPSR">;
using TcmdEWPSW = HandlerOf<"EWPSW">;
using TcmdEWPTM = HandlerOf<"EWPTM">;
using TcmdEWPWR = HandlerOf<"EWPWR">;
using TcmdEWPWW = HandlerOf<"EWPWW">;
using TcmdEWRSC = HandlerOf<"EWRSC">;
using TcmdEWRSP = HandlerOf<"EWRSP">;
using TcmdEWSTR = HandlerOf<"EWSTR">;
using TcmdEWSTW = HandlerOf<"EWSTW">;
using TcmdEWSUC = HandlerOf<"EWSUC">;
using TcmdRCURP = HandlerOf<"RCURP">;
using TcmdRENCD = HandlerOf<"RENCD">;
using TcmdRNETP = HandlerOf<"RNETP">;
using TcmdRNSRV = HandlerOf<"RNSRV">;
using TcmdRPRXY = HandlerOf<"RPRXY">;
using TcmdRRUST = HandlerOf<"RRUST">;
using TcmdRSUCP = HandlerOf<"RSUCP">;
using TcmdRUINF = HandlerOf<"RUINF">;
using TcmdRUSRD = HandlerOf<"RUSRD">;
using TcmdRWARP = HandlerOf<"RWARP">;
using TcmdRWLAN = HandlerOf<"RWLAN">;
using TcmdWCURP = HandlerOf<"WCURP">;
using TcmdWENCD = HandlerOf<"WENCD">;
using TcmdWNETP = HandlerOf<"WNETP">;
using TcmdWNSRV = HandlerOf<"WNSRV">;
using TcmdWPRXY = HandlerOf<"WPRXY">;
using TcmdWRUST = HandlerOf<"WRUST">;
using TcmdWSUCP = HandlerOf<"WSUCP">;
using TcmdWUINF = HandlerOf<"WUINF">;
using TcmdWUSRD = HandlerOf<"WUSRD">;
using TcmdWWARP = HandlerOf<"WWARP">;
using TcmdWWLAN = HandlerOf<"WWLAN">;
using TcmdRDTIM = HandlerOf<"RDTIM">;
using TcmdRSETF = HandlerOf<"RSETF">;
using TcmdWDTIM = HandlerOf<"WDTIM">;
using TcmdWSETF = HandlerOf<"WSETF">;

struct CatalogueHandler {
  const com::vantor::catalogue::CommandRow* row;
  // A handler for the unit table.
  std::function<std::shared_ptr<ComExecutorBase>(ComExecutorTable&)> make;
  // The command a call with these arguments would send (argument errors
  // raise as in a call); for tests and tools that look at frames.
  std::function<std::shared_ptr<com::vantor::Tcmd>(const lm::json::Value& args)> command;
};

// A table that never holds a unit, for handlers made only to build commands:
// a call run through one finds no unit.
ComExecutorTable& NoUnits();

// One entry per catalogue row, in registration order.
std::span<const CatalogueHandler> CatalogueHandlers();
const CatalogueHandler* FindCatalogueHandler(std::string_view mnemonic);

}  // namespace Sorrel::Com
