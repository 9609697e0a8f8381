#include "vcomm/UsbBus.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace vcomm::usb {
namespace {

std::mutex g_directoryMutex;
std::string g_directoryOverride;

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string EntryStem(std::uint16_t deviceType, int slot, std::uint32_t serial) {
  std::array<char, 64> name{};
  std::snprintf(name.data(), name.size(), "%u-%03d-%08X", unsigned{deviceType}, slot, unsigned{serial});
  return name.data();
}

// Reads "<type>-<slot>-<serial>.sock"; none for any other name.
std::optional<UnitEntry> ParseEntryName(const std::string& directory, const char* name) {
  unsigned type = 0, serial = 0;
  int slot = 0, consumed = 0;
  if (std::sscanf(name, "%5u-%3d-%8X.sock%n", &type, &slot, &serial, &consumed) != 3) return std::nullopt;
  if (static_cast<std::size_t>(consumed) != std::strlen(name) || type > 0xFFFF || slot < 0 ||
      slot >= kSlotCount || EntryStem(static_cast<std::uint16_t>(type), slot, serial) + ".sock" != name) {
    return std::nullopt;
  }
  return UnitEntry{static_cast<std::uint16_t>(type), slot, serial, directory + "/" + name};
}

std::string LockPathOf(const std::string& socketPath) {
  return socketPath.substr(0, socketPath.size() - 5) + ".lock";
}

// A unit is live while its attaching process holds its lock file.
bool IsLive(const UnitEntry& entry) {
  UniqueFd lock(::open(LockPathOf(entry.socketPath).c_str(), O_RDONLY | O_CLOEXEC));
  if (!lock) return false;
  return ::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

void RemoveEntryFiles(const UnitEntry& entry) {
  ::unlink(entry.socketPath.c_str());
  ::unlink(LockPathOf(entry.socketPath).c_str());
}

// Every entry in the directory, live or not.
std::vector<UnitEntry> ScanEntries(const std::string& directory) {
  std::vector<UnitEntry> entries;
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return entries;
  while (const dirent* item = ::readdir(dir)) {
    if (auto entry = ParseEntryName(directory, item->d_name)) entries.push_back(std::move(*entry));
  }
  ::closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const UnitEntry& a, const UnitEntry& b) {
    return a.deviceType != b.deviceType ? a.deviceType < b.deviceType : a.slot < b.slot;
  });
  return entries;
}

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

bool EnsureDirectory(const std::string& directory) {
  if (::mkdir(directory.c_str(), 0700) == 0 || errno == EEXIST) return true;
  return false;
}

// Chooses the slot under the bus lock; removes stale entries met on the way.
std::optional<int> ChooseSlot(const std::string& directory, std::uint16_t deviceType, std::uint32_t serial,
                              std::string* error) {
  std::array<bool, kSlotCount> taken{};
  for (const UnitEntry& entry : ScanEntries(directory)) {
    if (!IsLive(entry)) {
      RemoveEntryFiles(entry);
      continue;
    }
    if (entry.serial == serial) {
      SetError(error, "serial " + EntryStem(entry.deviceType, entry.slot, serial) + " is already attached");
      return std::nullopt;
    }
    if (entry.deviceType == deviceType) taken[entry.slot] = true;
  }
  auto free = std::find(taken.begin(), taken.end(), false);
  if (free == taken.end()) {
    SetError(error, "every slot of the device type is taken");
    return std::nullopt;
  }
  return static_cast<int>(free - taken.begin());
}

UniqueFd ListenAt(const std::string& path, std::string* error) {
  sockaddr_un address;
  if (!FillAddress(path, address)) {
    SetError(error, "socket path too long: " + path);
    return {};
  }
  UniqueFd listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  ::unlink(path.c_str());
  if (!listener || ::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener.Get(), 8) != 0) {
    SetError(error, "cannot listen at " + path + ": " + std::strerror(errno));
    return {};
  }
  return listener;
}

}  // namespace

