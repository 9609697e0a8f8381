#pragma once
// One open connection to a unit over a stream socket (TCP for the LAN, a
// Unix socket for the USB bus): sends byte blocks and receives whole T frames.

#include <mutex>
#include <string_view>

#include "vantor/com/TFrameReader.h"
#include "vcomm/UniqueFd.h"

namespace vcomm {

class StreamConnection {
 public:
  explicit StreamConnection(UniqueFd stream);

  // Writes every byte. 0 or VCOMM_SEND_ERR.
  int Send(std::string_view bytes);
  // One whole frame of at most `capacity` bytes into `frame` within
  // timeoutMs. The frame's size or a VCOMM_* error.
  int Receive(char* frame, std::size_t capacity, int timeoutMs);
  // Drops what has arrived and not been read, without waiting.
  void DropReceived();
  // Wakes a receive in progress and refuses further traffic; the descriptor
  // closes with the last owner.
  void Shutdown();

 private:
  enum class ReadResult { kData, kTimeout, kClosed };
  ReadResult ReadSome(int timeoutMs);
  int TakeFrame(char* frame, std::size_t capacity, bool& done);
  void DiscardPending();

  std::mutex mutex_;  // one conversation step at a time
  UniqueFd stream_;
  com::vantor::TFrameReader reader_;
  bool peerClosed_ = false;
};

}  // namespace vcomm
