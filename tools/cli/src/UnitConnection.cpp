#include "linkmeter/cli/UnitConnection.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/UnitNames.h"

namespace linkmeter::cli {
namespace {

constexpr int kDefaultLanPort = 62500;

bool IsUsbEntry(const lm::json::Value& entry) { return MemberText(entry, "com") == "1"; }

std::string Address(const lm::json::Value& u) {
  return IsUsbEntry(u) ? "USB" : MemberText(u, "ipAddr") + ":" + MemberText(u, "port");
}

std::string Describe(const lm::json::Value& u) {
  return MemberText(u, "name") + " (" + MemberText(u, "serial") + ", " + Address(u) + ")";
}

bool AtAddress(const lm::json::Value& u, const std::string& wanted) {
  const std::string ip = MemberText(u, "ipAddr");
  return !IsUsbEntry(u) && (ip == wanted || ip + ":" + MemberText(u, "port") == wanted);
}

std::vector<NamedUnit> NamedBaseUnits(const std::vector<lm::json::Value>& units) {
  std::vector<NamedUnit> named;
  for (const auto& u : units) named.push_back({MemberText(u, "serial"), {MemberText(u, "name")}, Address(u)});
  return named;
}

// {com 3, ipAddr, port} for "a.b.c.d[:port]", as the page connects by address.
std::optional<lm::json::Value> AddressEntry(const std::string& text) {
  static const std::regex kAddress(R"(^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})(?::(\d{1,5}))?$)");
  std::smatch m;
  if (!std::regex_match(text, m, kAddress)) return std::nullopt;
  for (int i = 1; i <= 4; ++i) {
    if (std::stoi(m[i].str()) > 255) return std::nullopt;
  }
  const int port = m[5].matched ? std::stoi(m[5].str()) : kDefaultLanPort;
  if (port < 1 || port > 65535) return std::nullopt;
  const std::string ip = m[1].str() + "." + m[2].str() + "." + m[3].str() + "." + m[4].str();
  return lm::json::MakeObject({{"com", lm::json::Number(3)}, {"ipAddr", lm::json::String(ip)},
                               {"port", lm::json::Number(port)}});
}

std::string FoundList(const FoundUnits& found) {
  std::string list;
  for (const auto& u : found.units) list += (list.empty() ? "" : ", ") + Describe(u);
  return list.empty() ? "none" : list;
}

}  // namespace

FoundUnits SearchUnits(PageCalls& page, Progress& progress, const std::atomic<bool>* stop) {
  const lm::json::Value usbFlags = lm::json::MakeObject({{"vlb1", lm::json::Bool(true)}, {"vlb2", lm::json::Bool(true)},
                                                         {"vlb3", lm::json::Bool(true)}, {"vlb5", lm::json::Bool(true)}});
  const struct {
    const char* what;
    const char* query;
    lm::json::Value arg;
  } steps[] = {{"USB search", "ComSearchUSB", usbFlags},
               {"LAN search", "ComSearchLAN", lm::json::Value(lm::json::Object())},
               {"logger search", "ComSearchLogger", lm::json::Value(lm::json::Object())}};
  FoundUnits found;
  for (size_t i = 0; i < std::size(steps); ++i) {
    if (stop && stop->load()) {
      found.failures.push_back("stopped");
      break;
    }
    progress.Step(static_cast<double>(i), 3, std::string(steps[i].what) + "…");
    PageAnswer answer = page.Query(steps[i].query, steps[i].arg);
    if (!answer.ok || !answer.value.is<lm::json::Array>()) {
      found.failures.push_back(std::string(steps[i].what) + ": " + FailureText(answer));
      continue;
    }
    auto& into = i < 2 ? found.units : found.loggers;
    for (const auto& u : answer.value.get<lm::json::Array>()) into.push_back(u);
  }
  progress.Step(3, 3, "found " + CountOf(found.units.size(), "base unit") + ", " +
                          CountOf(found.loggers.size(), "logger"));
  progress.Finish();
  return found;
}

namespace {

// Without --unit: the only unit found, or with a demo site its LAN unit.
UnitChoice DefaultUnit(const FoundUnits& found, const std::vector<lm::json::Value>& demoUnits) {
  UnitChoice choice;
  if (found.units.size() == 1) {
    choice.entry = found.units.front();
    return choice;
  }
  auto lan = std::find_if(demoUnits.begin(), demoUnits.end(), [](const auto& u) { return !IsUsbEntry(u); });
  if (lan != demoUnits.end()) {
    auto it = std::find_if(found.units.begin(), found.units.end(),
                           [&](const auto& u) { return MemberText(u, "serial") == MemberText(*lan, "serial"); });
    if (it != found.units.end()) {
      choice.entry = *it;
      return choice;
    }
  }
  choice.status = found.units.empty() ? kExitUnitNotFound : kExitUsage;
  choice.error = found.units.empty() ? "no base unit found"
                                     : "several base units found; pick one with --unit: " + FoundList(found);
  return choice;
}

}  // namespace

UnitChoice ChooseUnit(const FoundUnits& found, const std::optional<std::string>& wanted,
                      const std::vector<lm::json::Value>& demoUnits) {
  if (!wanted) return DefaultUnit(found, demoUnits);
  UnitChoice choice;
  // By address: a unit found there, else the address itself.
  if (auto byAddress = AddressEntry(*wanted)) {
    std::vector<lm::json::Value> there;
    std::copy_if(found.units.begin(), found.units.end(), std::back_inserter(there),
                 [&](const auto& u) { return AtAddress(u, *wanted); });
    if (there.size() <= 1) {
      choice.entry = there.empty() ? *byAddress : there.front();
      return choice;
    }
    choice.status = kExitUsage;
    choice.error = "several base units answer at " + *wanted + ": " + FoundList({there, {}, {}}) + "; give its serial";
    return choice;
  }
  const UnitPick pick = PickUnit(NamedBaseUnits(found.units), *wanted, "base unit");
  if (pick.index) {
    choice.entry = found.units[*pick.index];
  } else {
    choice.status = pick.ambiguous ? kExitUsage : kExitUnitNotFound;
    choice.error = pick.error;
  }
  return choice;
}

std::optional<std::string> LanPassword(const std::optional<std::string>& passwordFile, const lm::json::Value& entry,
                                       const std::vector<lm::json::Value>& demoUnits, std::string& error) {
  if (const char* env = std::getenv("LINKMETER_PASSWORD"); env && *env) return std::string(env);
  if (passwordFile) {
    std::ifstream in(*passwordFile);
    std::string line;
    if (!in || (!std::getline(in, line) && !in.eof())) {
      error = "cannot read the password file " + *passwordFile;
      return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
  }
  for (const auto& u : demoUnits) {
    if (MemberText(u, "serial") == MemberText(entry, "serial")) return MemberText(u, "lanPassword");
  }
  return std::nullopt;
}

std::unique_ptr<UnitConnection> UnitConnection::Connect(CommandContext& ctx, int& status) {
  FoundUnits found = SearchUnits(ctx.page, ctx.progress, ctx.stop);
  if (ctx.Stopped()) {
    status = Fail(ctx.err, kExitPartly, "stopped before the base unit was connected");
    return nullptr;
  }
  for (const auto& f : found.failures) ctx.progress.Line("warning: " + f);
  auto wanted = ctx.args.Get("--unit");
  // A logger's download without --unit: the base unit whose optical port has the only logger found.
  if (!wanted && ctx.args.Has("--logger") && found.loggers.size() == 1) {
    const lm::json::Value& l = found.loggers.front();
    if (l.is<lm::json::Object>() && l.contains("comInfo")) wanted = MemberText(l.get("comInfo"), "serial");
  }
  UnitChoice choice = ChooseUnit(found, wanted, ctx.demoUnits);
  if (!choice.entry) {
    status = Fail(ctx.err, choice.status, choice.error);
    return nullptr;
  }
  lm::json::Value comInfo = *choice.entry;
  if (!IsUsbEntry(comInfo)) {
    std::string error;
    auto password = LanPassword(ctx.args.Get("--password-file"), comInfo, ctx.demoUnits, error);
    if (!error.empty()) {
      status = Fail(ctx.err, kExitUsage, error);
      return nullptr;
    }
    comInfo.get<lm::json::Object>()["lanPassword"] = lm::json::String(password.value_or(""));
  }
  ctx.progress.Step(0, 1, "connecting to " + Describe(comInfo) + "…");
  PageAnswer opened = ctx.page.Query("ComOpen", lm::json::MakeObject({{"comInfo", comInfo}}));
  if (!opened.ok) {
    ctx.progress.Finish();
    const bool password = IsWrongPassword(opened);
    status = Fail(ctx.err, password ? kExitWrongPassword : kExitFailed,
                  password ? "the base unit refused the password (set LINKMETER_PASSWORD or --password-file)"
                           : "cannot connect to " + Describe(comInfo) + ": " + FailureText(opened));
    return nullptr;
  }
  std::unique_ptr<UnitConnection> unit(new UnitConnection(ctx.page, comInfo));
  unit->ReadInfo(ctx.progress);
  ctx.progress.Finish();
  // A unit that opens but answers nothing: no command after this would either.
  const lm::json::Value& ruinf = unit->Info().get("ruinf");
  if (ruinf.contains("error") && ruinf.contains("linkLost")) {
    status = Fail(ctx.err, kExitFailed, "the base unit " + Describe(comInfo) + " does not answer: " +
                                            MemberText(ruinf, "error"));
    return nullptr;
  }
  status = kExitOk;
  return unit;
}

void UnitConnection::ReadInfo(Progress& progress) {
  lm::json::Object info;
  for (const auto& [key, mnemonic] : {std::pair{"ruinf", "RUINF"}, {"ebsts", "EBSTS"}, {"rdtim", "RDTIM"}}) {
    PageAnswer a = page_.Command(mnemonic, lm::json::Object{{"comInfo", comInfo_}});
    info[key] = a.ok ? a.value : lm::json::MakeObject({{"error", lm::json::String(FailureText(a))}});
    if (IsLinkLost(a)) {
      info[key].get<lm::json::Object>()["linkLost"] = lm::json::Bool(true);
      break;
    }
    if (!a.ok) progress.Line(std::string("warning: ") + mnemonic + ": " + FailureText(a));
  }
  // A unit reached by address is named by its RUINF once open.
  auto& c = comInfo_.get<lm::json::Object>();
  if (!c.count("serial")) {
    const lm::json::Value& ruinf = info["ruinf"];
    c["serial"] = lm::json::String(MemberText(ruinf, "SER"));
    c["name"] = lm::json::String(MemberText(ruinf, "NAME"));
    c["descr"] = lm::json::String(MemberText(ruinf, "DESC"));
    c["model"] = lm::json::String("");
  }
  info_ = lm::json::Value(std::move(info));
}

UnitConnection::~UnitConnection() { page_.Query("ComClose", lm::json::MakeObject({{"comInfo", comInfo_}})); }

std::string UnitConnection::Serial() const { return MemberText(comInfo_, "serial"); }
std::string UnitConnection::Name() const { return MemberText(comInfo_, "name"); }
std::string UnitConnection::Model() const { return MemberText(comInfo_, "model"); }
bool UnitConnection::IsUsb() const { return IsUsbEntry(comInfo_); }

bool UnitConnection::Reopen(std::string& why) {
  page_.Query("ComClose", lm::json::MakeObject({{"comInfo", comInfo_}}));
  PageAnswer opened = page_.Query("ComOpen", lm::json::MakeObject({{"comInfo", comInfo_}}));
  if (!opened.ok) why = FailureText(opened);
  return opened.ok;
}

}  // namespace linkmeter::cli
