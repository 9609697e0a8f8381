#include "sorrel/js/KeepAwake.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace Sorrel::Js {

namespace {

constexpr int kBusTimeoutMs = 2000;

// A new inhibitor descriptor for `what`, or -1.
int Inhibit(const std::string& what) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SYSTEM, nullptr, &error);
  if (!bus) {
    g_clear_error(&error);
    return -1;
  }
  GUnixFDList* fds = nullptr;
  GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
      bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit",
      g_variant_new("(ssss)", what.c_str(), "Linkmeter", "A measurement is running", "block"), G_VARIANT_TYPE("(h)"),
      G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &fds, nullptr, &error);
  g_object_unref(bus);
  int fd = -1;
  if (reply && fds) {
    gint32 index = -1;
    g_variant_get(reply, "(h)", &index);
    fd = g_unix_fd_list_get(fds, index, nullptr);
  }
  if (reply) g_variant_unref(reply);
  if (fds) g_object_unref(fds);
  g_clear_error(&error);
  return fd;
}

}  // namespace

LogindKeepAwake::~LogindKeepAwake() {
  if (fd_ >= 0) ::close(fd_);
}

void LogindKeepAwake::Hold(bool system, bool display) {
  std::string what = system && display ? "sleep:idle" : system ? "sleep" : display ? "idle" : "";
  std::lock_guard lock(mutex_);
  if (what == what_ && (what.empty() || fd_ >= 0)) return;
  // The new lock is taken before the old one goes, so there is no gap.
  const int fd = what.empty() ? -1 : Inhibit(what);
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd;
  what_ = fd >= 0 ? what : "";
}

std::string LogindKeepAwake::Held() const {
  std::lock_guard lock(mutex_);
  return what_;
}

uint32_t ExecutionState::Set(uint32_t flags) {
  std::lock_guard lock(mutex_);
  const uint32_t previous = state_;
  if (flags & kEsContinuous) {
    state_ = flags;
    if (lock_) lock_->Hold(flags & kEsSystemRequired, flags & kEsDisplayRequired);
  }
  return previous;
}

}  // namespace Sorrel::Js
