#pragma once
// Test peers for the transports: a server that accepts connections on a
// listening socket (loopback TCP, or a USB bus unit) and runs a script on
// each in its own thread, plus helpers to read and write T frames.

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "vantor/com/TFrame.h"
#include "vcomm/UniqueFd.h"

namespace vcomm::testing {

class PeerServer {
 public:
  using Script = std::function<void(int fd)>;

  // Listens on 127.0.0.1 at a free port.
  static std::unique_ptr<PeerServer> Loopback(Script script);
  // Serves a listening socket owned by someone else (a bus unit).
  PeerServer(int listenFd, Script script);
  ~PeerServer();
  PeerServer(const PeerServer&) = delete;
  PeerServer& operator=(const PeerServer&) = delete;

  int Port() const { return port_; }
  int Accepted() const { return accepted_; }
  // Stops accepting, ends every connection and waits for the scripts.
  void Stop();

 private:
  void AcceptLoop();

  UniqueFd ownedListener_;
  int listenFd_;
  int port_ = 0;
  Script script_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> accepted_{0};
  std::mutex mutex_;
  std::vector<int> streams_;
  std::vector<std::thread> workers_;
  std::thread acceptor_;
};

// Reads one whole frame; false on time-out, garbage or end of stream.
bool ReadFrame(int fd, com::vantor::Bytes& frame, int timeoutMs = 2000);
// Reads one frame and parses it; the name is empty when that failed.
com::vantor::TBody ReadRequest(int fd, int timeoutMs = 2000);
void WriteAll(int fd, std::string_view bytes);
com::vantor::Bytes Frame(const std::string& name, const com::vantor::FieldMap& fields,
                         com::vantor::LengthForm form = com::vantor::LengthForm::Two);
// Reads the login request and answers it with the given STATUS.
void AnswerLogin(int fd, const std::string& status = "0000-0000");
// Answers every request with its name and STATUS 0004-0000 until the end.
void EchoUntilClosed(int fd);
// Open descriptors of this process.
int OpenDescriptorCount();

}  // namespace vcomm::testing
