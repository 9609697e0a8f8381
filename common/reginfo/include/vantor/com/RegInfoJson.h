#pragma once
// Registration information between its byte form and the JSON object the
// page works with: {"groups": [...], "serial": "%08X"}.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "lm/Json.h"
#include "vantor/com/RegInfoError.h"
#include "vantor/com/RegInfoImage.h"

namespace com::vantor {

// nullopt when the bytes are not a complete registration image (a record of a
// wrong type or length, or bytes missing). Bytes after the image are ignored.
std::optional<lm::json::Value> RegInfoBytesToJson(std::span<const uint8_t> bytes);
// The JSON form of records already read (by RegInfoReader).
lm::json::Value RegInfoImageToJson(const RegInfoImage& image);

// The same form made while the records arrive: Take() converts the remote
// units read since it was last called, so the work falls in the pauses
// between blocks; Finish() adds the rest and gives the whole form. The image
// only grows between the calls (a reader's image).
class RegInfoJsonBuilder {
 public:
  void Take(const RegInfoImage& image);
  lm::json::Value Finish(const RegInfoImage& image);

 private:
  std::vector<lm::json::Array> units_;  // per group, the units converted so far
};

// JSON to records and to bytes; the first bad member stops the conversion
// with its number and `out` is left unchanged.
RegInfoError RegInfoJsonToImage(const lm::json::Value& json, RegInfoImage& out);
RegInfoError RegInfoJsonToBytes(const lm::json::Value& json, std::vector<uint8_t>& out);

// One remote unit both ways (the record's model decides the members).
lm::json::Object RemoteUnitToJson(const RegInfoVelaRemoteUnit& unit);
RegInfoError RemoteUnitFromJson(const lm::json::Value& json, std::optional<RegInfoVelaRemoteUnit>& out);

}  // namespace com::vantor