std::string BusDirectory() {
  {
    std::lock_guard lock(g_directoryMutex);
    if (!g_directoryOverride.empty()) return g_directoryOverride;
  }
  if (auto bus = EnvOrEmpty("LINKMETER_USB_BUS"); !bus.empty()) return bus;
  if (auto runtime = EnvOrEmpty("XDG_RUNTIME_DIR"); !runtime.empty()) return runtime + "/linkmeter-usb";
  return "/tmp/linkmeter-usb-" + std::to_string(::getuid());
}

void SetBusDirectory(const std::string& directory) {
  std::lock_guard lock(g_directoryMutex);
  g_directoryOverride = directory;
}

std::vector<UnitEntry> ListUnits(std::uint16_t deviceType) {
  std::vector<UnitEntry> units;
  for (UnitEntry& entry : ScanEntries(BusDirectory())) {
    if (entry.deviceType == deviceType && IsLive(entry)) units.push_back(std::move(entry));
  }
  return units;
}

std::optional<UnitEntry> FindUnit(std::uint32_t serial) {
  for (UnitEntry& entry : ScanEntries(BusDirectory())) {
    if (entry.serial == serial && IsLive(entry)) return std::move(entry);
  }
  return std::nullopt;
}

UniqueFd ConnectUnit(const UnitEntry& unit) {
  sockaddr_un address;
  if (!FillAddress(unit.socketPath, address)) return {};
  UniqueFd stream(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!stream || ::connect(stream.Get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return {};
  return stream;
}

std::unique_ptr<AttachedUnit> AttachedUnit::Attach(std::uint16_t deviceType, std::uint32_t serial,
                                                   std::string* error) {
  const std::string directory = BusDirectory();
  if (!EnsureDirectory(directory)) {
    SetError(error, "cannot create the bus directory " + directory);
    return nullptr;
  }
  // One attacher at a time chooses a slot.
  UniqueFd busLock(::open((directory + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!busLock || ::flock(busLock.Get(), LOCK_EX) != 0) {
    SetError(error, "cannot lock the bus directory " + directory);
    return nullptr;
  }
  auto slot = ChooseSlot(directory, deviceType, serial, error);
  if (!slot) return nullptr;
  const std::string stem = directory + "/" + EntryStem(deviceType, *slot, serial);
  // Lock first, socket second: a listed socket always has a held lock.
  UniqueFd unitLock(::open((stem + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!unitLock || ::flock(unitLock.Get(), LOCK_EX | LOCK_NB) != 0) {
    SetError(error, "cannot lock " + stem + ".lock");
    return nullptr;
  }
  UniqueFd listener = ListenAt(stem + ".sock", error);
  if (!listener) {
    ::unlink((stem + ".lock").c_str());
    return nullptr;
  }
  UnitEntry entry{deviceType, *slot, serial, stem + ".sock"};
  return std::unique_ptr<AttachedUnit>(
      new AttachedUnit(std::move(entry), std::move(listener), std::move(unitLock), stem + ".lock"));
}

AttachedUnit::AttachedUnit(UnitEntry entry, UniqueFd listener, UniqueFd lock, std::string lockPath)
    : entry_(std::move(entry)), listener_(std::move(listener)), lock_(std::move(lock)), lockPath_(std::move(lockPath)) {}

AttachedUnit::~AttachedUnit() { Detach(); }

void AttachedUnit::Detach() {
  if (!listener_) return;
  ::unlink(entry_.socketPath.c_str());
  ::unlink(lockPath_.c_str());
  listener_.Reset();
  lock_.Reset();
}

UniqueFd AttachedUnit::Accept(int timeoutMs) {
  if (!listener_) return {};
  pollfd waiting{listener_.Get(), POLLIN, 0};
  int ready = ::poll(&waiting, 1, timeoutMs);
  if (ready <= 0 || !(waiting.revents & POLLIN)) return {};
  return UniqueFd(::accept4(listener_.Get(), nullptr, nullptr, SOCK_CLOEXEC));
}

}  // namespace vcomm::usb
