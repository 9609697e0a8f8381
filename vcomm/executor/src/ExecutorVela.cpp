#include "vantor/vcomm/ExecutorVela.h"

#include <algorithm>

#include "lm/ThreadRole.h"
#include "vantor/vcomm/VcommError.h"

namespace com::vantor {
namespace {

constexpr int kRecvCapacity = VCOMM_RECV_CAPACITY;

// Calls `open` up to retry + 1 times, stopping at the first 0.
template <typename Open>
int OpenWithRetries(int retry, Open open) {
  int result = open();
  for (int attempt = 0; result != 0 && attempt < std::max(retry, 0); ++attempt) result = open();
  return result;
}

}  // namespace

ExecutorVela::~ExecutorVela() { Close(); }

ExecResult ExecutorVela::OpenUSB(std::uint32_t serial, int retry) {
  LM_EXPECT_OFF_WINDOW_THREAD("ExecutorVela::OpenUSB");
  // A held handle is let go properly rather than leaked.
  Close();
  int result = OpenWithRetries(retry, [&] { return Vcomm_OpenUSBComm(serial); });
  if (result < 0) return VcommError("Vcomm_OpenUSBComm", result, kCodeOpenUSB);
  handle_ = Vcomm_Handle{serial};
  open_ = true;
  return ExecResult::Completed();
}

ExecResult ExecutorVela::OpenLAN(const std::string& address, int port, const std::string& password,
                                 void* ownerWindow, int retry) {
  LM_EXPECT_OFF_WINDOW_THREAD("ExecutorVela::OpenLAN");
  if (handle_) return ExecResult::Error("ExecutorVela::Open", kCodeOpenAgain, 0);
  Vcomm_Handle handle = 0;
  int result = OpenWithRetries(
      retry, [&] { return Vcomm_OpenLANComm(address.c_str(), port, password.c_str(), ownerWindow, &handle); });
  if (result < 0) return VcommError("Vcomm_OpenLANComm", result, kCodeOpenLAN);
  handle_ = handle;
  open_ = true;
  return ExecResult::Completed();
}

void ExecutorVela::Close() {
  if (!handle_) return;
  open_ = false;
  Vcomm_CloseComm(*handle_);
  handle_.reset();
}

ExecResult ExecutorVela::Send(const Bytes& bytes) {
  LM_EXPECT_OFF_WINDOW_THREAD("ExecutorVela::Send");
  if (!handle_) return VcommError("Vcomm_SendComm", VCOMM_ARGUMENT_ERR, kCodeSend);
  Vcomm_ClearCommBuf(*handle_, 1);
  Vcomm_ClearCommBuf(*handle_, 0);
  int result = Vcomm_SendComm(*handle_, bytes.data(), static_cast<int>(bytes.size()));
  if (result < 0) return VcommError("Vcomm_SendComm", result, kCodeSend);
  return ExecResult::Completed();
}

ExecResult ExecutorVela::Recv(int phase, Icmd& command) {
  LM_EXPECT_OFF_WINDOW_THREAD("ExecutorVela::Recv");
  if (!handle_) return VcommError("Vcomm_RecvComm", VCOMM_ARGUMENT_ERR, kCodeRecv);
  // Written before it is read, so never zeroed.
  if (!recvBuffer_) recvBuffer_ = std::make_unique_for_overwrite<char[]>(kRecvCapacity);
  int timeoutSeconds = command.GetRecvTimeout(phase) / 1000;
  int result = Vcomm_RecvComm(*handle_, recvBuffer_.get(), kRecvCapacity, timeoutSeconds);
  if (result < 0) return VcommError("Vcomm_RecvComm", result, kCodeRecv);
  command.ParseRecvData(phase, std::string_view(recvBuffer_.get(), static_cast<std::size_t>(result)));
  return ExecResult::Completed();
}

}  // namespace com::vantor
