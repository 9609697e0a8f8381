#include "sorrel/js/ChannelTypeFunctions.h"

#include <cmath>
#include <cstdint>

#include "sorrel/cef/Exception.h"
#include "sorrel/cef/Manager.h"
#include "vantor/detail/VtChType.h"

namespace Sorrel::Js {
namespace {

using vantor::detail::VtChTypeBase;
using vantor::detail::VtChTypePrimitiveUINT32;

// One channel type as the page names it: 16-bit types, or the 32-bit
// cumulative pulse type, whose 16-bit operations must never be called.
struct PageChType {
  int code;
  const VtChTypeBase& type;
  const VtChTypePrimitiveUINT32* wide;  // set for the 32-bit type

  // The lowest and highest raw values that carry a value: the limits may
  // lie inside a no-value range (0xF000.. of the signed floating types).
  uint32_t LowestRaw() const { return wide ? wide->MinRaw32() : Inward(type.MinRaw(), true); }
  uint32_t HighestRaw() const { return wide ? wide->MaxRaw32() : Inward(type.MaxRaw(), false); }
  double Real(uint32_t raw) const { return wide ? wide->RawToReal32(raw) : type.RawToReal(static_cast<uint16_t>(raw)); }

 private:
  uint16_t Inward(uint16_t raw, bool up) const {
    for (int guard = 0; guard < 64 && !type.IsInRange(raw); ++guard) raw = up ? type.StepUp(raw) : type.StepDown(raw);
    return raw;
  }
};

// Argument checks count -1, -2, … in the order they are made; `first` is the
// code of the first check on this argument.
const lm::json::Value& Required(const Args& args, size_t at, const char* name, int32_t first) {
  cef::Ensure(args.size() > at && !args[at].is<picojson::null>(), first, cef::MsgNotFound(name));
  return args[at];
}

PageChType ChTypeAt0(const Args& args) {
  const auto& v = Required(args, 0, "chType", -1);
  cef::Ensure(IsInteger(v, INT32_MIN, INT32_MAX), -2, cef::MsgInvalid("chType"));
  const int code = static_cast<int>(v.get<double>());
  const VtChTypeBase& type = VtChTypeBase::FromCode(code);
  return {code, type, dynamic_cast<const VtChTypePrimitiveUINT32*>(&type)};
}

uint32_t RawAt1(const Args& args, const PageChType& t) {
  const auto& v = Required(args, 1, "raw", -3);
  cef::Ensure(IsInteger(v, 0, t.wide ? 4294967295.0 : 65535.0), -4, cef::MsgInvalid("raw"));
  return static_cast<uint32_t>(v.get<double>());
}

std::string Text(const PageChType& t, uint32_t raw, bool withUnit) {
  std::string out;
  if (t.wide) t.wide->Format32(raw, withUnit, out);
  else t.type.Format(static_cast<uint16_t>(raw), withUnit, out);
  return out;
}

// The unit as a label: what the text with unit adds, without its leading
// space. Taken at the low end of the range (the cumulative illuminance
// switches to its prefixed unit higher up).
std::string UnitOf(const PageChType& t) {
  uint32_t sample = 0;
  if (!t.wide) {
    for (uint16_t raw : {uint16_t{0}, t.type.MinRaw(), t.type.MaxRaw()}) {
      if (t.type.IsInRange(raw)) {
        sample = raw;
        break;
      }
    }
  }
  const std::string bare = Text(t, sample, false);
  std::string unit = Text(t, sample, true).substr(bare.size());
  if (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
  return unit;
}

}  // namespace

void ChTypeFormat::Run(const Args& args, Call& call) {
  const PageChType t = ChTypeAt0(args);
  const uint32_t raw = RawAt1(args, t);
  bool withUnit = true;
  if (args.size() > 2 && !args[2].is<picojson::null>()) {
    cef::Ensure(args[2].is<bool>(), -5, cef::MsgInvalid("withUnit"));
    withUnit = args[2].get<bool>();
  }
  call.returnValue = lm::json::String(Text(t, raw, withUnit));
}

void ChTypeToReal::Run(const Args& args, Call& call) {
  const PageChType t = ChTypeAt0(args);
  const uint32_t raw = RawAt1(args, t);
  if (t.wide) {
    call.returnValue = lm::json::Number(t.wide->RawToReal32(raw));
  } else if (!t.type.IsNoValue(static_cast<uint16_t>(raw))) {
    call.returnValue = lm::json::Number(t.type.RawToReal(static_cast<uint16_t>(raw)));
  }  // else null: no value
}

void ChTypeFromReal::Run(const Args& args, Call& call) {
  const PageChType t = ChTypeAt0(args);
  const auto& v = Required(args, 1, "real", -3);
  cef::Ensure(v.is<double>() && std::isfinite(v.get<double>()), -4, cef::MsgInvalid("real"));
  const double real = v.get<double>();
  call.returnValue = t.wide ? lm::json::Number(static_cast<double>(t.wide->RealToRaw32(real)))
                            : lm::json::Number(static_cast<int>(t.type.RealToRaw(real)));
}

void ChTypeDescribe::Run(const Args& args, Call& call) {
  const PageChType t = ChTypeAt0(args);
  const bool known = &t.type != &VtChTypeBase::FromCode(-1);
  const uint32_t lo = t.LowestRaw();
  const uint32_t hi = t.HighestRaw();
  call.returnValue = lm::json::MakeObject({{"chType", lm::json::Number(t.code)},
                                           {"known", lm::json::Bool(known)},
                                           {"width", lm::json::Number(t.type.Width())},
                                           {"unit", lm::json::String(UnitOf(t))},
                                           {"minRaw", lm::json::Number(lo)},
                                           {"maxRaw", lm::json::Number(hi)},
                                           {"min", lm::json::Number(t.Real(lo))},
                                           {"max", lm::json::Number(t.Real(hi))}});
}

void IsDemoSite::Run(const Args&, Call& call) { call.returnValue = lm::json::Bool(demo_); }

void SystemLanguage::Run(const Args&, Call& call) { call.returnValue = lm::json::String(language_); }

// ---- descriptions ---------------------------------------------------------

namespace {

constexpr const char* kValues = "Display values";
const HostArgDoc kChTypeArg{"chType", "integer", "required", "a channel-type code, e.g. ch1.chType of a registration record"};
const HostArgDoc kRawArg{"raw", "integer", "required", "0..65535; 0..4294967295 for the 32-bit pulse types"};
const HostFailureDoc kChTypeBad{"-1, -2", "chType missing or not an integer"};
const HostFailureDoc kRawBad{"-3, -4", "raw missing, or not an integer in range"};

}  // namespace

const HostDoc& ChTypeFormat::Doc() const {
  static const HostDoc doc{kValues, "(chType, raw[, withUnit])", "A channel value as display text.",
                           {kChTypeArg, kRawArg, {"withUnit", "boolean", "optional", "false leaves the unit off"}},
                           "The text, e.g. \"25.0 °C\"; \"----\" for a raw value that means no value.",
                           {kChTypeBad, kRawBad, {"-5", "withUnit is not a boolean"}},
                           "linkmeter.chtype.format(13, 1250); // \"25.0 °C\"", {__FILE__}};
  return doc;
}

const HostDoc& ChTypeToReal::Doc() const {
  static const HostDoc doc{kValues, "(chType, raw)", "A channel value in display units.", {kChTypeArg, kRawArg},
                           "A number, or null for a raw value that means no value.", {kChTypeBad, kRawBad},
                           "const celsius = linkmeter.chtype.toReal(13, 250); // 25", {__FILE__}};
  return doc;
}

const HostDoc& ChTypeFromReal::Doc() const {
  static const HostDoc doc{kValues, "(chType, real)", "The raw value of a display value, clamped to the type's limits.",
                           {kChTypeArg, {"real", "number", "required", ""}}, "The raw value.",
                           {kChTypeBad, {"-3, -4", "real missing or not a number"}},
                           "const raw = linkmeter.chtype.fromReal(13, -5.5);", {__FILE__}};
  return doc;
}

const HostDoc& ChTypeDescribe::Doc() const {
  static const HostDoc doc{
      kValues, "(chType)", "What a channel type holds.", {kChTypeArg},
      "{chType, known, width, unit, minRaw, maxRaw, min, max}: width in bytes per value, unit without a leading space.",
      {kChTypeBad}, "const {unit, min, max} = linkmeter.chtype.describe(208);", {__FILE__}};
  return doc;
}

const HostDoc& IsDemoSite::Doc() const {
  static const HostDoc doc{kValues, "()", "Whether the program runs its built-in demo site.", {}, "true or false.", {},
                           "if (linkmeter.isDemo()) showDemoMark();", {__FILE__}};
  return doc;
}

const HostDoc& SystemLanguage::Doc() const {
  static const HostDoc doc{kValues, "()",
                           "The user's system language, read by the program from LANGUAGE, LC_ALL, LC_MESSAGES and "
                           "LANG as the C library reads them (the engine's own locale stays ja-JP).",
                           {}, "\"ja\" when the environment names Japanese, else \"en\".", {},
                           "setLanguage(saved || linkmeter.systemLanguage());", {__FILE__}};
  return doc;
}

void RegisterLinkmeterFunctions(cef::Manager& manager, bool demo, const std::string& systemLanguage) {
  manager.AppendPrelude("var linkmeter={};linkmeter.chtype={};");
  manager.AddNative(std::make_shared<ChTypeFormat>());
  manager.AddNative(std::make_shared<ChTypeToReal>());
  manager.AddNative(std::make_shared<ChTypeFromReal>());
  manager.AddNative(std::make_shared<ChTypeDescribe>());
  manager.AddNative(std::make_shared<IsDemoSite>(demo));
  manager.AddNative(std::make_shared<SystemLanguage>(systemLanguage));
}

}  // namespace Sorrel::Js
