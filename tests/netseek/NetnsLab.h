#pragma once
// Private networks for the tests. Create() moves the calling thread into a
// fresh, unnamed network namespace (the search side) and, when asked, links
// it by a veth pair to a second unnamed namespace (the peer side) where
// programs can be started. Nothing here touches the machine's own
// interfaces, and both namespaces vanish with this process.

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace netseek::test {

// A program started by the lab; stopped and reaped when it goes.
class ChildProcess {
 public:
  ChildProcess(pid_t pid, int stdoutFd) : pid_(pid), stdoutFd_(stdoutFd) {}
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess();

  // True once the program printed `line` on its standard output in time.
  bool WaitForLine(const std::string& line, std::chrono::milliseconds timeout);

 private:
  pid_t pid_;
  int stdoutFd_;
  std::string seen_;
};

struct LabLayout {
  // Addresses (CIDR) on the search side of the veth pair; none means no pair
  // and no peer, leaving the search side with only its loopback interface.
  std::vector<std::string> searchAddresses;
  std::vector<std::string> peerAddresses;
  // Further search-side addresses, added with the label "nsk0:1" (a labelled
  // secondary address, listed under that label rather than the device).
  std::vector<std::string> labelledSearchAddresses = {};
  // Addresses on a second veth pair to the same peer namespace: "nsk2" on the
  // search side, "nsk3" on the peer side. None means no second pair.
  std::vector<std::string> secondSearchAddresses = {};
  std::vector<std::string> secondPeerAddresses = {};
};

class NetnsLab {
 public:
  struct Failure {
    bool unavailable = false;  // no privilege or no `ip` tool: skip, never fall back
    std::string reason;
  };
  // Nothing, with the reason in `failure`, when the lab cannot be built.
  static std::unique_ptr<NetnsLab> Create(const LabLayout& layout, Failure& failure);
  ~NetnsLab();

  // Makes every datagram sent from `address` on the search side fail (with
  // EPERM, through a netfilter rule); false when nft is not installed.
  bool BlockSendsFrom(const std::string& address) const;
  // The same for every datagram leaving through the search-side `device`.
  bool BlockSendsOn(const std::string& device) const;

  // Starts argv[0] with the arguments inside the peer namespace.
  std::unique_ptr<ChildProcess> StartInPeer(const std::vector<std::string>& argv) const;

 private:
  NetnsLab(int searchNs, int peerNs) : searchNs_(searchNs), peerNs_(peerNs) {}
  bool Build(const LabLayout& layout, std::string& whyNot) const;
  bool AddLink(const char* searchLink, const char* peerLink,
               const std::vector<std::string>& searchAddresses,
               const std::vector<std::string>& peerAddresses) const;
  // Adds an output rule "<match...> drop" in the search namespace.
  bool AddDropRule(const std::vector<std::string>& match) const;

  int searchNs_;
  int peerNs_;
};

}  // namespace netseek::test
