#pragma once
// A scriptable in-process base unit behind the Executor interface: each
// request is recorded, and a script decides the answer and its faults
// (delay, bad checksum, wrong name, dropped answer, disconnect).

#include <functional>
#include <vector>

#include "vantor/com/Executor.h"
#include "vantor/com/TFrame.h"

namespace com::vantor::testing {

struct Reply {
  enum class Fault { kNone, kDrop, kDisconnect, kBadChecksum, kWrongName };

  FieldMap fields;
  Fault fault = Fault::kNone;
  int delayMs = 0;
  LengthForm form = LengthForm::Two;

  static Reply Status(const char* status) { return Reply{{{"STATUS", status}}}; }
  Reply With(Fault f) && {
    fault = f;
    return std::move(*this);
  }
};

class FakeDevice : public Executor {
 public:
  // Answers request number `index` (0-based) whose parsed body is `request`.
  using Script = std::function<Reply(const TBody& request, std::size_t index)>;

  struct Sent {
    TBody body;
    Bytes frame;
    std::uint64_t tick;
  };

  explicit FakeDevice(Script script) : script_(std::move(script)) {}

  bool IsOpen() const override { return open_; }
  void Close() override { open_ = false; }
  ExecResult Send(const Bytes& bytes) override;
  ExecResult Recv(int phase, Icmd& command) override;

  const std::vector<Sent>& SentFrames() const { return sent_; }
  const std::vector<int>& RecvPhases() const { return recvPhases_; }
  // The ACT values of the requests so far, "-" where there was none.
  std::vector<std::string> Acts() const;

 private:
  Script script_;
  bool open_ = true;
  bool connected_ = true;
  std::vector<Sent> sent_;
  std::vector<int> recvPhases_;
};

}  // namespace com::vantor::testing
