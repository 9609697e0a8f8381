#include "lm/Text.h"
#include "sorrel/com/TcmdHandler.h"

namespace Sorrel::Com::tcmd_result {

using com::vantor::ExecResult;

std::string Message(const com::vantor::Tcmd& command) {
  const ExecResult& r = command.GetResult();
  if (r.status == ExecResult::kCancelled) return "cancel";
  if (r.status == ExecResult::kTimeout) return "timeout";
  if (r.status == ExecResult::kCompleted && command.IsSuccess()) return {};
  std::string msg = "STATUS=" + command.GetStatusText() + " (" + command.GetName() +
                    lm::text::Format(" %d %d", r.code1, r.code2);
  if (!r.message.empty()) msg += " " + r.message;
  return msg + ")";
}

lm::json::Value Error(const com::vantor::Tcmd& command) {
  const ExecResult& r = command.GetResult();
  return lm::json::MakeObject({{"code1", lm::json::Number(r.code1)},
                               {"code2", lm::json::Number(r.code2)},
                               {"msg", lm::json::String(r.message)}});
}

void AddCommon(const com::vantor::Tcmd& command, lm::json::Value& args, const std::string& message,
               lm::json::Object& result) {
  const ExecResult& r = command.GetResult();
  result["cmdName"] = lm::json::String(command.GetName());
  if (args.is<lm::json::Object>()) result["comInfo"] = std::move(args.get<lm::json::Object>()["comInfo"]);
  if (auto status = command.GetRecvField("STATUS")) {
    auto text = lm::text::TryAnsiToUtf8(*status);
    result["STATUS"] = lm::json::String(text ? *text : command.GetStatusText());
  }
  result["isSuccess"] = lm::json::Bool(r.status == ExecResult::kCompleted && command.IsSuccess());
  result["isCancel"] = lm::json::Bool(r.status == ExecResult::kCancelled);
  result["isTimeout"] = lm::json::Bool(r.status == ExecResult::kTimeout);
  if (!message.empty()) result["msg"] = lm::json::String(message);
}

}  // namespace Sorrel::Com::tcmd_result
