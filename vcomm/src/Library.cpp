#include "vcomm/Library.h"

#include <mutex>
#include <stdexcept>
#include <utility>

#include "LibraryState.h"

namespace vcomm {
namespace {

std::mutex g_installMutex;
std::shared_ptr<LibraryState> g_installed;

}  // namespace

std::shared_ptr<LibraryState> LibraryState::Installed() {
  std::lock_guard lock(g_installMutex);
  return g_installed;
}

Library::Library() : state_(std::make_shared<LibraryState>()) {
  state_->usb = MakeSocketBusProvider();
  std::lock_guard lock(g_installMutex);
  if (g_installed) throw std::logic_error("vcomm::Library: another one is live in this process");
  g_installed = state_;
}

Library::~Library() {
  {
    std::lock_guard lock(g_installMutex);
    if (g_installed == state_) g_installed.reset();
  }
  // Calls still running keep the state alive; their connections end here.
  state_->connections.ShutdownAll();
}

}  // namespace vcomm
