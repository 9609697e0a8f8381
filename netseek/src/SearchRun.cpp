#include "SearchRun.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <thread>

#include "LogTexts.h"
#include "lm/Text.h"

namespace netseek {
namespace {

constexpr std::chrono::milliseconds kStartDelay{50};
// Pause between the sends on successive addresses.
constexpr std::chrono::milliseconds kSendPause{100};
// Answers are 256 bytes; anything up to this size is read to log its length.
constexpr std::size_t kReceiveBufferSize = 1024;

}  // namespace

SearchRun::SearchRun(const RunSettings& settings, const AdapterTable& adapters,
                     ResultTable& results, RunLog& log)
    : settings_(settings),
      adapters_(adapters),
      log_(log),
      answers_(settings.mode, results, log) {
  sockets_.reserve(2 * adapters.Entries().size());
}

std::int32_t SearchRun::Run() {
  startTimer_.Start(kStartDelay);
  while (alive_ && result_ == kResultRunning) {
    WaitAndDispatch();
    DispatchPosted();
  }
  // The loop can end with no result (a poll failure, nothing left to wait
  // for); such a run must not report success or wait forever.
  if (result_ == kResultRunning) {
    result_ = settings_.mode == Mode::kSearch ? kResultNotSent : kResultSendFailed;
  }
  CloseAll();
  return result_;
}

void SearchRun::WaitAndDispatch() {
  std::vector<pollfd> fds;
  std::vector<std::size_t> owners;  // index in sockets_ of each entry of fds
  for (std::size_t i = 0; i < sockets_.size(); ++i) {
    if (!sockets_[i].IsOpen()) continue;
    fds.push_back({sockets_[i].Fd(), POLLIN, 0});
    owners.push_back(i);
  }
  const int timeout = PollTimeoutMs();
  if (timeout < 0 && fds.empty()) {
    EndLoop();  // nothing could ever happen again
    return;
  }
  const int ready = ::poll(fds.data(), fds.size(), timeout);
  if (ready < 0 && errno != EINTR) {
    EndLoop();
    return;
  }
  std::vector<short> events(sockets_.size(), 0);
  if (ready > 0) {
    for (std::size_t k = 0; k < fds.size(); ++k) events[owners[k]] = fds[k].revents;
  }
  // Answers that arrived before a timer expired are handled before it.
  DispatchSocketEvents(events);
  DispatchTimers();
}

int SearchRun::PollTimeoutMs() const {
  const Timer* next = nullptr;
  for (const Timer* timer : {&startTimer_, &answerTimer_}) {
    if (timer->active && (next == nullptr || timer->due < next->due)) next = timer;
  }
  if (next == nullptr) return -1;
  auto left = std::chrono::ceil<std::chrono::milliseconds>(next->due - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void SearchRun::DispatchSocketEvents(const std::vector<short>& events) {
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (!alive_ || result_ != kResultRunning) return;
    if (events[i] != 0 && sockets_[i].IsOpen()) OnSocketEvent(sockets_[i], events[i]);
  }
}

void SearchRun::DispatchTimers() {
  if (alive_ && startTimer_.IsDue(Clock::now())) OnStartTimer();
  if (alive_ && result_ == kResultRunning && answerTimer_.IsDue(Clock::now())) OnAnswerTimer();
}

void SearchRun::DispatchPosted() {
  if (!finishPosted_) return;
  finishPosted_ = false;
  if (alive_) OnFinish();  // a finish posted to an ended loop is dropped
}

void SearchRun::OnStartTimer() {
  startTimer_.Stop();
  if (adapters_.Empty()) {
    EndLoop();
    SetResult(kResultNotSent);
    return;
  }
  bool anySent = false;
  const auto& entries = adapters_.Entries();
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (SendFrom(entries[i])) anySent = true;
    if (i + 1 < entries.size()) std::this_thread::sleep_for(kSendPause);
  }
  if (!anySent) {
    CloseAll();
    EndLoop();
    log_.Add(logtext::kNoneSent);
    result_ = kResultNotSent;  // replaces a -3 set on the way
  }
}

bool SearchRun::SendFrom(const AdapterAddress& entry) {
  const std::optional<std::size_t> sender = OpenSocketsFor(entry);
  if (!sender) return false;
  if (SendOn(sockets_[*sender])) {
    if (alive_) answerTimer_.Start(settings_.timeLimit);
    return true;
  }
  if (settings_.mode == Mode::kSearch) {
    // An address that cannot send (a firewall rule, a tunnel without peers)
    // must not hide the units behind the others: the search goes on without it.
    log_.Add(lm::text::Format(logtext::kAddressSkipped, entry.address.c_str(),
                              entry.interface.c_str()));
  } else {
    EndLoop();  // the parameter run ends here; SendOn has posted its result
  }
  return false;
}

std::optional<std::size_t> SearchRun::OpenSocketsFor(const AdapterAddress& entry) {
  std::optional<SearchSocket> socket = SearchSocket::Open(entry, log_);
  if (!socket) return std::nullopt;
  sockets_.push_back(std::move(*socket));
  const std::size_t sender = sockets_.size() - 1;
  if (!entry.interface.empty() && listenedOn_.insert(entry.interface).second) {
    // Without it only unicast answers arrive; the search goes on regardless.
    std::optional<SearchSocket> listener = SearchSocket::OpenListener(entry.interface, log_);
    if (listener) sockets_.push_back(std::move(*listener));
  }
  return sender;
}

bool SearchRun::IsOwnDatagram(const Reception& reception) const {
  if (reception.senderPort != kLocalPort) return false;
  const auto& entries = adapters_.Entries();
  return std::any_of(entries.begin(), entries.end(), [&](const AdapterAddress& entry) {
    return entry.address == reception.sender;
  });
}

bool SearchRun::SendOn(SearchSocket& socket) {
  if (socket.Send(settings_.outgoing, settings_.destPort, log_)) return true;
  if (settings_.mode == Mode::kSetParam) FinishWith(kResultSendFailed);
  return false;
}

void SearchRun::OnAnswerTimer() {
  CloseAll();
  answerTimer_.Stop();
  SetResult(kResultTimedOut);
  EndLoop();
}

void SearchRun::OnSocketEvent(SearchSocket& socket, short events) {
  if ((events & POLLIN) != 0) {
    OnRead(socket);
    return;
  }
  socket.TakeError();  // clears the condition so the loop does not spin
  log_.Add(lm::text::Format(logtext::kNetworkError, static_cast<int>(events)));
}

void SearchRun::OnRead(SearchSocket& socket) {
  std::array<std::uint8_t, kReceiveBufferSize> buffer;
  const Reception reception = socket.Receive(buffer);
  if (reception.length >= 0 && IsOwnDatagram(reception)) return;
  const Finish finish =
      reception.length < 0
          ? answers_.OnReceiveError(socket.Fd(), reception.error)
          : answers_.OnDatagram(socket.Fd(),
                                std::span<const std::uint8_t>(
                                    buffer.data(), static_cast<std::size_t>(reception.length)),
                                reception.sender);
  if (finish) FinishWith(*finish);
}

void SearchRun::OnFinish() {
  CloseAll();
  answerTimer_.Stop();
  EndLoop();
}

void SearchRun::FinishWith(std::int32_t result) {
  finishPosted_ = true;
  SetResult(result);
}

void SearchRun::SetResult(std::int32_t result) {
  if (result_ == kResultRunning) result_ = result;
}

void SearchRun::CloseAll() {
  for (SearchSocket& socket : sockets_) socket.Close(log_);
}

}  // namespace netseek
