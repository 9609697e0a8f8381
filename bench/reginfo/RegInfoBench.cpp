// Registration images of a full site, 8 groups x 4 repeaters x 32 remote
// units of mixed models: bytes -> JSON -> bytes, and each half alone.
#include <benchmark/benchmark.h>

#include <array>
#include <vector>

#include "vantor/com/AdapterBase.h"
#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoVelaAdapter.h"

namespace {

using namespace com::vantor;

constexpr std::array<uint8_t, 8> kModelCodes = {92, 93, 94, 99, 97, 96, 98, 63};

// A remote unit whose every byte is one the view describes, so the image
// survives the round trip unchanged.
RegInfoVelaRemoteUnit MakeUnit(uint8_t code, uint8_t num) {
  const auto* view = RegInfoVelaAdapter::ForModelCode(code);
  RegInfoVelaRemoteUnit unit(view->RecordType());
  AdapterBaseW w(unit.MutableBytes());
  w.SetU8(3, num);
  w.SetU8(4, num % 4);
  w.SetU32(6, static_cast<uint32_t>(code) << 17 | num);
  w.SetU8(5, 0x04);  // bit 2 exists in every model
  w.SetText(view->NameOffset(), 8, "Unit" + std::to_string(num));
  for (const auto& f : view->Fields(code)) {
    if (f.kind == RegInfoFieldKind::kUInt && f.bits == 16) w.SetU16(f.offset, static_cast<uint16_t>(1000 + num));
    if (f.kind == RegInfoFieldKind::kMinutes) w.SetU8(f.offset, static_cast<uint8_t>(num % 10));
    if (f.kind == RegInfoFieldKind::kVlrdInterval) w.SetU8(f.offset, 0x80 | 45);
  }
  if (code == 97) w.SetU8(36, 163);  // VL-RD-mA
  return unit;
}

std::vector<uint8_t> SiteImage() {
  RegInfoImage image;
  image.serial = 80u << 17 | 1;
  for (uint8_t g = 0; g < 8; ++g) {
    RegInfoImage::Group group;
    group.group.SetFreq(g);
    group.group.SetName("Group" + std::to_string(g));
    for (uint8_t r = 1; r <= 4; ++r) group.repeaters.emplace_back(r, 0, 0x00A00000u | r);
    for (uint8_t u = 1; u <= 32; ++u) group.remoteUnits.push_back(MakeUnit(kModelCodes[u % kModelCodes.size()], u));
    image.groups.push_back(std::move(group));
  }
  return image.ToBytes();
}

void BM_BytesToJsonToBytes(benchmark::State& state) {
  const auto bytes = SiteImage();
  for (auto _ : state) {
    auto json = RegInfoBytesToJson(bytes);
    std::vector<uint8_t> out;
    RegInfoJsonToBytes(*json, out);
    if (out != bytes) state.SkipWithError("round trip changed the image");
    benchmark::DoNotOptimize(out);
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_BytesToJsonToBytes)->Unit(benchmark::kMicrosecond);

void BM_BytesToJson(benchmark::State& state) {
  const auto bytes = SiteImage();
  for (auto _ : state) benchmark::DoNotOptimize(RegInfoBytesToJson(bytes));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_BytesToJson)->Unit(benchmark::kMicrosecond);

void BM_JsonToBytes(benchmark::State& state) {
  const auto json = *RegInfoBytesToJson(SiteImage());
  for (auto _ : state) {
    std::vector<uint8_t> out;
    benchmark::DoNotOptimize(RegInfoJsonToBytes(json, out));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JsonToBytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
