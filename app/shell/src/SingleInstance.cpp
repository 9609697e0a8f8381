#include "linkmeter/shell/SingleInstance.h"

#include <fcntl.h>
#include <gio/gunixsocketaddress.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace linkmeter::shell {
namespace {

bool SessionBusReachable() {
  GError* error = nullptr;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (error) g_error_free(error);
  if (!bus) return false;
  g_object_unref(bus);
  return true;
}

}  // namespace

SingleInstance::SingleInstance(GtkApplication* app, std::string runtimeDir, Mode mode)
    : app_(GTK_APPLICATION(g_object_ref(app))), runtimeDir_(std::move(runtimeDir)), mode_(mode) {}

SingleInstance::~SingleInstance() {
  g_signal_handlers_disconnect_by_data(app_, this);
  if (service_) {
    g_socket_service_stop(service_);
    g_signal_handlers_disconnect_by_data(service_, this);
    g_object_unref(service_);
    unlink(socketPath_.c_str());
  }
  if (lockFd_ >= 0) close(lockFd_);
  g_object_unref(app_);
}

SingleInstance::Role SingleInstance::Acquire() {
  usesBus_ = mode_ == Mode::kUnique && SessionBusReachable();
  if (!usesBus_) {
    GApplicationFlags flags = g_application_get_flags(G_APPLICATION(app_));
    g_application_set_flags(G_APPLICATION(app_), GApplicationFlags(flags | G_APPLICATION_NON_UNIQUE));
  }
  GError* error = nullptr;
  if (!g_application_register(G_APPLICATION(app_), nullptr, &error)) {
    // Registration only fails on the bus; the lock still keeps one copy.
    std::fprintf(stderr, "linkmeter: %s\n", error ? error->message : "cannot register the application");
    if (error) g_error_free(error);
    usesBus_ = false;
  }
  if (mode_ == Mode::kNonUnique) return Role::kPrimary;
  if (usesBus_ && g_application_get_is_remote(G_APPLICATION(app_))) {
    RequestPresent(true);
    return Role::kHandedOver;
  }
  if (usesBus_) {
    g_signal_connect(app_, "activate", G_CALLBACK(OnActivate), this);
    return Role::kPrimary;
  }
  return AcquireLock();
}

SingleInstance::Role SingleInstance::AcquireLock() {
  const std::string base = runtimeDir_ + "/" + g_application_get_application_id(G_APPLICATION(app_));
  socketPath_ = base + ".sock";
  lockFd_ = open((base + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lockFd_ < 0) {
    // No runtime folder to lock in: run, but alone is not guaranteed.
    std::fprintf(stderr, "linkmeter: cannot open the instance lock in %s\n", runtimeDir_.c_str());
    return Role::kPrimary;
  }
  if (flock(lockFd_, LOCK_EX | LOCK_NB) == 0) {
    ListenLocal();
    return Role::kPrimary;
  }
  close(lockFd_);
  lockFd_ = -1;
  RequestPresent(false);
  return Role::kHandedOver;
}

bool SingleInstance::ListenLocal() {
  // The lock is ours, so a socket file left behind is stale.
  unlink(socketPath_.c_str());
  service_ = g_socket_service_new();
  GSocketAddress* address = g_unix_socket_address_new(socketPath_.c_str());
  GError* error = nullptr;
  bool ok = g_socket_listener_add_address(G_SOCKET_LISTENER(service_), address, G_SOCKET_TYPE_STREAM,
                                          G_SOCKET_PROTOCOL_DEFAULT, nullptr, nullptr, &error);
  g_object_unref(address);
  if (!ok) {
    std::fprintf(stderr, "linkmeter: cannot listen on %s: %s\n", socketPath_.c_str(), error->message);
    g_error_free(error);
    return false;
  }
  g_signal_connect(service_, "incoming", G_CALLBACK(OnIncoming), this);
  g_socket_service_start(service_);
  return true;
}

void SingleInstance::RequestPresent(bool viaBus) {
  if (viaBus) {
    g_application_activate(G_APPLICATION(app_));
    if (GDBusConnection* bus = g_application_get_dbus_connection(G_APPLICATION(app_)))
      g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    return;
  }
  // The first copy may hold the lock before it listens: try for a second.
  GSocketClient* client = g_socket_client_new();
  GSocketAddress* address = g_unix_socket_address_new(socketPath_.c_str());
  bool sent = false;
  for (int attempt = 0; attempt < 20 && !sent; ++attempt) {
    GSocketConnection* connection =
        g_socket_client_connect(client, G_SOCKET_CONNECTABLE(address), nullptr, nullptr);
    if (connection) {
      GOutputStream* out = g_io_stream_get_output_stream(G_IO_STREAM(connection));
      sent = g_output_stream_write_all(out, "present\n", 8, nullptr, nullptr, nullptr);
      g_io_stream_close(G_IO_STREAM(connection), nullptr, nullptr);
      g_object_unref(connection);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  g_object_unref(address);
  g_object_unref(client);
  if (!sent) std::fprintf(stderr, "linkmeter: another copy runs but did not answer\n");
}

void SingleInstance::OnActivate(GApplication*, gpointer self) {
  auto* instance = static_cast<SingleInstance*>(self);
  if (instance->present_) instance->present_();
}

gboolean SingleInstance::OnIncoming(GSocketService*, GSocketConnection*, GObject*, gpointer self) {
  auto* instance = static_cast<SingleInstance*>(self);
  if (instance->present_) instance->present_();
  return TRUE;
}

}  // namespace linkmeter::shell
