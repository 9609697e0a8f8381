// Feeds arbitrary bytes to the streaming reader in arbitrary blocks and to
// bytes -> JSON. Whatever reads as a registration must write back, and the
// written form must be a fixed point of read-then-write.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoReader.h"

using namespace com::vantor;

namespace {

RegInfoStep ReadInBlocks(std::span<const uint8_t> data, size_t block) {
  RegInfoReader reader;
  RegInfoStep step = RegInfoStep::kNeedMore;
  for (size_t at = 0; at < data.size() && step == RegInfoStep::kNeedMore; at += block) {
    reader.Append(data.subspan(at, std::min(block, data.size() - at)));
    step = reader.Run();
  }
  if (step == RegInfoStep::kComplete) (void)RegInfoImageToJson(reader.Image());
  return step;
}

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte chooses the block size the rest arrives in.
  std::span<const uint8_t> image(data + 1, size - 1);
  RegInfoStep step = ReadInBlocks(image, data[0] % 97 + 1);
  auto json = RegInfoBytesToJson(image);
  Check(json.has_value() == (step == RegInfoStep::kComplete));
  if (!json) return 0;
  std::vector<uint8_t> bytes;
  Check(!RegInfoJsonToBytes(*json, bytes));
  auto again = RegInfoBytesToJson(bytes);
  Check(again.has_value());
  std::vector<uint8_t> bytesAgain;
  Check(!RegInfoJsonToBytes(*again, bytesAgain));
  Check(bytesAgain == bytes);
  return 0;
}
