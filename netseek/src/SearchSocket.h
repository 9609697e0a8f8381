#pragma once
// One UDP socket of a run, non-blocking and pinned to one interface
// (SO_BINDTODEVICE). A sending socket is bound to a local address and port
// 62502, may broadcast, sends to the limited broadcast address and receives
// the answers sent back to that address. A listening socket is bound to any
// address and port 62502 and receives the answers units broadcast on that
// interface (to the subnet or to 255.255.255.255), which never reach a
// socket bound to a unicast address. Both allow the shared port (SO_REUSEADDR).

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "AdapterTable.h"
#include "Datagram.h"
#include "RunLog.h"

namespace netseek {

inline constexpr std::uint16_t kLocalPort = 62502;
inline constexpr const char* kBroadcastAddress = "255.255.255.255";

// The outcome of one receive: a length and the sender, or an error number.
struct Reception {
  long length = -1;   // bytes received, -1 on error
  int error = 0;      // errno when length is -1
  std::string sender; // dotted IPv4 text of the sender
  std::uint16_t senderPort = 0;
};

class SearchSocket {
 public:
  // Opens, configures and binds a socket for `entry`, logging each failure;
  // nothing when any step fails (a socket made on the way is closed again).
  static std::optional<SearchSocket> Open(const AdapterAddress& entry, RunLog& log);
  // Opens a listening socket on `interface` in the same way.
  static std::optional<SearchSocket> OpenListener(const std::string& interface, RunLog& log);

  SearchSocket(SearchSocket&& other) noexcept;
  SearchSocket& operator=(SearchSocket&& other) noexcept;
  SearchSocket(const SearchSocket&) = delete;
  SearchSocket& operator=(const SearchSocket&) = delete;
  ~SearchSocket();

  int Fd() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }

  // Sends the datagram to the broadcast address and `port`; logs the result.
  // A would-block counts as sent, as the datagram may still leave.
  bool Send(const Datagram& datagram, std::uint16_t port, RunLog& log);
  // Receives one datagram of up to buffer.size() bytes.
  Reception Receive(std::span<std::uint8_t> buffer);
  // Reads and clears the socket's pending error.
  int TakeError();
  // Shuts the socket down, closes it and logs that it was closed.
  void Close(RunLog& log);

 private:
  explicit SearchSocket(int fd) : fd_(fd) {}
  static std::optional<SearchSocket> Create(RunLog& log);
  bool Configure(const std::string& address, const std::string& interface, RunLog& log);

  int fd_ = -1;
};

}  // namespace netseek
