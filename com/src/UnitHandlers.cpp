#include "sorrel/com/UnitHandlers.h"

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/com/ComExecutorBase.h"

namespace Sorrel::Com {
namespace {

// A unit of a model this program does not talk to.
[[noreturn]] void Unknown(const ComInfo& info) {
  throw Sorrel::cef::JsArgumentException(0, "not a base unit this program talks to (" + info.Describe() + ")");
}

}  // namespace

using Sorrel::cef::ArgReader;

std::string UnitHandler::ComInfoAnswer(const lm::json::Value& args) {
  return lm::json::ToText(lm::json::MakeObject({{"comInfo", args.get("comInfo")}}));
}

void Open::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                   const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  ComInfo info = ParseComInfo(args);
  uint8_t retry = 0;
  ArgReader(args).UInt8("retry", retry, ArgReader::Need::Optional);
  auto unit = Table().Lookup(info);
  if (!unit) Unknown(info);
  UnitLease lease(unit->Gate(), nullptr);
  OpenUnit(*unit, retry);
  reply->Success(ComInfoAnswer(args));
}

void Close::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                    const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  ComInfo info = ParseComInfo(args);
  auto unit = Table().Lookup(info);
  if (!unit) Unknown(info);
  UnitLease lease(unit->Gate(), nullptr);
  if (unit->Executor().IsOpen()) unit->Executor().Close();
  reply->Success(ComInfoAnswer(args));
}

void IsOpen::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                     const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  ComInfo info = ParseComInfo(args);
  auto unit = Table().Lookup(info);
  // Only the connection state is read: no need to wait for a running command.
  const bool open = unit && unit->IsOpenForPage();
  reply->Success(open ? "true" : "false");
}

}  // namespace Sorrel::Com
