// Drives the block transfers (ETRND, EISUC, EWSUC) through conversations of
// arbitrary answers, the way an executor does, and then keeps answering with
// the last answer like a unit stuck on it. Checks that the bytes collected
// never shrink and that a unit repeating an answer that brings nothing new
// cannot keep a transfer going.
//
// Input: one byte choosing the command, then answers. Each answer starts with
// a kind byte: kinds 0..5 build a well-formed frame (the STATUS from a table,
// then a DATA length byte and its bytes, then MAX, SIZE and TIME as 16-bit
// numbers); any other kind takes a length byte and that many raw bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "vantor/com/BlockProgress.h"
#include "vantor/com/TFrame.h"
#include "vantor/com/TcmdEISUC.h"
#include "vantor/com/TcmdETRND.h"
#include "vantor/com/TcmdEWSUC.h"

namespace {

using namespace com::vantor;

// Exchanges after which a transfer that still makes progress is left alone.
constexpr int kMaxExchanges = 2048;
// A far unit may keep saying "working" until the row's time limit; with the
// simulated clock that is about limit / pause exchanges.
constexpr int kWaitingBound = 64;

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Done() const { return at_ >= size_; }
  std::uint8_t Byte() { return Done() ? 0 : data_[at_++]; }
  std::uint16_t Number() { return static_cast<std::uint16_t>(Byte() | Byte() << 8); }
  std::string Take(std::size_t n) {
    n = std::min(n, size_ - std::min(at_, size_));
    std::string out(reinterpret_cast<const char*>(data_ + at_), n);
    at_ += n;
    return out;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

std::string NextAnswer(Input& in, const std::string& name, StatusCode success) {
  const std::uint8_t kind = in.Byte();
  if (kind > 5) return in.Take(in.Byte());
  const std::string statuses[] = {success.Text(), success.Text(), "0004-0001",
                                  "0004-0000",    "0005-0001",    "0002-0000"};
  FieldMap fields;
  fields["STATUS"] = statuses[kind];
  fields["DATA"] = in.Take(in.Byte());
  fields["MAX"] = std::to_string(in.Number());
  fields["SIZE"] = std::to_string(in.Number());
  fields["TIME"] = std::to_string(in.Number());
  return BuildFrame(name, fields).value_or(std::string());
}

// One command under test, with what it has collected so far.
struct Subject {
  std::unique_ptr<Icmd> command;
  RowFields* row = nullptr;
  std::function<std::size_t()> collected;
  // Whether answers that bring nothing may still go on (a far unit before
  // its header), bounded by time rather than by the no-progress rule.
  std::function<bool()> mayWait = [] { return false; };
};

template <class T>
Subject Make(std::function<std::size_t(const T&)> collected, std::function<bool(const T&)> mayWait = nullptr) {
  auto command = std::make_unique<T>();
  T* raw = command.get();
  Subject s;
  s.row = raw;
  s.collected = [raw, collected] { return collected(*raw); };
  if (mayWait) s.mayWait = [raw, mayWait] { return mayWait(*raw); };
  s.command = std::move(command);
  return s;
}

Subject Choose(std::uint8_t selector) {
  switch (selector % 3) {
    case 0:
      return Make<TcmdETRND>(
          [](const TcmdETRND& c) { return c.Collected() ? c.Collected()->size() : std::size_t{0}; });
    case 1:
      return Make<TcmdEISUC>([](const TcmdEISUC& c) { return c.Recorded().data.size(); });
    default:
      return Make<TcmdEWSUC>(
          [](const TcmdEWSUC& c) { return c.Recorded().header.size() + c.Recorded().data.size(); },
          [](const TcmdEWSUC& c) { return c.Recorded().header.empty() && c.Recorded().data.empty(); });
  }
}

void Check(bool condition) {
  if (!condition) std::abort();
}

void Converse(Subject& s, Input& in) {
  Icmd& command = *s.command;
  const std::string name(s.row->Row().name);
  const StatusCode success = s.row->Row().success;
  std::uint64_t tick = 1'000'000;
  s.row->SetClock({[] { return std::int64_t{1'700'000'000}; }, [&tick] { return tick; }});

  command.Reset();
  (void)command.BuildSendData(kPhaseFirst);
  std::string answer = NextAnswer(in, name, success);
  command.ParseRecvData(kPhaseFirst, answer);
  int idleRepeats = 0;
  for (int exchange = 0; exchange < kMaxExchanges && command.IsContinue(kPhaseFollowUp); ++exchange) {
    // Still going after a stuck unit repeated a useless answer this often?
    Check(idleRepeats <= (s.mayWait() ? kWaitingBound : BlockProgress::kLimit));
    tick += static_cast<std::uint64_t>(std::max(command.GetInterval(), 1));
    (void)command.BuildSendData(kPhaseFollowUp);
    const bool repeat = in.Done();
    if (!repeat) answer = NextAnswer(in, name, success);
    const std::size_t before = s.collected();
    command.ParseRecvData(kPhaseFollowUp, answer);
    const std::size_t after = s.collected();
    Check(after >= before);
    if (repeat) idleRepeats = after > before ? 0 : idleRepeats + 1;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Input in(data + 1, size - 1);
  Subject subject = Choose(data[0]);
  try {
    Converse(subject, in);
  } catch (const ExecResult&) {
    // A time-out or a refused value ends the conversation, as in an executor.
  }
  if (subject.command->IsSuccess()) subject.command->OnFinish();
  (void)subject.command->GetResult();
  return 0;
}
