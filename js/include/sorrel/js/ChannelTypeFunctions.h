#pragma once
// Page functions of the `linkmeter` namespace: values of a channel in display
// units, worked out by the program's channel types (so the page keeps no copy
// of their formulas), and whether the page shows the built-in demo site.
// Native functions: they run synchronously in the page process.

#include <string>
#include <utility>

#include "sorrel/js/HostNative.h"

namespace Sorrel::cef {
class Manager;
}

namespace Sorrel::Js {

// linkmeter.chtype.format(chType, raw[, withUnit]) → display text ("----"
// for no value); the unit is appended unless withUnit is false.
class ChTypeFormat : public HostNative {
 public:
  ChTypeFormat() : HostNative("linkmeter.chtype.format", "LmChTypeFormat") {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

// linkmeter.chtype.toReal(chType, raw) → the value in display units, or null
// when the raw value is a no-value marker.
class ChTypeToReal : public HostNative {
 public:
  ChTypeToReal() : HostNative("linkmeter.chtype.toReal", "LmChTypeToReal") {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

// linkmeter.chtype.fromReal(chType, real) → the raw value, clamped to the
// type's limits.
class ChTypeFromReal : public HostNative {
 public:
  ChTypeFromReal() : HostNative("linkmeter.chtype.fromReal", "LmChTypeFromReal") {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

// linkmeter.chtype.describe(chType) → {chType, known, width, unit, minRaw,
// maxRaw, min, max}: what a page needs to label and bound an input.
class ChTypeDescribe : public HostNative {
 public:
  ChTypeDescribe() : HostNative("linkmeter.chtype.describe", "LmChTypeDescribe") {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

// linkmeter.isDemo() → true when the program runs its built-in demo site.
class IsDemoSite : public HostNative {
 public:
  explicit IsDemoSite(bool demo) : HostNative("linkmeter.isDemo", "LmIsDemo"), demo_(demo) {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;

 private:
  bool demo_;
};

// linkmeter.systemLanguage() → the user's system language, "ja" or "en", as
// the program read it from its environment (the engine's own locale stays
// fixed, so the page cannot learn it there).
class SystemLanguage : public HostNative {
 public:
  explicit SystemLanguage(std::string language)
      : HostNative("linkmeter.systemLanguage", "LmSystemLanguage"), language_(std::move(language)) {}

 protected:
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;

 private:
  std::string language_;
};

// The `linkmeter` namespace and its functions; `demo` is what isDemo
// answers, `systemLanguage` what systemLanguage answers.
void RegisterLinkmeterFunctions(cef::Manager& manager, bool demo, const std::string& systemLanguage = "en");

}  // namespace Sorrel::Js
