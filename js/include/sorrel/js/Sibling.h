#pragma once
// app.isRunningVlb1Tool and app.getSettingsVlb1Tool: whether the sibling
// application runs, and the base-unit settings it saved for this user.

#include <functional>
#include <optional>
#include <string>

#include "sorrel/js/HostNative.h"

namespace Sorrel::Js {

// The standard edition, or with `oem` the OEM edition.
struct SiblingEdition {
  const char* instanceName;  // the name its running instance holds
  const char* settingsPath;  // below the Documents folder
};
SiblingEdition SiblingEditionOf(bool oem);

// True while an abstract Unix socket of that name is bound (any type).
bool IsAbstractSocketBound(const std::string& name);

// The edition a native call selects: exactly one argument must be a boolean
// (else code -2); none, or more than one, mean the standard edition.
bool SelectsOem(const Args& args);

}  // namespace Sorrel::Js

class JsIsRunningVlb1Tool : public Sorrel::Js::HostNative {
 public:
  JsIsRunningVlb1Tool() : HostNative("app.isRunningVlb1Tool", "JsIsRunningVlb1Tool") {}
  void Run(const Sorrel::Js::Args& args, Call& call) override;
};

class JsGetSettingsVlb1Tool : public Sorrel::Js::HostNative {
 public:
  using Documents = std::function<std::optional<std::string>()>;
  explicit JsGetSettingsVlb1Tool(Documents documents = {});
  void Run(const Sorrel::Js::Args& args, Call& call) override;

 private:
  Documents documents_;
};
