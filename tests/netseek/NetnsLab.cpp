#include "NetnsLab.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace netseek::test {
namespace {

const char* FindTool(const char* name) {
  static thread_local std::string found;
  for (const char* dir : {"/usr/sbin/", "/sbin/", "/usr/bin/", "/bin/"}) {
    found = std::string(dir) + name;
    if (::access(found.c_str(), X_OK) == 0) return found.c_str();
  }
  return nullptr;
}

const char* FindIpTool() { return FindTool("ip"); }

int OpenCurrentNetns() { return ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC); }

// Forks and runs argv inside namespace `nsFd`, with standard output on
// `stdoutFd` when that is set. Returns the child's pid, or -1.
pid_t SpawnIn(int nsFd, const std::vector<std::string>& argv, int stdoutFd) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  // Child: only async-signal-safe calls from here on.
  if (nsFd >= 0 && ::setns(nsFd, CLONE_NEWNET) != 0) ::_exit(126);
  if (stdoutFd >= 0) ::dup2(stdoutFd, STDOUT_FILENO);
  ::execv(args[0], args.data());
  ::_exit(127);
}

bool RunIn(int nsFd, const std::vector<std::string>& argv) {
  const pid_t pid = SpawnIn(nsFd, argv, -1);
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

constexpr const char* kSearchLink = "nsk0";
constexpr const char* kPeerLink = "nsk1";
constexpr const char* kSecondSearchLink = "nsk2";
constexpr const char* kSecondPeerLink = "nsk3";

}  // namespace

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
}

bool ChildProcess::WaitForLine(const std::string& line, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (seen_.find(line + "\n") == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    pollfd p{stdoutFd_, POLLIN, 0};
    if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char buffer[256];
    const ssize_t n = ::read(stdoutFd_, buffer, sizeof buffer);
    if (n <= 0) return false;
    seen_.append(buffer, static_cast<std::size_t>(n));
  }
  return true;
}

std::unique_ptr<NetnsLab> NetnsLab::Create(const LabLayout& layout, Failure& failure) {
  failure.unavailable = true;
  if (FindIpTool() == nullptr) {
    failure.reason = "the ip tool (iproute2) is not installed";
    return nullptr;
  }
  if (::unshare(CLONE_NEWNET) != 0) {
    failure.reason =
        std::string("cannot create a network namespace (needs root): ") + std::strerror(errno);
    return nullptr;
  }
  failure.unavailable = false;
  const int searchNs = OpenCurrentNetns();
  int peerNs = -1;
  if (!layout.searchAddresses.empty()) {
    // Step into a second new namespace only long enough to get hold of it.
    if (::unshare(CLONE_NEWNET) == 0) {
      peerNs = OpenCurrentNetns();
      if (::setns(searchNs, CLONE_NEWNET) != 0) std::abort();
    }
  }
  std::unique_ptr<NetnsLab> lab(new NetnsLab(searchNs, peerNs));
  failure.reason = "could not open the new namespace";
  if (searchNs < 0 || !lab->Build(layout, failure.reason)) return nullptr;
  return lab;
}

bool NetnsLab::Build(const LabLayout& layout, std::string& whyNot) const {
  // Loopback is up as on any machine, so the search can show it skips it.
  whyNot = "could not bring up the loopback interface";
  if (!RunIn(-1, {FindIpTool(), "link", "set", "lo", "up"})) return false;
  if (layout.searchAddresses.empty()) return true;
  whyNot = "could not set up the veth pair between the namespaces";
  if (peerNs_ < 0) return false;
  std::vector<std::string> searchAddresses = layout.searchAddresses;
  for (const std::string& address : layout.labelledSearchAddresses) {
    searchAddresses.push_back(address + " label " + kSearchLink + ":1");
  }
  if (!AddLink(kSearchLink, kPeerLink, searchAddresses, layout.peerAddresses)) return false;
  return layout.secondSearchAddresses.empty() ||
         AddLink(kSecondSearchLink, kSecondPeerLink, layout.secondSearchAddresses,
                 layout.secondPeerAddresses);
}

bool NetnsLab::AddLink(const char* searchLink, const char* peerLink,
                       const std::vector<std::string>& searchAddresses,
                       const std::vector<std::string>& peerAddresses) const {
  const std::string ip = FindIpTool();
  const std::string peerPath = "/proc/" + std::to_string(::getpid()) + "/fd/" +
                               std::to_string(peerNs_);
  if (!RunIn(-1, {ip, "link", "add", searchLink, "type", "veth", "peer", "name", peerLink,
                  "netns", peerPath})) {
    return false;
  }
  for (const std::string& address : searchAddresses) {
    // "ADDR label NAME" gives the address a label.
    const std::size_t space = address.find(' ');
    std::vector<std::string> argv = {ip, "addr", "add", address.substr(0, space), "dev",
                                     searchLink};
    if (space != std::string::npos) {
      argv.push_back("label");
      argv.push_back(address.substr(address.rfind(' ') + 1));
    }
    if (!RunIn(-1, argv)) return false;
  }
  for (const std::string& address : peerAddresses) {
    if (!RunIn(peerNs_, {ip, "addr", "add", address, "dev", peerLink})) return false;
  }
  return RunIn(-1, {ip, "link", "set", searchLink, "up"}) &&
         RunIn(peerNs_, {ip, "link", "set", peerLink, "up"});
}

bool NetnsLab::BlockSendsFrom(const std::string& address) const {
  return AddDropRule({"ip", "saddr", address});
}

bool NetnsLab::BlockSendsOn(const std::string& device) const {
  return AddDropRule({"oifname", device});
}

bool NetnsLab::AddDropRule(const std::vector<std::string>& match) const {
  const char* found = FindTool("nft");
  if (found == nullptr) return false;
  const std::string nft = found;
  // A locally made datagram dropped on its way out fails its send with EPERM.
  // The table and chain live in the search namespace only; adding them again
  // is harmless.
  std::vector<std::string> rule = {nft, "add", "rule", "ip", "netseek_test", "out"};
  rule.insert(rule.end(), match.begin(), match.end());
  rule.push_back("drop");
  return RunIn(-1, {nft, "add", "table", "ip", "netseek_test"}) &&
         RunIn(-1, {nft, "add", "chain", "ip", "netseek_test", "out",
                    "{ type filter hook output priority 0; }"}) &&
         RunIn(-1, rule);
}

NetnsLab::~NetnsLab() {
  if (peerNs_ >= 0) ::close(peerNs_);
  if (searchNs_ >= 0) ::close(searchNs_);
}

std::unique_ptr<ChildProcess> NetnsLab::StartInPeer(const std::vector<std::string>& argv) const {
  int pipeFds[2];
  if (peerNs_ < 0 || ::pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  const pid_t pid = SpawnIn(peerNs_, argv, pipeFds[1]);
  ::close(pipeFds[1]);
  if (pid < 0) {
    ::close(pipeFds[0]);
    return nullptr;
  }
  return std::make_unique<ChildProcess>(pid, pipeFds[0]);
}

}  // namespace netseek::test
