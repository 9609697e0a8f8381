#pragma once
// Serving byte-stream connections (TCP for LAN units, the USB bus's sockets
// for USB units): frames in, answers out, one thread per connection, all
// stopped together.

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "linkmeter/sim/UnitSession.h"
#include "vcomm/UniqueFd.h"

namespace linkmeter::sim {

// A flag every connection loop polls alongside its socket.
class StopSignal {
 public:
  StopSignal();
  void Raise();
  bool Raised() const { return raised_.load(); }
  int Fd() const { return fd_.Get(); }
  // Sleeps up to ms; false when the signal was raised meanwhile.
  bool Wait(int ms) const;

 private:
  vcomm::UniqueFd fd_;
  std::atomic<bool> raised_{false};
};

// How a connection starts: LAN units first check a login.
struct StreamRules {
  bool login = false;
};

// Serves one connection until the peer closes, a fault closes it, or stop.
void ServeStream(vcomm::UniqueFd fd, UnitSession& session, const StreamRules& rules, const StopSignal& stop,
                 Transcript& transcript, std::uint32_t unit);

// The threads serving one listener's connections.
class ConnectionPool {
 public:
  ConnectionPool() = default;
  ~ConnectionPool() { Stop(); }
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Runs `serve` on its own thread; it should return once `stop` is raised.
  void Run(std::function<void(const StopSignal& stop)> serve);
  // Raises the stop signal and joins every thread.
  void Stop();
  const StopSignal& Signal() const { return stop_; }

 private:
  struct Worker {
    std::thread thread;
    std::shared_ptr<std::atomic<bool>> done;
  };
  void ReapFinished();  // mutex_ held

  StopSignal stop_;
  std::mutex mutex_;
  std::list<Worker> workers_;
};

// Writes every byte; false when the peer is gone.
bool SendAll(int fd, const std::string& bytes);

}  // namespace linkmeter::sim
