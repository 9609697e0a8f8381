#include "sorrel/com/TcmdGetRsLevel.h"

#include "lm/Text.h"
#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"

namespace Sorrel::Com {
namespace {

using com::vantor::ExecResult;
using Sorrel::cef::JsArgumentException;
using Sorrel::cef::JsExecuteException;

std::shared_ptr<com::vantor::TcmdVLB1> MakeVlb1(const char (&data)[7]) {
  auto command = std::make_shared<com::vantor::TcmdVLB1>();
  command->SetMODE(0);
  command->SetTIME(100);
  command->SetSendData(com::vantor::Bytes(data, 7));
  return command;
}

std::vector<uint8_t> ReadChannels(const lm::json::Value& args) {
  const lm::json::Array* freqs = Sorrel::cef::ArgReader(args).Array("freqs");
  std::vector<uint8_t> channels;
  for (size_t i = 0; i < freqs->size(); ++i) {
    if (!lm::json::IsIntegral((*freqs)[i], 0, 255))
      throw JsArgumentException(-2, Sorrel::cef::MsgInvalid(lm::text::Format("freqs[%zu]", i)));
    channels.push_back(static_cast<uint8_t>((*freqs)[i].get<double>()));
  }
  return channels;
}

}  // namespace

std::shared_ptr<com::vantor::TcmdVLB1> TcmdGetRsLevel::MakeMeasureCommand(uint8_t channel) {
  const char data[7] = {0x01, 0x3E, 0x00, 0x02, 0x00, static_cast<char>(channel), 0x00};
  return MakeVlb1(data);
}

std::shared_ptr<com::vantor::TcmdVLB1> TcmdGetRsLevel::MakeClosingCommand() {
  const char data[7] = {0x01, static_cast<char>(0xAF), 0x00, 0x02, 0x00, 0x00, 0x00};
  return MakeVlb1(data);
}

bool TcmdGetRsLevel::ExecuteChecked(com::vantor::Executor& executor, com::vantor::TcmdVLB1& command) {
  executor.Execute(command, 0);
  const int status = command.GetResult().status;
  if (status == ExecResult::kCancelled) return false;
  if (status == ExecResult::kCompleted && command.IsStatus(4, 0)) return true;
  if (status == ExecResult::kError) {
    // The link failed under the exchange (a unit unplugged, a network gone):
    // its library failure goes out as it is, so the page tells a lost link
    // from a measurement the unit refused.
    const ExecResult& r = command.GetResult();
    throw JsExecuteException::FromText(lm::json::ToText(lm::json::MakeObject(
        {{"code1", lm::json::Number(r.code1)}, {"code2", lm::json::Number(r.code2)}, {"msg", lm::json::String(r.message)}})));
  }
  std::string msg = "通信が失敗しました。(" + command.GetName() + " STATUS=" + command.GetStatusText() + ")";
  throw JsExecuteException::FromText(lm::json::ToText(lm::json::ErrorObject(kMeasureFailed, msg)));
}

void TcmdGetRsLevel::RunCancelled(PrmExecutor& prm) {
  ReadChannels(prm.args);
  throw CancelledFailure();
}

JsExecuteException TcmdGetRsLevel::CancelledFailure() {
  return JsExecuteException::FromText(lm::json::ToText(lm::json::ErrorObject(0, "cancel")));
}

void TcmdGetRsLevel::SendClosing(PrmExecutor& prm) {
  // The closing frame goes out even when the call was cancelled: it is what
  // stops the base unit measuring. The call's cancel is set aside for it.
  auto& executor = prm.unit->Executor();
  struct SetCancelAside {
    com::vantor::Executor& executor;
    const lm::CancelToken* token;
    ~SetCancelAside() { executor.AttachCallCancel(token); }
  } aside{executor, prm.cancel.get()};
  executor.AttachCallCancel(nullptr);
  ExecuteChecked(executor, *MakeClosingCommand());
}

void TcmdGetRsLevel::Run(PrmExecutor& prm) {
  const std::vector<uint8_t> channels = ReadChannels(prm.args);
  auto& executor = prm.unit->Executor();
  auto cancelled = [&prm] { return prm.cancel && prm.cancel->IsCancelled(); };
  lm::json::Array levels;
  bool stopped = false;
  for (uint8_t channel : channels) {
    auto command = MakeMeasureCommand(channel);
    if (cancelled() || !ExecuteChecked(executor, *command)) {
      stopped = true;  // a cancel stops the remaining channels, never the closing
      break;
    }
    auto data = command->GetRecvField("DATA");
    if (!data || data->size() != 7) {
      const std::string got = data ? lm::text::Format("%zu bytes", data->size()) : "none";
      throw JsExecuteException::FromText(lm::json::ToText(
          lm::json::ErrorObject(0, "VLB1 answer without its 7 DATA bytes (" + got + ") on channel " +
                                       std::to_string(channel))));
    }
    levels.push_back(lm::json::MakeObject({{"freq", lm::json::Number(channel)},
                                           {"level", lm::json::Number(static_cast<uint8_t>((*data)[5]))}}));
  }
  SendClosing(prm);
  if (stopped || cancelled()) throw CancelledFailure();
  prm.reply->Success(lm::json::ToText(lm::json::Value(std::move(levels))));
}

}  // namespace Sorrel::Com
