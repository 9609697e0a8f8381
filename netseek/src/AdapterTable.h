#pragma once
// The local IPv4 addresses a run sends from: every address of every interface
// that is up and not loopback, in the order the system lists them.

#include <string>
#include <vector>

namespace netseek {

struct AdapterAddress {
  std::string address;    // dotted text; empty when the system gave none
  std::string mask;       // dotted text; empty when the system gave none
  // The device the address belongs to. Labelled addresses are listed under
  // their label ("eth0:1"), which is no device; this is always the device.
  std::string interface;
};

class AdapterTable {
 public:
  // Reads the addresses from the system; an error leaves the table empty.
  void Fill();
  void Clear() { entries_.clear(); }
  bool Empty() const { return entries_.empty(); }
  const std::vector<AdapterAddress>& Entries() const { return entries_; }

 private:
  std::vector<AdapterAddress> entries_;
};

}  // namespace netseek
