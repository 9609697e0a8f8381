#include "FakeDevice.h"

#include <chrono>
#include <thread>

#include "vantor/vcomm/VcommError.h"
#include "vcomm/Vcomm.h"

namespace com::vantor::testing {

ExecResult FakeDevice::Send(const Bytes& bytes) {
  if (!connected_) return VcommError("Vcomm_SendComm", VCOMM_SEND_ERR, kCodeSend);
  auto body = ParseFrame(bytes);
  sent_.push_back({body ? *body : TBody{}, bytes, NowTick()});
  return ExecResult::Completed();
}

ExecResult FakeDevice::Recv(int phase, Icmd& command) {
  recvPhases_.push_back(phase);
  if (!connected_ || sent_.empty()) return VcommError("Vcomm_RecvComm", VCOMM_RECVDATA_ERR, kCodeRecv);
  Reply reply = script_(sent_.back().body, sent_.size() - 1);
  if (reply.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
  switch (reply.fault) {
    case Reply::Fault::kDrop:
      return VcommError("Vcomm_RecvComm", VCOMM_TIMEOUT_ERR, kCodeRecv);
    case Reply::Fault::kDisconnect:
      connected_ = false;
      return VcommError("Vcomm_RecvComm", VCOMM_RECVDATA_ERR, kCodeRecv);
    default:
      break;
  }
  std::string name = reply.fault == Reply::Fault::kWrongName ? "WRONG" : sent_.back().body.name;
  Bytes frame = *BuildFrame(name, reply.fields, reply.form);
  if (reply.fault == Reply::Fault::kBadChecksum) frame.back() ^= 0x01;
  command.ParseRecvData(phase, frame);
  return ExecResult::Completed();
}

std::vector<std::string> FakeDevice::Acts() const {
  std::vector<std::string> acts;
  for (const Sent& sent : sent_) {
    auto act = sent.body.Find("ACT");
    acts.push_back(act ? std::string(*act) : "-");
  }
  return acts;
}

}  // namespace com::vantor::testing
