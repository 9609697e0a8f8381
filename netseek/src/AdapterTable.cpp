#include "AdapterTable.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <memory>

namespace netseek {
namespace {

struct IfAddrsDeleter {
  void operator()(ifaddrs* list) const { freeifaddrs(list); }
};

std::string DottedText(const sockaddr* address) {
  if (address == nullptr || address->sa_family != AF_INET) return {};
  char text[INET_ADDRSTRLEN] = {};
  const auto* in = reinterpret_cast<const sockaddr_in*>(address);
  if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr) return {};
  return text;
}

// The system lists an address under its label, which is the device name
// optionally followed by ":" and a suffix; device names never hold ":".
std::string DeviceName(const char* listedName) {
  if (listedName == nullptr) return {};
  std::string name = listedName;
  return name.substr(0, name.find(':'));
}

bool IsUsable(const ifaddrs& entry) {
  return entry.ifa_addr != nullptr && entry.ifa_addr->sa_family == AF_INET &&
         (entry.ifa_flags & IFF_UP) != 0 && (entry.ifa_flags & IFF_LOOPBACK) == 0;
}

}  // namespace

void AdapterTable::Fill() {
  entries_.clear();
  ifaddrs* raw = nullptr;
  if (getifaddrs(&raw) != 0) return;
  std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);
  for (const ifaddrs* it = list.get(); it != nullptr; it = it->ifa_next) {
    if (!IsUsable(*it)) continue;
    entries_.push_back(
        {DottedText(it->ifa_addr), DottedText(it->ifa_netmask), DeviceName(it->ifa_name)});
  }
}

}  // namespace netseek
