#include "sorrel/com/SearchHandlers.h"

#include <cstdio>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/com/OpticalLogger.h"

namespace Sorrel::Com {
namespace {

using Sorrel::cef::JsExecuteException;

constexpr const char* kCancelled = "cancel";
constexpr const char* kWindowClosed = "the window has closed";
// Every local address refused to send (a firewall rule, a tunnel without
// peers): not the same as a network without units.
constexpr const char* kNothingSent = "no network interface could send the search (see UdpResult.txt)";

std::string ArrayText(lm::json::Array entries) { return lm::json::ToText(lm::json::Value(std::move(entries))); }

}  // namespace

void SearchHandler::CallOnWindowThread(const std::function<void()>& task) const {
  auto ui = Ui();
  if (!ui || ui->IsUiThread()) {
    task();
    return;
  }
  if (!ui->Call(task)) throw JsExecuteException(0, kWindowClosed);
}

SearchWatchers::WindowRunner SearchHandler::OnWindow() const {
  return [this](const std::function<void()>& task) { CallOnWindowThread(task); };
}

std::shared_ptr<UnitLease> SearchHandler::WaitTurn(
    const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) const {
  auto turn = std::make_shared<UnitLease>(watchers_.Gate(), CancelOf(reply));
  if (!turn->Held()) throw JsExecuteException(0, kCancelled);
  return turn;
}

lm::CancelToken* SearchHandler::CancelOf(const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  return reply ? reply->Cancellation().get() : nullptr;
}

void SearchUSB::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                        const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  const SearchUSBPrm prm = SearchUSBPrm::Read(args);
  auto turn = WaitTurn(reply);
  // The units are asked here, on the query's worker: the window thread only
  // sees the lists change and reads them.
  if (!Watchers().RefreshUsb(prm, OnWindow(), CancelOf(reply))) throw JsExecuteException(0, kCancelled);
  lm::json::Array entries;
  CallOnWindowThread([&] { entries = Watchers().UsbEntries(prm); });
  reply->Success(ArrayText(std::move(entries)));
}

void SearchLAN::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                        const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  const SearchLANPrm prm = SearchLANPrm::Read(args);
  auto turn = WaitTurn(reply);
  WatchLan& lan = Watchers().Lan();
  if (!lan.HasParent()) {
    void* parent = nullptr;
    CallOnWindowThread([&] { parent = Watchers().ParentWindow(); });
    lan.SetParent(parent);
  }
  if (lan.Search(prm) == WatchLan::kNoAddressCouldSend) throw JsExecuteException(0, kNothingSent);
  lm::json::Array entries;
  for (const WatchLanEntry& unit : lan.List()) entries.push_back(LanEntry(unit));
  reply->Success(ArrayText(std::move(entries)));
}

void SearchLogger::Execute(const Sorrel::cef::BrowserPtr&, const lm::json::Value& args,
                           const std::shared_ptr<Sorrel::cef::BsmsgRouterCallback>& reply) {
  Sorrel::cef::ArgReader reader(args);
  std::string serialText;
  uint32_t serial = 0;
  if (reader.String("serial", serialText, Sorrel::cef::ArgReader::Need::Optional)) {
    serial = ParseSerialText(serialText);
  }
  std::optional<ComInfo> base;
  if (reader.Has("comInfo")) base = ParseComInfo(args);
  auto turn = WaitTurn(reply);
  lm::CancelToken* cancel = CancelOf(reply);

  std::vector<Result> found;
  if (serial != 0) found = BySerial(serial, cancel);
  else if (base) found = OnBaseUnit(*base, cancel);
  else found = OnEveryUsbUnit(cancel);
  lm::json::Array entries;
  for (const Result& logger : found) entries.push_back(LoggerEntry(logger));
  reply->Success(ArrayText(std::move(entries)));
}

std::vector<WatchUsbInfo> SearchLogger::RescanUsb(bool vlb3, lm::CancelToken* cancel) const {
  SearchUSBPrm prm;
  prm.force = true;
  if (vlb3) prm.vlb3 = true;
  else prm.vlb2 = prm.vlb1 = prm.vlb5 = true;
  if (!Watchers().RefreshUsb(prm, OnWindow(), cancel)) throw JsExecuteException(0, kCancelled);
  std::vector<WatchUsbInfo> units;
  CallOnWindowThread([&] { units = vlb3 ? Watchers().Vlb3().List() : Watchers().Vela().List(); });
  return units;
}

std::optional<SearchLogger::Result> SearchLogger::Read(const ComInfo& base, lm::CancelToken* cancel,
                                                       std::vector<uint32_t>& busy) const {
  OpticalLoggerRead read = ReadOpticalLogger(Table(), base, cancel);
  if (read.outcome == OpticalLoggerRead::Outcome::kCancelled) throw JsExecuteException(0, kCancelled);
  if (read.outcome == OpticalLoggerRead::Outcome::kBusy) busy.push_back(base.Serial());
  return read.logger;
}

// A search that found nothing because base units were kept busy says so,
// rather than answering an empty list as if no logger lay there.
void SearchLogger::NothingFound(const std::vector<uint32_t>& busy) {
  if (busy.empty()) return;
  std::string units;
  for (uint32_t serial : busy) {
    char text[16];
    std::snprintf(text, sizeof text, "%08X", serial);
    units += (units.empty() ? "" : ", ") + std::string(serial ? text : "(by address)");
  }
  throw JsExecuteException(0, "the logger search gave up waiting " +
                                  std::to_string(kOpticalBusyWait.count() / 1000) +
                                  " s for base units busy with another command: " + units +
                                  " (search again when that command has ended)");
}

std::vector<SearchLogger::Result> SearchLogger::BySerial(uint32_t serial, lm::CancelToken* cancel) const {
  const uint32_t code = ModelCode(serial);
  if (code != 92 && code != 93 && code != 94 && code != 97 && code != 99) return {};
  std::vector<uint32_t> busy;
  for (bool vlb3 : {false, true}) {
    for (const WatchUsbInfo& unit : RescanUsb(vlb3, cancel)) {
      ComInfo info{std::make_shared<WatchUsbInfo>(unit), nullptr};
      auto logger = Read(info, cancel, busy);
      if (logger && logger->serial == serial) return {*logger};
    }
  }
  NothingFound(busy);
  return {};
}

std::vector<SearchLogger::Result> SearchLogger::OnBaseUnit(const ComInfo& base, lm::CancelToken* cancel) const {
  std::vector<uint32_t> busy;
  for (int attempt = 0; attempt < 2 && busy.empty(); ++attempt) {
    if (auto logger = Read(base, cancel, busy)) return {*logger};
  }
  NothingFound(busy);
  return {};
}

std::vector<SearchLogger::Result> SearchLogger::OnEveryUsbUnit(lm::CancelToken* cancel) const {
  std::vector<Result> found;
  std::vector<uint32_t> busy;
  for (bool vlb3 : {false, true}) {
    for (const WatchUsbInfo& unit : RescanUsb(vlb3, cancel)) {
      ComInfo info{std::make_shared<WatchUsbInfo>(unit), nullptr};
      if (auto logger = Read(info, cancel, busy)) found.push_back(*logger);
    }
  }
  if (found.empty()) NothingFound(busy);
  return found;
}

}  // namespace Sorrel::Com
