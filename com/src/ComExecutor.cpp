#include "sorrel/com/ComExecutor.h"

namespace Sorrel::Com {

ComExecutor::ComExecutor(ComInfo info, std::shared_ptr<com::vantor::ExecutorVela> executor)
    : info_(std::move(info)), executor_(std::move(executor)) {
  // The stored description is this unit's own copy.
  if (info_.usb) info_.usb = std::make_shared<WatchUsbInfo>(*info_.usb);
  if (info_.lan) info_.lan = std::make_shared<WatchLanInfo>(*info_.lan);
}

std::string ComExecutor::LanPassword() const {
  std::lock_guard lock(passwordMutex_);
  return info_.lan ? info_.lan->lanPassword : std::string();
}

void ComExecutor::SetLanPassword(const std::string& password) {
  std::lock_guard lock(passwordMutex_);
  if (info_.lan) info_.lan->lanPassword = password;
}

bool ComExecutorVelaFactory::IsKnownModel(uint32_t code) {
  switch (code) {
    case 41: case 42: case 77: case 78: case 79: case 80: case 81: case 96: case 98:
      return true;
    default:
      return false;
  }
}

std::shared_ptr<ComExecutor> ComExecutorVelaFactory::Create(const ComInfo& info) {
  const uint32_t serial = info.Serial();
  // A LAN unit reached by address alone (no serial) is accepted too.
  if (!IsKnownModel(ModelCode(serial)) && !(info.lan && serial == 0)) return nullptr;
  return std::make_shared<ComExecutor>(info, std::make_shared<com::vantor::ExecutorVela>());
}

}  // namespace Sorrel::Com
