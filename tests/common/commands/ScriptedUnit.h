#pragma once
// A unit that answers from a script: each request is recorded and answered
// by the next answer of the script; and a page call run through a handler's
// own command, argument reading and result members.

#include <deque>
#include <string>
#include <vector>

#include "sorrel/com/TcmdCatalogueHandlers.h"
#include "vantor/com/Executor.h"

namespace commands_test {

using com::vantor::Bytes;
using com::vantor::ExecResult;
using com::vantor::FieldMap;

class ScriptedUnit : public com::vantor::Executor {
 public:
  explicit ScriptedUnit(std::string name) : name_(std::move(name)) {}
  void Answer(FieldMap fields) { answers_.push_back(*com::vantor::BuildFrame(name_, fields)); }
  void AnswerRaw(Bytes bytes) { answers_.push_back(std::move(bytes)); }
  // Once the script is used up, answers `fields` again and again; after
  // `limit` such answers the exchange fails, so a command that would ask
  // for ever ends and shows it.
  void AnswerAlways(FieldMap fields, int limit = 20) {
    always_ = *com::vantor::BuildFrame(name_, fields);
    alwaysLeft_ = limit;
  }
  // Requests a cancel while the unit answers its `n`-th request (from 1),
  // the way a page cancels while a frame is under way.
  void CancelDuring(int n) { cancelDuring_ = n; }

  bool IsOpen() const override { return true; }
  void Close() override {}
  ExecResult Send(const Bytes& bytes) override {
    sent.push_back(com::vantor::ParseFrame(bytes)->fields);
    return ExecResult::Completed();
  }
  ExecResult Recv(int phase, com::vantor::Icmd& command) override {
    if (++answered_ == cancelDuring_) RequestCancel(false);
    if (answers_.empty()) {
      if (alwaysLeft_ <= 0) return ExecResult::Error("script ran out", 1028, 103);
      --alwaysLeft_;
      command.ParseRecvData(phase, always_);
      return ExecResult::Completed();
    }
    command.ParseRecvData(phase, answers_.front());
    answers_.pop_front();
    return ExecResult::Completed();
  }

  std::vector<FieldMap> sent;

 private:
  std::string name_;
  std::deque<Bytes> answers_;
  Bytes always_;
  int alwaysLeft_ = 0;
  int answered_ = 0;
  int cancelDuring_ = 0;
};

template <class Handler>
inline lm::json::Object RunCall(Handler& handler, ScriptedUnit& unit, const std::string& args,
                                com::vantor::CommandClock clock = {}) {
  auto command = handler.MakeCommand(*lm::json::Parse(args));
  command->SetClock(clock);
  unit.Execute(*command, 0);
  lm::json::Object result;
  handler.AddResult(*command, result);
  result["isSuccess"] = lm::json::Bool(Sorrel::Com::row_handler::Succeeded(*command));
  return result;
}

}  // namespace commands_test
