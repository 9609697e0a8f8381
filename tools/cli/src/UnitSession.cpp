#include "linkmeter/cli/UnitSession.h"

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/Subcommand.h"

namespace linkmeter::cli {
namespace {

const lm::json::Value& Member(const lm::json::Value& v, const std::string& key) {
  static const lm::json::Value null;
  return v.is<lm::json::Object>() && v.contains(key) ? v.get(key) : null;
}

}  // namespace

bool BeginRecording(PageFlows& flows, bool record, std::string& error) {
  return flows.Run("open", {lm::json::MakeObject({{"record", lm::json::Bool(record)}})}, &error).has_value();
}

RecordsEnd EndRecording(PageFlows& flows) {
  RecordsEnd end;
  std::string error;
  auto done = flows.Run("close", {}, &error);
  if (!done) {
    end.failed = error;
    return end;
  }
  end.pending = static_cast<int>(Member(*done, "pending").is<double>() ? Member(*done, "pending").get<double>() : 0);
  end.file = MemberText(*done, "file");
  end.failed = MemberText(*done, "failed");
  const lm::json::Value& ids = Member(*done, "surveyIds");
  if (ids.is<lm::json::Array>() && !ids.get<lm::json::Array>().empty() && ids.get<lm::json::Array>().back().is<double>()) {
    end.surveyId = static_cast<int64_t>(ids.get<lm::json::Array>().back().get<double>());
  }
  return end;
}

UnitSession::UnitSession(CommandContext& ctx, PageFlows& flows, std::unique_ptr<UnitConnection> unit)
    : ctx_(ctx), flows_(flows), unit_(std::move(unit)) {}

UnitSession::~UnitSession() { EndRecords(); }

std::unique_ptr<UnitSession> UnitSession::Open(CommandContext& ctx, int& status) {
  std::string error;
  if (!ctx.flows || !BeginRecording(*ctx.flows, ctx.record(), error)) {
    status = Fail(ctx.err, kExitFailed, "the page's flows did not start: " + error);
    return nullptr;
  }
  // The reads of connecting reach the recorder, which keeps them once the
  // unit's serial is known.
  auto unit = UnitConnection::Connect(ctx, status);
  if (!unit) {
    EndRecording(*ctx.flows);
    return nullptr;
  }
  ctx.flows->Run("connected", {lm::json::MakeObject({{"unit", unit->ComInfo()}})}, nullptr);
  return std::unique_ptr<UnitSession>(new UnitSession(ctx, *ctx.flows, std::move(unit)));
}

const RecordsEnd& UnitSession::EndRecords() {
  if (!end_) end_ = EndRecording(flows_);
  return *end_;
}

int UnitSession::Finish(int status) {
  const RecordsEnd& end = EndRecords();
  if (end.Written() || (status != kExitOk && status != kExitPartly)) return status;
  if (end.pending > 0 && !end.file.empty()) {
    ctx_.err << "linkmeter-cli: site records not written: the store stayed busy; " << end.pending
             << " writes kept in " << end.file << " for the next run\n";
  } else {
    ctx_.err << "linkmeter-cli: site records not written: " << end.failed << "\n";
  }
  return status == kExitPartly ? kExitPartlyRecords : kExitRecords;
}

}  // namespace linkmeter::cli
