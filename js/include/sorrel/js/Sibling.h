#pragma once
// app.isRunningVlb1Tool and app.getSettingsVlb1Tool: whether the sibling
// application runs, and the base-unit settings it saved for this user.

#include <sys/types.h>

#include <functional>
#include <istream>
#include <optional>
#include <string>

#include "sorrel/js/HostNative.h"

namespace Sorrel::Js {

// The standard edition, or with `oem` the OEM edition.
struct SiblingEdition {
  const char* instanceName;  // the base of the name its running instance holds
  std::string settingsPath;  // below the Documents folder
};
// The standard edition keeps its settings under its Japanese product folder
// when the program's locale name (string 1001) is "Japanese".
SiblingEdition SiblingEditionOf(bool oem, const std::string& localeName);
SiblingEdition SiblingEditionOf(bool oem);  // with the current folder texts

// The abstract socket name a running instance of the edition holds for one
// user: the base name, ".", and the user id, so users never see each other's.
std::string SiblingInstanceName(bool oem, uid_t user);

// True while an abstract Unix socket of that name is bound (any type). The
// check never binds the name itself: it reads the kernel's socket list and,
// where that cannot be read, tries to connect.
bool IsAbstractSocketBound(const std::string& name);
// Whether the socket list (the text of /proc/net/unix) names the abstract
// socket; nullopt when the text is not such a list.
std::optional<bool> IsListedInSocketTable(std::istream& table, const std::string& name);

// The edition a native call selects: exactly one argument must be a boolean
// (else code -2); none, or more than one, mean the standard edition.
bool SelectsOem(const Args& args);

}  // namespace Sorrel::Js

class JsIsRunningVlb1Tool : public Sorrel::Js::HostNative {
 public:
  JsIsRunningVlb1Tool() : HostNative("app.isRunningVlb1Tool", "JsIsRunningVlb1Tool") {}
  void Run(const Sorrel::Js::Args& args, Call& call) override;
  const Sorrel::Js::HostDoc& Doc() const override;
};

class JsGetSettingsVlb1Tool : public Sorrel::Js::HostNative {
 public:
  using Documents = std::function<std::optional<std::string>()>;
  explicit JsGetSettingsVlb1Tool(Documents documents = {});
  void Run(const Sorrel::Js::Args& args, Call& call) override;
  const Sorrel::Js::HostDoc& Doc() const override;

 private:
  Documents documents_;
};
