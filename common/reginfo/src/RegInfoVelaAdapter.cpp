#include "vantor/com/RegInfoVelaAdapter.h"

#include "RegInfoJsonPath.h"
#include "vantor/com/IntervalEncoding.h"
#include "vantor/com/RegInfoVelaAdapterVLRA.h"
#include "vantor/com/RegInfoVelaAdapterVLRD.h"
#include "vantor/com/RegInfoVelaAdapterVLRF.h"
#include "vantor/com/RegInfoVelaAdapterVLRG.h"
#include "vantor/com/RegInfoVelaAdapterVLRH.h"

namespace com::vantor {
namespace {

using lm::json::Value;
constexpr size_t kNameLength = 8;

Value ReadField(const AdapterBaseR& r, const RegInfoField& f) {
  switch (f.kind) {
    case RegInfoFieldKind::kBool: return Value(r.Bit(f.offset, f.shift));
    case RegInfoFieldKind::kUInt:
      return lm::json::Number(f.bits == 16 ? unsigned{r.U16(f.offset)} : r.Bits(f.offset, f.shift, f.bits));
    case RegInfoFieldKind::kOneTime: return Value(r.U8(f.offset) == 0x80);
    case RegInfoFieldKind::kMinutes: return lm::json::Number(interval::DecodeMinutes(r.U8(f.offset)));
    case RegInfoFieldKind::kVlrdInterval: return lm::json::Number(interval::DecodeVlrd(r.U8(f.offset), true));
    case RegInfoFieldKind::kText: return Value(detail::DeviceTextToUtf8(r.Text(f.offset, f.bits)));
  }
  return Value();
}

std::optional<int> IntOf(const Value& v, double hi) {
  if (!lm::json::IsIntegral(v, 0, hi)) return std::nullopt;
  return static_cast<int>(v.get<double>());
}

// Writes one member; false when the value does not fit the field.
bool WriteField(AdapterBaseW& w, const RegInfoField& f, const Value& v) {
  switch (f.kind) {
    case RegInfoFieldKind::kBool:
      if (!v.is<bool>()) return false;
      w.SetBit(f.offset, f.shift, v.get<bool>());
      return true;
    case RegInfoFieldKind::kUInt: {
      auto n = IntOf(v, (1u << f.bits) - 1u);
      if (!n) return false;
      if (f.bits == 16) w.SetU16(f.offset, static_cast<uint16_t>(*n));
      else w.SetBits(f.offset, f.shift, f.bits, static_cast<unsigned>(*n));
      return true;
    }
    case RegInfoFieldKind::kOneTime:
      if (!v.is<bool>()) return false;
      w.SetU8(f.offset, v.get<bool>() ? 0x80 : 0);
      return true;
    case RegInfoFieldKind::kMinutes:
    case RegInfoFieldKind::kVlrdInterval: {
      auto n = IntOf(v, 1e6);
      if (!n) return false;
      auto byte = f.kind == RegInfoFieldKind::kMinutes ? interval::EncodeMinutes(*n) : interval::EncodeVlrdSecond(*n);
      if (!byte) return false;
      w.SetU8(f.offset, *byte);
      return true;
    }
    case RegInfoFieldKind::kText: {
      auto bytes = detail::Utf8ToDeviceText(v, f.bits);
      if (!bytes) return false;
      w.SetText(f.offset, f.bits, *bytes);
      return true;
    }
  }
  return false;
}

}  // namespace

void RegInfoVelaAdapter::ToJson(const RegInfoVelaRemoteUnit& unit, lm::json::Object& out) const {
  AdapterBaseR r(unit.Bytes());
  out["name"] = Value(detail::DeviceTextToUtf8(r.Text(NameOffset(), kNameLength)));
  detail::PathWriter members(out);
  for (const auto& f : Fields(unit.ModelCode())) members.Put(f.path, ReadField(r, f));
  ReadExtra(r, out);
}

RegInfoError RegInfoVelaAdapter::FromJson(const lm::json::Object& in, RegInfoVelaRemoteUnit& unit) const {
  AdapterBaseW w(unit.MutableBytes());
  const Value* name = detail::FindPath(in, "name");
  auto nameBytes = name ? detail::Utf8ToDeviceText(*name, kNameLength) : std::nullopt;
  if (!nameBytes) return {regerr::kName, "name"};
  w.SetText(NameOffset(), kNameLength, *nameBytes);
  for (const auto& f : Fields(unit.ModelCode())) {
    const Value* v = detail::FindPath(in, f.path);
    if (v == nullptr || !WriteField(w, f, *v)) return {f.error, f.path};
  }
  return WriteExtra(in, w);
}

const RegInfoVelaAdapter* RegInfoVelaAdapter::ForModelCode(uint8_t code) {
  static const RegInfoVelaAdapterVLRA vlra;
  static const RegInfoVelaAdapterVLRD vlrd;
  static const RegInfoVelaAdapterVLRF vlrf;
  static const RegInfoVelaAdapterVLRG vlrg;
  static const RegInfoVelaAdapterVLRH vlrh;
  switch (code) {
    case 92: case 93: case 94: case 99: return &vlra;
    case 97: return &vlrd;
    case 96: return &vlrf;
    case 98: return &vlrg;
    case 63: return &vlrh;
    default: return nullptr;
  }
}

}  // namespace com::vantor
