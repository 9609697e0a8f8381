#include "linkmeter/cli/UnitSession.h"

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/Subcommand.h"

namespace linkmeter::cli {

UnitSession::UnitSession(CommandContext& ctx, std::unique_ptr<UnitConnection> unit)
    : ctx_(ctx), unit_(std::move(unit)), recorder_(std::make_unique<SiteRecorder>(ctx.page, ctx.progress, ctx.record())) {}

std::unique_ptr<UnitSession> UnitSession::Open(CommandContext& ctx, int& status) {
  auto unit = UnitConnection::Connect(ctx, status);
  if (!unit) return nullptr;
  std::unique_ptr<UnitSession> session(new UnitSession(ctx, std::move(unit)));
  SiteRecorder& recorder = session->Recorder();
  UnitConnection& u = session->Unit();
  recorder.BeginVisit(u.ComInfo());
  // The reads of connecting that the page's recorder keeps: settings reads.
  const auto serial = SerialNumber(u.Serial());
  for (const auto& [key, mnemonic] : {std::pair{"ruinf", "RUINF"}, {"rdtim", "RDTIM"}}) {
    const lm::json::Value& answer = u.Info().get(key);
    if (MemberText(answer, "isSuccess") == "true") recorder.Answer(mnemonic, answer, serial, NowMs());
  }
  return session;
}

int UnitSession::Finish(int status) {
  recorder_->EndVisit();
  if (recorder_->Failed() && status == kExitOk) {
    ctx_.err << "linkmeter-cli: " << recorder_->Error() << "\n";
    return kExitRecords;
  }
  return status;
}

}  // namespace linkmeter::cli
