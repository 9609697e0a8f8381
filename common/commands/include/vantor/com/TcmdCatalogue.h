#pragma once
// The protocol class of every catalogue mnemonic: TcmdRow<N> for those that
// follow their family's pattern, the conversation classes for the others.
// ProtocolOf<N> maps a row to its class; the named aliases follow it.

#include "vantor/com/TcmdClock.h"
#include "vantor/com/TcmdEBSTS.h"
#include "vantor/com/TcmdEISET.h"
#include "vantor/com/TcmdEISUC.h"
#include "vantor/com/TcmdELOGS.h"
#include "vantor/com/TcmdETLAN.h"
#include "vantor/com/TcmdETRND.h"
#include "vantor/com/TcmdEWPTM.h"
#include "vantor/com/TcmdEWSTW.h"
#include "vantor/com/TcmdEWSUC.h"
#include "vantor/com/TcmdRSETFAnalyze.h"
#include "vantor/com/TcmdWSETF.h"

namespace com::vantor {

template <catalogue::Mnemonic N>
struct ProtocolOf {
  using type = TcmdRow<N>;
};
template <> struct ProtocolOf<"EISET"> { using type = TcmdEISET; };
template <> struct ProtocolOf<"EISUC"> { using type = TcmdEISUC; };
template <> struct ProtocolOf<"ELOGS"> { using type = TcmdELOGS; };
template <> struct ProtocolOf<"ETLAN"> { using type = TcmdETLAN; };
template <> struct ProtocolOf<"ETRND"> { using type = TcmdETRND; };
template <> struct ProtocolOf<"EWPTM"> { using type = TcmdEWPTM; };
template <> struct ProtocolOf<"EWSTW"> { using type = TcmdEWSTW; };
template <> struct ProtocolOf<"EWSUC"> { using type = TcmdEWSUC; };
template <> struct ProtocolOf<"RDTIM"> { using type = TcmdRDTIM; };
template <> struct ProtocolOf<"RSETF"> { using type = TcmdRSETFAnalyze; };
template <> struct ProtocolOf<"WDTIM"> { using type = TcmdWDTIM; };
template <> struct ProtocolOf<"WSETF"> { using type = TcmdWSETF; };

template <catalogue::Mnemonic N>
using ProtocolClass = typename ProtocolOf<N>::type;

// A row that promises a conversation must have its own class, and a class of
// its own must belong to such a row.
template <catalogue::Mnemonic N>
inline constexpr bool kClassFitsRow =
    catalogue::Row(N).conversation.empty() == std::is_same_v<ProtocolClass<N>, TcmdRow<N>>;

using TcmdEINIT = ProtocolClass<"EINIT">;
using TcmdEIREG = ProtocolClass<"EIREG">;
using TcmdEIRSP = ProtocolClass<"EIRSP">;
using TcmdEISCL = ProtocolClass<"EISCL">;
using TcmdEISER = ProtocolClass<"EISER">;
using TcmdEISOH = ProtocolClass<"EISOH">;
using TcmdEIWRS = ProtocolClass<"EIWRS">;
using TcmdKENSA = ProtocolClass<"KENSA">;
using TcmdEWLEX = ProtocolClass<"EWLEX">;
using TcmdEWLRU = ProtocolClass<"EWLRU">;
using TcmdEWOLR = ProtocolClass<"EWOLR">;
using TcmdEWOLW = ProtocolClass<"EWOLW">;
using TcmdEWPLR = ProtocolClass<"EWPLR">;
using TcmdEWPLW = ProtocolClass<"EWPLW">;
using TcmdEWPSP = ProtocolClass<"EWPSP">;
using TcmdEWPSR = ProtocolClass<"EWPSR">;
using TcmdEWPSW = ProtocolClass<"EWPSW">;
using TcmdEWPWR = ProtocolClass<"EWPWR">;
using TcmdEWPWW = ProtocolClass<"EWPWW">;
using TcmdEWRSC = ProtocolClass<"EWRSC">;
using TcmdEWRSP = ProtocolClass<"EWRSP">;
using TcmdEWSTR = ProtocolClass<"EWSTR">;
using TcmdRCURP = ProtocolClass<"RCURP">;
using TcmdRENCD = ProtocolClass<"RENCD">;
using TcmdRNETP = ProtocolClass<"RNETP">;
using TcmdRNSRV = ProtocolClass<"RNSRV">;
using TcmdRPRXY = ProtocolClass<"RPRXY">;
using TcmdRRUST = ProtocolClass<"RRUST">;
using TcmdRSUCP = ProtocolClass<"RSUCP">;
using TcmdRUINF = ProtocolClass<"RUINF">;
using TcmdRUSRD = ProtocolClass<"RUSRD">;
using TcmdRWARP = ProtocolClass<"RWARP">;
using TcmdRWLAN = ProtocolClass<"RWLAN">;
using TcmdWCURP = ProtocolClass<"WCURP">;
using TcmdWENCD = ProtocolClass<"WENCD">;
using TcmdWNETP = ProtocolClass<"WNETP">;
using TcmdWNSRV = ProtocolClass<"WNSRV">;
using TcmdWPRXY = ProtocolClass<"WPRXY">;
using TcmdWRUST = ProtocolClass<"WRUST">;
using TcmdWSUCP = ProtocolClass<"WSUCP">;
using TcmdWUINF = ProtocolClass<"WUINF">;
using TcmdWUSRD = ProtocolClass<"WUSRD">;
using TcmdWWARP = ProtocolClass<"WWARP">;
using TcmdWWLAN = ProtocolClass<"WWLAN">;

}  // namespace com::vantor
