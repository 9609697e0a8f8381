#include "sorrel/js/Sibling.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "sorrel/cef/Exception.h"
#include "sorrel/js/Folders.h"
#include "sorrel/js/SettingsDocument.h"

namespace Sorrel::Js {

SiblingEdition SiblingEditionOf(bool oem) {
  // This is the Japanese build: the standard edition keeps its settings
  // under its Japanese product folder.
  if (oem) return {"_orvale_VLO1_Manage_InitInstance_", "Orvale Corp/VL-O1 for Windows/Settings/BaseUnit.dat"};
  return {"_vantor_VELA_Manage_InitInstance_", "Vantor Corp/VL-B1 for Windows/Settings/BaseUnit.dat"};
}

bool IsAbstractSocketBound(const std::string& name) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (name.size() + 1 > sizeof(addr.sun_path)) return false;
  std::memcpy(addr.sun_path + 1, name.data(), name.size());
  const socklen_t length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  // Abstract names are per socket type: the name is taken when binding it
  // fails for any type.
  for (int type : {SOCK_STREAM, SOCK_DGRAM, SOCK_SEQPACKET}) {
    const int fd = ::socket(AF_UNIX, type | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    const bool taken = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), length) != 0 && errno == EADDRINUSE;
    ::close(fd);
    if (taken) return true;
  }
  return false;
}

bool SelectsOem(const Args& args) {
  if (args.size() != 1) return false;
  cef::Ensure(args[0].is<bool>(), -2, "");
  return args[0].get<bool>();
}

}  // namespace Sorrel::Js

using namespace Sorrel::Js;

void JsIsRunningVlb1Tool::Run(const Args& args, Call& call) {
  call.returnValue = lm::json::Bool(IsAbstractSocketBound(SiblingEditionOf(SelectsOem(args)).instanceName));
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
