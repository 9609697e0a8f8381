#include "linkmeter/shell/PowerEvents.h"

#include <gio/gunixfdlist.h>
#include <unistd.h>

namespace linkmeter::shell {
namespace {

const char* Flag(bool on) { return on ? "true," : "false,"; }

constexpr int kLockCallTimeoutMs = 5000;

}  // namespace

std::string PowerEventScript(PowerEvent event, std::optional<bool> monitorPowerOn) {
  std::string s;
  s += "(function(){\n";
  s += "  if(typeof(app.onSystemEvent) == 'function'){\n";
  s += "    app.onSystemEvent({\n";
  s += "      name : 'powerBroadcast',\n";
  s += std::string("      powerStatusChange : ") + Flag(event == PowerEvent::kPowerStatusChange) + "\n";
  s += std::string("      resumeAutomatic : ") + Flag(event == PowerEvent::kResumeAutomatic) + "\n";
  s += std::string("      resumeSuspend : ") + Flag(event == PowerEvent::kResumeSuspend) + "\n";
  s += std::string("      suspend : ") + Flag(event == PowerEvent::kSuspend) + "\n";
  s += std::string("      powerSettingChange : ") + Flag(event == PowerEvent::kPowerSettingChange) + "\n";
  if (event == PowerEvent::kPowerSettingChange && monitorPowerOn)
    s += std::string("      monitorPowerOn : ") + Flag(*monitorPowerOn) + "\n";
  s += "    });\n";
  s += "  }\n";
  s += "}());";
  return s;
}

PowerWatcher::PowerWatcher(Sink sink) : sink_(std::move(sink)), cancel_(g_cancellable_new()) {
  // Asynchronous: a slow or missing bus never holds up the window.
  g_bus_get(G_BUS_TYPE_SYSTEM, cancel_, OnSystemBus, this);
  g_bus_get(G_BUS_TYPE_SESSION, cancel_, OnSessionBus, this);
}

PowerWatcher::~PowerWatcher() {
  g_cancellable_cancel(cancel_);
  ReleaseDelayLock();
  Release(system_);
  Release(session_);
  g_object_unref(cancel_);
}

void PowerWatcher::Release(Bus& bus) {
  if (!bus.connection) return;
  for (guint id : bus.subscriptions) {
    if (id) g_dbus_connection_signal_unsubscribe(bus.connection, id);
  }
  g_object_unref(bus.connection);
  bus.connection = nullptr;
}

void PowerWatcher::OnSystemBus(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (!bus) {
    g_error_free(error);  // cancelled, or no system bus: nothing to watch
    return;
  }
  auto* watcher = static_cast<PowerWatcher*>(self);
  watcher->system_.connection = bus;
  watcher->system_.subscriptions[0] = g_dbus_connection_signal_subscribe(
      bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
      "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnSleep, self, nullptr);
  watcher->system_.subscriptions[1] = g_dbus_connection_signal_subscribe(
      bus, "org.freedesktop.UPower", "org.freedesktop.DBus.Properties", "PropertiesChanged",
      "/org/freedesktop/UPower", "org.freedesktop.UPower", G_DBUS_SIGNAL_FLAGS_NONE, OnUPower, self, nullptr);
  watcher->TakeDelayLock();
}

void PowerWatcher::TakeDelayLock() {
  if (!system_.connection || delayFd_ >= 0 || delayAsked_) return;
  delayAsked_ = true;
  g_dbus_connection_call_with_unix_fd_list(
      system_.connection, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
      "Inhibit", g_variant_new("(ssss)", "sleep", "Linkmeter", "The page is told before the system sleeps", "delay"),
      G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, kLockCallTimeoutMs, nullptr, cancel_, OnDelayLock, this);
}

void PowerWatcher::OnDelayLock(GObject* bus, GAsyncResult* result, gpointer self) {
  GUnixFDList* fds = nullptr;
  GError* error = nullptr;
  GVariant* reply =
      g_dbus_connection_call_with_unix_fd_list_finish(G_DBUS_CONNECTION(bus), &fds, result, &error);
  if (!reply) {
    // Cancelled (the watcher is gone), or no logind: events go on without the lock.
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_error_free(error);
    if (!cancelled) static_cast<PowerWatcher*>(self)->delayAsked_ = false;
    return;
  }
  auto* watcher = static_cast<PowerWatcher*>(self);
  watcher->delayAsked_ = false;
  gint32 index = -1;
  g_variant_get(reply, "(h)", &index);
  g_variant_unref(reply);
  const int fd = fds ? g_unix_fd_list_get(fds, index, nullptr) : -1;
  if (fds) g_object_unref(fds);
  if (watcher->delayFd_ >= 0) ::close(watcher->delayFd_);
  watcher->delayFd_ = fd;
  // Granted only after the system began to sleep: it must not hold it up.
  if (watcher->sleeping_) watcher->ReleaseDelayLock();
}

void PowerWatcher::ReleaseDelayLock() {
  if (delayFd_ >= 0) ::close(delayFd_);
  delayFd_ = -1;
}

void PowerWatcher::OnSessionBus(GObject*, GAsyncResult* result, gpointer self) {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_finish(result, &error);
  if (!bus) {
    g_error_free(error);
    return;
  }
  auto* watcher = static_cast<PowerWatcher*>(self);
  watcher->session_.connection = bus;
  watcher->session_.subscriptions[0] = g_dbus_connection_signal_subscribe(
      bus, nullptr, "org.freedesktop.DBus.Properties", "PropertiesChanged", "/org/gnome/Mutter/DisplayConfig",
      "org.gnome.Mutter.DisplayConfig", G_DBUS_SIGNAL_FLAGS_NONE, OnDisplay, self, nullptr);
}

void PowerWatcher::OnSleep(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                           gpointer self) {
  if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(b)"))) return;
  gboolean start = FALSE;
  g_variant_get(params, "(b)", &start);
  auto* watcher = static_cast<PowerWatcher*>(self);
  watcher->sleeping_ = start;
  if (start) {
    // The pages have been sent the event: the system need not wait longer.
    watcher->sink_(PowerEvent::kSuspend, std::nullopt);
    watcher->ReleaseDelayLock();
    return;
  }
  watcher->sink_(PowerEvent::kResumeAutomatic, std::nullopt);
  watcher->sink_(PowerEvent::kResumeSuspend, std::nullopt);
  watcher->TakeDelayLock();
}

void PowerWatcher::OnUPower(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                            gpointer self) {
  if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  GVariant* changed = g_variant_get_child_value(params, 1);
  gboolean onBattery = FALSE;
  bool present = g_variant_lookup(changed, "OnBattery", "b", &onBattery);
  g_variant_unref(changed);
  auto* watcher = static_cast<PowerWatcher*>(self);
  if (!present || watcher->onBattery_ == bool(onBattery)) return;
  watcher->onBattery_ = bool(onBattery);
  watcher->sink_(PowerEvent::kPowerStatusChange, std::nullopt);
}

void PowerWatcher::OnDisplay(GDBusConnection*, const char*, const char*, const char*, const char*, GVariant* params,
                             gpointer self) {
  if (!g_variant_is_of_type(params, G_VARIANT_TYPE("(sa{sv}as)"))) return;
  GVariant* changed = g_variant_get_child_value(params, 1);
  gint32 mode = 0;
  bool present = g_variant_lookup(changed, "PowerSaveMode", "i", &mode);
  g_variant_unref(changed);
  // 0 is on; standby, suspend and off all leave the display dark.
  if (present) static_cast<PowerWatcher*>(self)->sink_(PowerEvent::kPowerSettingChange, mode == 0);
}

}  // namespace linkmeter::shell
