#include "vantor/com/TcmdVLB1.h"

namespace com::vantor {

TcmdVLB1::TcmdVLB1() : Tcmd("VLB1") {}

int TcmdVLB1::SetMODE(std::int32_t mode) {
  SetSendNumber("MODE", mode);
  return 0;
}

int TcmdVLB1::SetTIME(std::int32_t time) {
  SetSendNumber("TIME", time);
  return 0;
}

int TcmdVLB1::SetSendData(Bytes data) {
  SetSendField("DATA", std::move(data));
  return 0;
}

bool TcmdVLB1::IsSuccess() const { return IsStatus(4, 0); }

}  // namespace com::vantor
