#pragma once
// The page-facing handler of one T command: builds the protocol command from
// the argument, runs it on the unit and answers with the device result
// object. Each mnemonic derives its own class from Tcmd<T>.

#include <memory>
#include <string>

#include "lm/Json.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutorBase.h"
#include "vantor/com/Tcmd.h"

namespace Sorrel::Com {

// The parts of the result object every T command shares.
namespace tcmd_result {
// "cancel", "timeout", "STATUS=gggg-dddd (NAME c1 c2[ message])" or "".
std::string Message(const com::vantor::Tcmd& command);
// {"code1", "code2", "msg"} of the command's result.
lm::json::Value Error(const com::vantor::Tcmd& command);
// Adds cmdName, comInfo, STATUS, isSuccess, isCancel, isTimeout and msg;
// the call's comInfo is moved from `args` (the call's own, read no more).
void AddCommon(const com::vantor::Tcmd& command, lm::json::Value& args, const std::string& message,
               lm::json::Object& result);
}  // namespace tcmd_result

template <class T>
class Tcmd : public ComExecutorBase {
 public:
  using Command = T;
  using ComExecutorBase::ComExecutorBase;

  // The command for this call; argument errors end the call before anything is sent.
  virtual std::shared_ptr<T> MakeCommand(const lm::json::Value& args) {
    (void)args;
    return std::make_shared<T>();
  }
  // Command-specific members of the result object; what the command hands
  // over (a large member) may be moved out of it.
  virtual void AddResult(T& command, lm::json::Object& result) {
    (void)command;
    (void)result;
  }
  virtual std::string MakeMessage(const T& command) { return tcmd_result::Message(command); }
  virtual lm::json::Value MakeError(const T& command) { return tcmd_result::Error(command); }

  void Run(PrmExecutor& prm) override {
    std::shared_ptr<T> command = MakeCommand(prm.args);
    prm.unit->Executor().Execute(*command, 0);
    Answer(*command, prm);
  }

  // A call cancelled while it waited for its unit answers like a command
  // cancelled before its first frame: isCancel true, nothing sent.
  void RunCancelled(PrmExecutor& prm) override {
    std::shared_ptr<T> command = MakeCommand(prm.args);
    command->SetResult(com::vantor::ExecResult::Cancelled());
    Answer(*command, prm);
  }

 private:
  void Answer(T& command, PrmExecutor& prm) {
    lm::json::Object result;
    AddResult(command, result);
    tcmd_result::AddCommon(command, prm.args, MakeMessage(command), result);
    if (command.GetResult().status == com::vantor::ExecResult::kError) {
      throw Sorrel::cef::JsExecuteException::FromText(lm::json::ToText(MakeError(command)));
    }
    prm.reply->Success(lm::json::ToText(lm::json::Value(std::move(result))));
  }
};

// The usual handler of a mnemonic: "app.com.tcmd" + name, query "ComTcmd" +
// name. Like every device function its wrapper is not cancellable (pages
// cancel through "jsquery:cancel"); one registered object serves every call,
// since all per-call state travels in the call's PrmExecutor.
template <class Self, class T>
class TcmdOf : public Tcmd<T> {
 public:
  TcmdOf(const std::string& mnemonic, ComExecutorTable& table)
      : Tcmd<T>("ComTcmd" + mnemonic, "app.com.tcmd" + mnemonic, 0, table) {}
};

}  // namespace Sorrel::Com
