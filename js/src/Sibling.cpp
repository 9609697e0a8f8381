#include "sorrel/js/Sibling.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/SettingsDocument.h"

namespace Sorrel::Js {

SiblingEdition SiblingEditionOf(bool oem, const std::string& localeName) {
  if (oem) return {"_orvale_VLO1_Manage_InitInstance_", "Orvale Corp/VL-O1 for Windows/Settings/BaseUnit.dat"};
  const char* product = localeName == "Japanese" ? "VL-B1 for Windows" : "VELA for Windows";
  return {"_vantor_VELA_Manage_InitInstance_", std::string("Vantor Corp/") + product + "/Settings/BaseUnit.dat"};
}

SiblingEdition SiblingEditionOf(bool oem) { return SiblingEditionOf(oem, CurrentFolderTexts().localeName); }

std::string SiblingInstanceName(bool oem, uid_t user) {
  return std::string(SiblingEditionOf(oem).instanceName) + "." + std::to_string(user);
}

namespace {

// Whether a socket of the given type accepts a connection on the name; only
// a listening (or, for datagrams, a bound) socket does.
bool Connects(const sockaddr_un& addr, socklen_t length, int type) {
  const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), length) == 0;
  ::close(fd);
  return connected;
}

}  // namespace

std::optional<bool> IsListedInSocketTable(std::istream& table, const std::string& name) {
  std::string line;
  if (!std::getline(table, line) || line.rfind("Num", 0) != 0) return std::nullopt;  // no heading: no list
  // Each line ends with the socket's name; an abstract one starts with '@'.
  const std::string suffix = " @" + name;
  while (std::getline(table, line)) {
    if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0)
      return true;
  }
  return false;
}

bool IsAbstractSocketBound(const std::string& name) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (name.empty() || name.size() + 1 > sizeof(addr.sun_path)) return false;
  // The kernel's list shows every bound name without taking it: binding it
  // here, even for a moment, would make a sibling starting now give up.
  std::ifstream table("/proc/net/unix");
  if (auto listed = IsListedInSocketTable(table, name)) return *listed;
  std::memcpy(addr.sun_path + 1, name.data(), name.size());
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return Connects(addr, length, SOCK_STREAM) || Connects(addr, length, SOCK_SEQPACKET) ||
         Connects(addr, length, SOCK_DGRAM);
}

bool SelectsOem(const Args& args) {
  if (args.size() != 1) return false;
  cef::Ensure(args[0].is<bool>(), -2, "");
  return args[0].get<bool>();
}

}  // namespace Sorrel::Js

using namespace Sorrel::Js;

void JsIsRunningVlb1Tool::Run(const Args& args, Call& call) {
  call.returnValue = lm::json::Bool(IsAbstractSocketBound(SiblingInstanceName(SelectsOem(args), ::getuid())));
}

JsGetSettingsVlb1Tool::JsGetSettingsVlb1Tool(Documents documents)
    : HostNative("app.getSettingsVlb1Tool", "JsGetSettingsVlb1Tool"),
      documents_(documents ? std::move(documents) : Documents(DocumentsFolder)) {}

void JsGetSettingsVlb1Tool::Run(const Args& args, Call& call) {
  const bool oem = SelectsOem(args);
  auto documents = documents_();
  Sorrel::cef::EnsureExecuted(documents.has_value(), -1, "");
  std::ifstream file(*documents + "/" + SiblingEditionOf(oem).settingsPath, std::ios::binary);
  Sorrel::cef::EnsureExecuted(file.is_open(), -5, "");
  std::string document((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Sorrel::cef::EnsureExecuted(!file.bad(), -5, "");
  // The enciphered form needs the sibling's own decoder, which this host
  // does not have.
  Sorrel::cef::EnsureExecuted(IsPlainSettings(document), -11, "");
  SettingsResult result = ParseSettingsDocument(document);
  Sorrel::cef::EnsureExecuted(result.code == 0, result.code, "");
  call.returnValue = std::move(result.value);
}

// ---- descriptions ---------------------------------------------------------

namespace {
constexpr const char* kSibling = "Sibling application";
}  // namespace

const HostDoc& JsIsRunningVlb1Tool::Doc() const {
  static const HostDoc doc{kSibling, "([oem])", "Whether the sibling application is running for this user.",
                           {{"oem", "boolean", "optional", "true: its OEM edition"}}, "true or false.",
                           {{"-2", "oem is not a boolean"}},
                           "if (app.isRunningVlb1Tool()) warn('Close the other application before writing.');",
                           {__FILE__}};
  return doc;
}

const HostDoc& JsGetSettingsVlb1Tool::Doc() const {
  static const HostDoc doc{
      kSibling, "([oem])", "The base-unit settings the sibling application saved for this user.",
      {{"oem", "boolean", "optional", "true: its OEM edition"}},
      "{RSETF: {groups: […]}} with the registration's groups, repeaters and remote units; {RSETF: {}} without "
      "registration data; {} without settings.",
      {{"-2", "oem is not a boolean"}, {"-1", "no Documents folder"}, {"-5", "no settings file"},
       {"-11", "the file is not a plain settings document"},
       {"-20", "the document cannot be read: too large, or no reader for it"},
       {"-24", "bytes that are no text in the declared encoding (Shift_JIS is read as CP932)"},
       {"-27", "the document is not well-formed XML (what was read is not returned)"},
       {"-42", "DATA is not Base64"}, {"-43, -44", "DATA is not a registration image"}},
      "try { const s = app.getSettingsVlb1Tool(); show(s.RSETF && s.RSETF.groups); }\n"
      "catch (e) { const err = JSON.parse(e.message); if (err.code1 !== -5) throw e; }",
      {__FILE__, "SettingsDocument.cpp"}};
  return doc;
}
