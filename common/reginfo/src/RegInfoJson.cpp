#include "vantor/com/RegInfoJson.h"

#include "RegInfoJsonPath.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/RegInfoReader.h"
#include "vantor/com/RegInfoVelaAdapter.h"

namespace com::vantor {
namespace {

using lm::json::Array;
using lm::json::Object;
using lm::json::Value;

constexpr unsigned kMaxCount = 255;  // counts travel in one byte
constexpr uint8_t kSubtypeOffset = 36;
constexpr uint8_t kDefaultRecordType = 0xFE;

Value RepeaterToJson(const RegInfoVelaRepeater& r) {
  return lm::json::MakeObject({{"num", lm::json::Number(r.Num())},
                               {"parent", lm::json::Number(r.Parent())},
                               {"serial", Value(SerialText(r.Serial()))}});
}

// Appends the JSON form of the group's remote units `units` does not hold yet.
void AddRemoteUnits(const RegInfoImage::Group& g, Array& units) {
  units.reserve(g.remoteUnits.size());
  for (size_t i = units.size(); i < g.remoteUnits.size(); ++i) units.emplace_back(RemoteUnitToJson(g.remoteUnits[i]));
}

// `units`: the JSON form of the group's first remote units, made earlier.
Value GroupToJson(const RegInfoImage::Group& g, Array units = {}) {
  Array id;
  for (uint8_t b : g.group.Id()) id.push_back(lm::json::Number(b));
  Array repeaters;
  for (const auto& r : g.repeaters) repeaters.push_back(RepeaterToJson(r));
  AddRemoteUnits(g, units);
  // Members moved in one by one: an initializer list would copy the arrays.
  Object out;
  out["band"] = lm::json::Number(g.group.Band());
  out["freq"] = lm::json::Number(g.group.Freq());
  out["id"] = Value(std::move(id));
  out["name"] = Value(detail::DeviceTextToUtf8(g.group.Name()));
  out["remoteUnits"] = Value(std::move(units));
  out["repeaters"] = Value(std::move(repeaters));
  return Value(std::move(out));
}

const Array* ArrayMember(const Object& obj, const char* name) {
  const Value* v = detail::FindPath(obj, name);
  return v && v->is<Array>() && v->get<Array>().size() <= kMaxCount ? &v->get<Array>() : nullptr;
}

std::optional<uint8_t> ByteMember(const Object& obj, const char* name) {
  const Value* v = detail::FindPath(obj, name);
  if (!v || !lm::json::IsIntegral(*v, 0, 255)) return std::nullopt;
  return static_cast<uint8_t>(v->get<double>());
}

std::optional<uint32_t> SerialMember(const Object& obj) {
  const Value* v = detail::FindPath(obj, "serial");
  return v && v->is<std::string>() ? ParseSerialText(v->get<std::string>()) : std::nullopt;
}

std::string Where(const std::string& prefix, size_t index) { return prefix + "[" + std::to_string(index) + "]"; }

RegInfoError Prefixed(RegInfoError e, const std::string& where) {
  e.member = e.member.empty() ? where : where + "." + e.member;
  return e;
}

RegInfoError RepeaterFromJson(const Value& json, std::optional<RegInfoVelaRepeater>& out) {
  if (!json.is<Object>()) return {regerr::kRepeater, ""};
  const Object& obj = json.get<Object>();
  auto num = ByteMember(obj, "num");
  if (!num) return {regerr::kRepeater, "num"};
  auto parent = ByteMember(obj, "parent");
  if (!parent) return {regerr::kRepeater, "parent"};
  auto serial = SerialMember(obj);
  if (!serial) return {regerr::kRepeater, "serial"};
  out.emplace(*num, *parent, *serial);
  return {};
}

RegInfoError GroupIdFromJson(const Object& obj, RegInfoVelaGroup& group) {
  const Value* id = detail::FindPath(obj, "id");
  if (!id || !id->is<Array>()) return {regerr::kGroupId, "id"};
  const Array& bytes = id->get<Array>();
  if (bytes.size() != RegInfoVelaGroup::kIdLength) return {regerr::kGroupIdBytes, "id"};
  std::array<uint8_t, RegInfoVelaGroup::kIdLength> raw{};
  for (size_t i = 0; i < raw.size(); ++i) {
    if (!lm::json::IsIntegral(bytes[i], 0, 255)) return {regerr::kGroupIdBytes, "id"};
    raw[i] = static_cast<uint8_t>(bytes[i].get<double>());
  }
  group.SetId(raw);
  return {};
}

RegInfoError GroupNameFromJson(const Object& obj, RegInfoVelaGroup& group) {
  const Value* name = detail::FindPath(obj, "name");
  if (!name || !name->is<std::string>()) return {regerr::kGroupName, "name"};
  auto bytes = detail::Utf8ToDeviceText(*name, 1u << 16);
  if (!bytes) return {regerr::kGroupName, "name"};  // no device form
  if (bytes->size() > RegInfoVelaGroup::kNameLength) return {regerr::kGroupNameLength, "name"};
  group.SetName(*bytes);
  return {};
}

RegInfoError MembersFromJson(const Array& items, const std::string& where, auto convert, auto& out) {
  for (size_t i = 0; i < items.size(); ++i) {
    std::optional<typename std::decay_t<decltype(out)>::value_type> item;
    if (auto e = convert(items[i], item)) return Prefixed(e, Where(where, i));
    out.push_back(std::move(*item));
  }
  return {};
}

RegInfoError GroupFromJson(const Value& json, RegInfoImage::Group& out) {
  if (!json.is<Object>()) return {regerr::kGroup, ""};
  const Object& obj = json.get<Object>();
  const Array* repeaters = ArrayMember(obj, "repeaters");
  if (!repeaters) return {regerr::kRepeaters, "repeaters"};
  const Array* units = ArrayMember(obj, "remoteUnits");
  if (!units) return {regerr::kRemoteUnits, "remoteUnits"};
  auto freq = ByteMember(obj, "freq");
  if (!freq) return {regerr::kFreq, "freq"};
  auto band = ByteMember(obj, "band");
  if (!band) return {regerr::kBand, "band"};
  out.group.SetFreq(*freq);
  out.group.SetBand(*band);
  if (auto e = GroupIdFromJson(obj, out.group)) return e;
  if (auto e = GroupNameFromJson(obj, out.group)) return e;
  if (auto e = MembersFromJson(*repeaters, "repeaters", RepeaterFromJson, out.repeaters)) return e;
  return MembersFromJson(*units, "remoteUnits", RemoteUnitFromJson, out.remoteUnits);
}

}  // namespace

Object RemoteUnitToJson(const RegInfoVelaRemoteUnit& unit) {
  Object out;
  out["model"] = Value(ModelName(unit.Serial(), AdapterBaseR(unit.Bytes()).U8(kSubtypeOffset)));
  out["serial"] = Value(SerialText(unit.Serial()));
  out["parent"] = lm::json::Number(unit.Parent());
  out["num"] = lm::json::Number(unit.Num());
  if (const auto* view = RegInfoVelaAdapter::ForModelCode(unit.ModelCode())) view->ToJson(unit, out);
  return out;
}

RegInfoError RemoteUnitFromJson(const Value& json, std::optional<RegInfoVelaRemoteUnit>& out) {
  if (!json.is<Object>()) return {regerr::kModel, ""};
  const Object& obj = json.get<Object>();
  const Value* model = detail::FindPath(obj, "model");
  if (!model || !model->is<std::string>()) return {regerr::kModel, "model"};
  const std::string& modelText = model->get<std::string>();
  auto serial = SerialMember(obj);
  if (!serial) return {regerr::kUnitSerial, "serial"};
  // The serial number decides how the record is read back, so it must be a
  // serial of the model named.
  auto code = ModelCodeOfName(modelText);
  bool known = ModelNameOfCode(ModelCodeOf(*serial)) != kUnknownModelName;
  if (code ? *code != ModelCodeOf(*serial) : (modelText != kUnknownModelName || known)) {
    return {regerr::kModel, "model"};
  }
  auto parent = ByteMember(obj, "parent");
  if (!parent) return {regerr::kParent, "parent"};
  auto num = ByteMember(obj, "num");
  if (!num) return {regerr::kNum, "num"};
  const auto* view = RegInfoVelaAdapter::ForModelCode(ModelCodeOf(*serial));
  RegInfoVelaRemoteUnit unit(view ? view->RecordType() : kDefaultRecordType);
  AdapterBaseW w(unit.MutableBytes());
  w.SetU8(3, *num);
  w.SetU8(4, *parent);
  w.SetU32(6, *serial);
  if (view) {
    if (auto e = view->FromJson(obj, unit)) return e;
  }
  out.emplace(std::move(unit));
  return {};
}

Value RegInfoImageToJson(const RegInfoImage& image) { return RegInfoJsonBuilder().Finish(image); }

void RegInfoJsonBuilder::Take(const RegInfoImage& image) {
  if (units_.size() < image.groups.size()) units_.resize(image.groups.size());
  for (size_t g = 0; g < image.groups.size(); ++g) AddRemoteUnits(image.groups[g], units_[g]);
}

Value RegInfoJsonBuilder::Finish(const RegInfoImage& image) {
  units_.resize(image.groups.size());
  Array groups;
  groups.reserve(image.groups.size());
  for (size_t g = 0; g < image.groups.size(); ++g) groups.push_back(GroupToJson(image.groups[g], std::move(units_[g])));
  units_.clear();
  Object out;
  out["groups"] = Value(std::move(groups));
  out["serial"] = Value(SerialText(image.serial));
  return Value(std::move(out));
}

std::optional<Value> RegInfoBytesToJson(std::span<const uint8_t> bytes) {
  RegInfoReader reader;
  reader.Append(bytes);
  if (reader.Run() != RegInfoStep::kComplete) return std::nullopt;
  return RegInfoImageToJson(reader.Image());
}

RegInfoError RegInfoJsonToImage(const Value& json, RegInfoImage& out) {
  if (!json.is<Object>()) return {regerr::kGroups, "groups"};
  const Object& obj = json.get<Object>();
  const Array* groups = ArrayMember(obj, "groups");
  if (!groups) return {regerr::kGroups, "groups"};
  auto serial = SerialMember(obj);
  if (!serial) return {regerr::kSerial, "serial"};
  RegInfoImage image;
  image.serial = *serial;
  for (size_t i = 0; i < groups->size(); ++i) {
    image.groups.emplace_back();
    if (auto e = GroupFromJson((*groups)[i], image.groups.back())) return Prefixed(e, Where("groups", i));
  }
  out = std::move(image);
  return {};
}

RegInfoError RegInfoJsonToBytes(const Value& json, std::vector<uint8_t>& out) {
  RegInfoImage image;
  if (auto e = RegInfoJsonToImage(json, image)) return e;
  out = image.ToBytes();
  return {};
}

}  // namespace com::vantor
