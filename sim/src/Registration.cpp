#include "linkmeter/sim/Registration.h"

#include "linkmeter/sim/RecordedData.h"
#include "lm/Text.h"
#include "vantor/com/RegInfoImage.h"
#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoReader.h"

namespace linkmeter::sim {
namespace {

using com::vantor::RegInfoVelaRemoteUnit;

void SetMember(lm::json::Object& json, const std::string& object, const std::string& key, lm::json::Value v) {
  auto it = json.find(object);
  if (it != json.end() && it->second.is<lm::json::Object>()) it->second.get<lm::json::Object>()[key] = std::move(v);
}

// The unit's registration record: the leading fields set directly, the
// model's own members through the model's view (JSON round trip), so every
// member the view knows is filled.
RegInfoVelaRemoteUnit RemoteRecord(const RemoteUnitSpec& u) {
  RegInfoVelaRemoteUnit unit(0xFE);
  auto bytes = unit.MutableBytes();
  bytes[3] = static_cast<std::uint8_t>(u.num);
  bytes[4] = static_cast<std::uint8_t>(u.parent);
  bytes[5] = 0x07;  // warning, monitoring, downloading
  for (int i = 0; i < 4; ++i) bytes[6 + i] = static_cast<std::uint8_t>(u.serial >> (8 * i));
  if (ModelCode(u.serial) == 97) bytes[36] = static_cast<std::uint8_t>(u.subtype);

  lm::json::Object json = com::vantor::RemoteUnitToJson(unit);
  json["name"] = lm::json::Value(u.name.substr(0, 8));
  for (std::size_t c = 0; c < u.chTypes.size() && c < 2; ++c) {
    SetMember(json, "ch" + std::to_string(c + 1), "chType", lm::json::Number(u.chTypes[c]));
  }
  std::optional<RegInfoVelaRemoteUnit> filled;
  if (!com::vantor::RemoteUnitFromJson(lm::json::Value(json), filled) && filled) return *filled;
  return unit;
}

}  // namespace

std::string BuildRegistrationImage(const BaseUnitSpec& design) {
  com::vantor::RegInfoImage image;
  image.serial = design.serial;
  for (const GroupSpec& g : design.groups) {
    com::vantor::RegInfoImage::Group group;
    group.group.SetFreq(static_cast<std::uint8_t>(g.freq));
    group.group.SetBand(static_cast<std::uint8_t>(g.band));
    group.group.SetId(std::span<const std::uint8_t, 8>(g.id));
    group.group.SetName(lm::text::Utf8ToAnsi(g.name));
    for (const RepeaterSpec& r : g.repeaters) {
      group.repeaters.emplace_back(static_cast<std::uint8_t>(r.num), static_cast<std::uint8_t>(r.parent), r.serial);
    }
    for (const RemoteUnitSpec& u : g.remoteUnits) group.remoteUnits.push_back(RemoteRecord(u));
    image.groups.push_back(std::move(group));
  }
  std::vector<std::uint8_t> bytes = image.ToBytes();
  return std::string(bytes.begin(), bytes.end());
}

bool IsCompleteRegistration(const std::string& image) {
  com::vantor::RegInfoReader reader;
  reader.Append(std::span(reinterpret_cast<const std::uint8_t*>(image.data()), image.size()));
  return reader.Run() == com::vantor::RegInfoStep::kComplete && reader.Consumed() == image.size();
}

}  // namespace linkmeter::sim
