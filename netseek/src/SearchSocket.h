#pragma once
// One UDP socket of a run: bound to a local address and port 62502, pinned to
// that address's interface, non-blocking, allowed to broadcast. It sends to
// the limited broadcast address and receives the answers sent back to it.

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
};

class SearchSocket {
 public:
  // Opens, configures and binds a socket for `entry`, logging each failure;
  // nothing when any step fails (a socket made on the way is closed again).
  static std::optional<SearchSocket> Open(const AdapterAddress& entry, RunLog& log);

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
  bool Configure(const AdapterAddress& entry, RunLog& log);

  int fd_ = -1;
};

}  // namespace netseek
