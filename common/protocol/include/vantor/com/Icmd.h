#pragma once
// A device command: builds the request of each exchange, takes in the
// answers and says whether the conversation goes on. Executors drive it.

#include <string_view>

#include "vantor/com/ExecResult.h"
#include "vantor/com/TFrame.h"

namespace com::vantor {

// Which exchange a hook is asked about.
inline constexpr int kPhaseFirst = 0;     // the first exchange
inline constexpr int kPhaseFollowUp = 1;  // every follow-up exchange
inline constexpr int kPhaseCancel = 2;    // the cancel exchange

class Icmd {
 public:
  virtual ~Icmd() = default;

  // Forgets the previous answer.
  virtual void Reset() = 0;
  // Called once after an execution that ended with status 0.
  virtual void OnFinish() = 0;
  // The request bytes of an exchange; empty means no request.
  virtual Bytes BuildSendData(int phase) = 0;
  // Takes in the answer of an exchange.
  virtual void ParseRecvData(int phase, std::string_view answer) = 0;
  // Answer time-out of an exchange in milliseconds.
  virtual int GetRecvTimeout(int phase) const = 0;
  // Whether another exchange follows the one just answered.
  virtual bool IsContinue(int phase) const = 0;
  // Pause before a follow-up exchange in milliseconds.
  virtual int GetInterval() const = 0;
  // Whether the last answer means the device accepted the command.
  virtual bool IsSuccess() const = 0;

  const ExecResult& GetResult() const { return result_; }
  void SetResult(ExecResult result) { result_ = std::move(result); }

 private:
  ExecResult result_;
};

}  // namespace com::vantor
