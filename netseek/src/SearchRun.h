#pragma once
// One run of the library: a poll loop on the calling thread that keeps the
// order of the original event-driven design. A start timer (50 ms) opens a
// socket per local address and sends the datagram; an answer timer (the time
// limit, restarted by every send) closes the sockets and ends the run with
// -5; socket reads go to the AnswerHandler, whose verdict is posted as a
// finish that closes the sockets. The run ends when a result is set or the
// loop has nothing left to wait for. Besides the sending socket of every
// address, each interface gets one listening socket for broadcast answers.

#include <chrono>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "AdapterTable.h"
#include "AnswerHandler.h"
#include "Datagram.h"
#include "ResultTable.h"
#include "RunLog.h"
#include "SearchSocket.h"

namespace netseek {

struct RunSettings {
  Mode mode = Mode::kSearch;
  Datagram outgoing{};
  std::uint16_t destPort = 0;
  std::chrono::milliseconds timeLimit{1000};
};

class SearchRun {
 public:
  SearchRun(const RunSettings& settings, const AdapterTable& adapters, ResultTable& results,
            RunLog& log);
  SearchRun(const SearchRun&) = delete;
  SearchRun& operator=(const SearchRun&) = delete;

  // Runs the loop to its end and returns the run result (never 0). Every
  // socket opened on the way is closed when it returns.
  std::int32_t Run();

 private:
  using Clock = std::chrono::steady_clock;

  // A one-shot timer of the loop.
  struct Timer {
    bool active = false;
    Clock::time_point due{};
    void Start(std::chrono::milliseconds after) {
      active = true;
      due = Clock::now() + after;
    }
    void Stop() { active = false; }
    bool IsDue(Clock::time_point now) const { return active && now >= due; }
  };

  void WaitAndDispatch();
  int PollTimeoutMs() const;
  void DispatchSocketEvents(const std::vector<short>& events);
  void DispatchTimers();
  void DispatchPosted();

  void OnStartTimer();
  // Opens the sockets of `entry` and sends on its sending socket; true when
  // the datagram left. A search skips an address whose send failed; a
  // parameter run ends with it.
  bool SendFrom(const AdapterAddress& entry);
  // Opens the sending socket of `entry` and, first time round for its
  // interface, the interface's listening socket; the sending socket's index.
  std::optional<std::size_t> OpenSocketsFor(const AdapterAddress& entry);
  // Our own broadcast, looped back to a listening socket when the caller's
  // destination port is the one we listen on.
  bool IsOwnDatagram(const Reception& reception) const;
  bool SendOn(SearchSocket& socket);
  void OnAnswerTimer();
  void OnSocketEvent(SearchSocket& socket, short events);
  void OnRead(SearchSocket& socket);
  void OnFinish();

  // Posts the finish and sets the result (the first result set stands).
  void FinishWith(std::int32_t result);
  void SetResult(std::int32_t result);
  void CloseAll();
  void EndLoop() { alive_ = false; }

  RunSettings settings_;
  const AdapterTable& adapters_;
  RunLog& log_;
  AnswerHandler answers_;
  std::vector<SearchSocket> sockets_;
  std::set<std::string> listenedOn_;  // interfaces that got a listening socket
  Timer startTimer_;
  Timer answerTimer_;
  bool alive_ = true;
  bool finishPosted_ = false;
  std::int32_t result_ = kResultRunning;
};

}  // namespace netseek
