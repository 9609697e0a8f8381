// The streaming reader as blocks arrive, the fixed byte positions and model
// names, and the settings-record views.
#include <gtest/gtest.h>

#include "RegInfoTestData.h"
#include "vantor/com/AdapterVLRD.h"
#include "vantor/com/AdapterVLRH.h"
#include "vantor/com/RecordedDataHeader.h"
#include "vantor/com/RegInfoJson.h"
#include "vantor/com/RegInfoModel.h"
#include "vantor/com/RegInfoReader.h"
#include "vantor/com/SettingsReadBack.h"

namespace com::vantor {
namespace {

using lm::json::Object;

std::vector<uint8_t> SampleImage() {
  using namespace testdata;
  std::vector<uint8_t> bytes;
  auto json = Parse(Image(Vlra("VL-RA", "00B80001", false) + "," + Vlrf() + "," + Vlrh()));
  EXPECT_EQ(RegInfoJsonToBytes(json, bytes).code, 0);
  return bytes;
}

TEST(RegInfoReader, ByteByByteNeedsMoreUntilTheLastRecordThenCompletes) {
  auto bytes = SampleImage();
  ASSERT_EQ(bytes.size(), 16u + 32 + 16 + 3 * 64);
  RegInfoReader reader;
  for (size_t i = 0; i < bytes.size(); ++i) {
    reader.Append(std::span(bytes).subspan(i, 1));
    RegInfoStep step = reader.Run();
    ASSERT_EQ(step, i + 1 < bytes.size() ? RegInfoStep::kNeedMore : RegInfoStep::kComplete) << i;
  }
  EXPECT_EQ(reader.Consumed(), bytes.size());
  ASSERT_EQ(reader.Image().groups.size(), 1u);
  EXPECT_EQ(reader.Image().groups[0].remoteUnits.size(), 3u);
  EXPECT_EQ(lm::json::ToText(RegInfoImageToJson(reader.Image())), lm::json::ToText(*RegInfoBytesToJson(bytes)));
}

TEST(RegInfoReader, StepsReportEachRecord) {
  auto bytes = SampleImage();
  RegInfoReader reader;
  reader.Append(bytes);
  int continues = 0;
  RegInfoStep step;
  while ((step = reader.Step()) == RegInfoStep::kContinue) ++continues;
  EXPECT_EQ(step, RegInfoStep::kComplete);
  EXPECT_EQ(continues, 1 + 1 + 1 + 1 + 3 + 1);  // header, group, repeater, state change, units, next group
  EXPECT_EQ(reader.Step(), RegInfoStep::kComplete);
}

TEST(RegInfoReader, WrongTypesAndLengthsAreErrors) {
  auto good = SampleImage();
  struct Damage {
    size_t offset;
    uint8_t value;
  };
  // header type, header length, group type, group length 0 (would never
  // advance), repeater type, unit type, unit length 100
  for (Damage d : {Damage{2, 0xFC}, Damage{0, 17}, Damage{18, 0xFD}, Damage{16, 0}, Damage{50, 0xFE},
                   Damage{66, 0xFB}, Damage{64, 100}}) {
    auto bytes = good;
    bytes[d.offset] = d.value;
    RegInfoReader reader;
    reader.Append(bytes);
    EXPECT_EQ(reader.Run(), RegInfoStep::kError) << d.offset;
    EXPECT_EQ(reader.Step(), RegInfoStep::kError);
    EXPECT_FALSE(RegInfoBytesToJson(bytes)) << d.offset;
  }
  EXPECT_FALSE(RegInfoBytesToJson(std::span(good).first(good.size() - 1)));  // truncated
}

TEST(RegInfoReader, AllZeroHeaderIsAnEmptyRegistration) {
  std::vector<uint8_t> zeros(16, 0);
  auto json = RegInfoBytesToJson(zeros);
  ASSERT_TRUE(json);
  EXPECT_EQ(lm::json::ToText(*json), R"({"groups":[],"serial":"00000000"})");
}

TEST(RegInfoReader, LongRemoteUnitRecordsAreRead) {
  auto bytes = SampleImage();
  // Grow the last unit (VL-RH) to 128 bytes.
  bytes[bytes.size() - 64] = 128;
  bytes.resize(bytes.size() + 64, 0);
  auto json = RegInfoBytesToJson(bytes);
  ASSERT_TRUE(json);
  const auto& units = json->get<Object>().at("groups").get<lm::json::Array>()[0].get<Object>().at("remoteUnits");
  EXPECT_EQ(units.get<lm::json::Array>()[2].get<Object>().at("model").get<std::string>(), "VL-RH");
}

TEST(RegInfoModel, CodesAndNames) {
  EXPECT_EQ(ModelCodeOf(12058625), 92);
  EXPECT_EQ(ModelName(0xB80001), "VL-RA");
  uint32_t vlrd = 97u << 17;
  EXPECT_EQ(ModelName(vlrd, 163), "VL-RD-mA");
  EXPECT_EQ(ModelName(vlrd, 165), "VL-RD-P");
  EXPECT_EQ(ModelName(vlrd, 0), "VL-RD");
  EXPECT_EQ(ModelName(94u << 17, 163), "VL-RC");  // the subtype refines VL-RD only
  EXPECT_EQ(ModelName(100u << 17), "UNKOWN");
  EXPECT_EQ(ModelCodeOfName("VL-RD-Pt"), 97);
  EXPECT_FALSE(ModelCodeOfName("UNKOWN"));
  EXPECT_EQ(ParseSerialText("b80001"), 0xB80001u);
  EXPECT_FALSE(ParseSerialText(""));
  EXPECT_FALSE(ParseSerialText("0x1"));
}

TEST(RegInfoLayout, ModelWithoutViewHasOnlyFourMembers) {
  RegInfoVelaRemoteUnit unit(0xFE);
  AdapterBaseW w(unit.MutableBytes());
  w.SetU32(6, 62u << 17 | 5);
  w.SetU8(3, 7);
  w.SetU8(4, 2);
  w.SetText(16, 8, "ignored");
  EXPECT_EQ(lm::json::ToText(lm::json::Value(RemoteUnitToJson(unit))),
            R"({"model":"VL-RJ","num":7,"parent":2,"serial":"007C0005"})");
}

TEST(RegInfoLayout, FixedPositionsOfVlraAndVlrg) {
  using namespace testdata;
  std::vector<uint8_t> bytes;
  ASSERT_EQ(RegInfoJsonToBytes(Parse(Image(Vlra("VL-RE", "00C60004", true) + "," + Vlrg())), bytes).code, 0);
  AdapterBaseR ra(std::span<const uint8_t>(bytes).subspan(64, 64));
  EXPECT_EQ(ra.U16(0), 64);
  EXPECT_EQ(ra.U8(3), 3);            // num
  EXPECT_EQ(ra.U8(5), 0b101);        // warning, downloading
  EXPECT_EQ(ra.U32(6), 0x00C60004u);
  EXPECT_EQ(ra.U8(10), 7);           // record.interval
  EXPECT_EQ(ra.U8(12), 13);
  EXPECT_EQ(ra.U8(13), 208);
  EXPECT_EQ(ra.U8(14), 0);           // 30 s
  EXPECT_EQ(ra.U8(15), 10);          // 600 s
  EXPECT_EQ(ra.Text(16, 8), "Room1");
  EXPECT_EQ(ra.U16(24), 900);
  EXPECT_EQ(ra.U16(30), 1900);
  EXPECT_EQ(ra.U8(32), 0b1001);
  EXPECT_EQ(ra.U8(33), 2);           // 120 s
  EXPECT_EQ(ra.U8(34), 0x80);
  AdapterBaseR rg(std::span<const uint8_t>(bytes).subspan(128, 64));
  EXPECT_EQ(rg.Text(12, 8), "\x89\xb7\x93\x78");  // name in the device code page
  EXPECT_EQ(rg.U8(20), 13);
  EXPECT_EQ(rg.U8(22), 208);
  EXPECT_EQ(rg.U8(23), 66);
  EXPECT_EQ(rg.U8(24), 0);
  EXPECT_EQ(rg.U8(26), 2);
  EXPECT_EQ(rg.U8(27), 3);
  EXPECT_EQ(rg.U8(44), 0b01100011);  // ch1 both, ch2 upper (bit 5), ch3 lower (bit 6)
  EXPECT_EQ(rg.U8(59), 0b010);
}

TEST(RegInfoLayout, IntervalBytesReadAsSeconds) {
  RegInfoVelaRemoteUnit unit(0xFE);
  AdapterBaseW w(unit.MutableBytes());
  w.SetU32(6, 0xB80001);
  auto json = RemoteUnitToJson(unit);
  EXPECT_EQ(json["monitorInterval"].get<double>(), 30);
  EXPECT_EQ(json["ch1"].get<Object>()["judgeTime"].get<double>(), 30);
  w.SetU32(6, 97u << 17);
  w.SetU8(33, 0x80 | 45);
  EXPECT_EQ(RemoteUnitToJson(unit)["monitorInterval"].get<double>(), 45);
  w.SetU8(33, 3);
  EXPECT_EQ(RemoteUnitToJson(unit)["monitorInterval"].get<double>(), 180);
}

TEST(SettingsViews, IntervalEncodingsOfVlraAndVlrd) {
  std::vector<uint8_t> record(64, 0);
  AdapterVLRASend ra(record);
  ASSERT_TRUE(ra.IsValid());
  EXPECT_EQ(ra.RecordingInterval(), 30);  // byte 0
  EXPECT_TRUE(ra.SetRecordingInterval(600));
  EXPECT_EQ(record[18], 10);
  EXPECT_FALSE(ra.SetSecondInterval(90));  // no whole minutes: refused, byte untouched
  EXPECT_EQ(record[19], 0);
  AdapterVLRDSend rd(record);
  EXPECT_TRUE(rd.SetRecordingInterval(90));
  EXPECT_EQ(record[18], 0xDA);
  EXPECT_TRUE(rd.SetRecordingInterval(120));
  EXPECT_EQ(record[18], 2);
  EXPECT_TRUE(rd.SetSecondInterval(120));
  EXPECT_EQ(record[19], 0x80 | 120);
  EXPECT_TRUE(rd.SetSecondInterval(180));
  EXPECT_EQ(record[19], 3);
  EXPECT_FALSE(rd.SetSecondInterval(150));
  EXPECT_FALSE(rd.SetRecordingInterval(128 * 60));
  EXPECT_EQ(AdapterVLRDRecv(record).SecondInterval(), 180);
  record[19] = 0;
  EXPECT_EQ(AdapterVLRDRecv(record).SecondInterval(), 30);
  std::vector<uint8_t> shortRecord(63, 0);
  EXPECT_FALSE(AdapterVLRASend(shortRecord).IsValid());
  EXPECT_FALSE(AdapterVLRARecv(shortRecord).IsValid());
}

TEST(SettingsViews, ReadBackComparesByte16OnlyForThermocoupleAndPlatinum) {
  std::vector<uint8_t> written(64, 0), readBack(64, 0);
  AdapterVLRASend w(written);
  w.SetReadBackRequested(true);
  EXPECT_EQ(written[31], static_cast<uint8_t>(~0x10));
  EXPECT_TRUE(w.FlagsIntact());
  w.SetCompareByte(5);
  AdapterBaseW r(readBack);
  r.SetU32(36, 97u << 17);
  r.SetU8(62, 163);
  EXPECT_TRUE(SettingsReadBackMatches(written, readBack));  // mA: byte 16 not compared
  r.SetU8(62, 161);
  EXPECT_FALSE(SettingsReadBackMatches(written, readBack));
  r.SetU8(16, 5);
  EXPECT_TRUE(SettingsReadBackMatches(written, readBack));
  r.SetU8(16, 6);
  w.SetReadBackRequested(false);
  EXPECT_TRUE(SettingsReadBackMatches(written, readBack));
  EXPECT_FALSE(SettingsReadBackMatches(written, std::span(readBack).first(40)));
  EXPECT_EQ(AdapterVLRHRecv(readBack).ModelCode(), 97);
}

TEST(SettingsViews, RecordedDataHeaderFields) {
  std::vector<uint8_t> bytes(64, 0);
  AdapterBaseW w(bytes);
  w.SetU16(0, 600);
  w.SetU32(2, 1700000000);
  w.SetU32(12, 42);
  w.SetU16(32, 32000);
  w.SetU32(36, 92u << 17);
  w.SetU8(42, 13);
  w.SetU8(43, 208);
  RecordedDataHeader h(bytes);
  EXPECT_TRUE(h.IsValid());
  EXPECT_EQ(h.Interval(), 600);
  EXPECT_EQ(h.StartTime(), 1700000000u);
  EXPECT_EQ(h.Age(), 42u);
  EXPECT_EQ(h.StoredBytes(), 32000);
  EXPECT_EQ(h.ModelCode(), 92);
  EXPECT_EQ(h.RecordWidth(), 4);
  w.SetU8(43, 0);
  EXPECT_EQ(h.RecordWidth(), 2);
  w.SetU8(42, 0x4D);  // 77: 16-bit pulse
  EXPECT_EQ(h.RecordWidth(), 2);
  EXPECT_EQ(RecordedDataHeader(std::span(bytes).first(10)).StoredBytes(), 0);  // short header reads 0
}

}  // namespace
}  // namespace com::vantor
