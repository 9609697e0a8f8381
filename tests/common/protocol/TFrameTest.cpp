// The T frame codec and the stream reader.

#include <gtest/gtest.h>

#include "vantor/com/TFrame.h"
#include "vantor/com/TFrameReader.h"

namespace com::vantor {
namespace {

Bytes Hex(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

TEST(TFrame, EmptyCommandIsTwelveBytes) {
  EXPECT_EQ(*BuildFrame("EBSTS", {}), Hex({0x54, 0x32, 0x06, 0x00, 0x45, 0x42, 0x53, 0x54, 0x53, 0x3A, 0xBB, 0x01}));
}

TEST(TFrame, FieldsAreWrittenInByteOrderWithTwoByteLengths) {
  FieldMap fields{{"b", "xy"}, {"A", ""}, {"\xC0", "z"}};
  EXPECT_EQ(*BuildBody("N", fields), Bytes("N:A=\0\0b=\x02\0xy\xC0=\x01\0z", 17));
}

TEST(TFrame, EveryFormRoundTrips) {
  FieldMap fields{{"STATUS", "0004-0000"}, {"DATA", Bytes("\0\xFF\x10", 3)}};
  for (LengthForm form : {LengthForm::One, LengthForm::Two, LengthForm::Four, LengthForm::E}) {
    auto frame = BuildFrame("EWLEX", fields, form);
    ASSERT_TRUE(frame);
    EXPECT_EQ(ProbeFrame(*frame).length, frame->size());
    auto parsed = ParseFrame(*frame);
    ASSERT_TRUE(parsed) << static_cast<char>(form);
    EXPECT_EQ(parsed->name, "EWLEX");
    EXPECT_EQ(parsed->fields, fields);
  }
}

TEST(TFrame, ChecksumsWrapAtTheirWidth) {
  Bytes body = "X:" + Bytes(298, '\xFF');  // sum 76,676: wraps in one and two bytes, not in four
  std::uint32_t sum = ByteSum(body);
  EXPECT_EQ(sum, 'X' + ':' + 298u * 255u);
  Bytes two = *WrapBody(body, LengthForm::Two);
  EXPECT_EQ(two.substr(two.size() - 2), Hex({static_cast<int>(sum & 0xFF), static_cast<int>((sum >> 8) & 0xFF)}));
  Bytes four = *WrapBody(body, LengthForm::Four);
  EXPECT_EQ(four.substr(four.size() - 4), Hex({static_cast<int>(sum & 0xFF), static_cast<int>((sum >> 8) & 0xFF),
                                               static_cast<int>(sum >> 16), 0}));
  Bytes one = *WrapBody(body.substr(0, 255), LengthForm::One);
  EXPECT_EQ(static_cast<unsigned char>(one.back()), ByteSum(body.substr(0, 255)) & 0xFF);
  EXPECT_FALSE(WrapBody(body, LengthForm::One));  // 300 bytes do not fit a 1-byte length
  for (const Bytes& frame : {one, two, four}) EXPECT_TRUE(UnwrapFrame(frame));
}

TEST(TFrame, ValuesOf64KiBCannotBeFramed) {
  EXPECT_FALSE(BuildFrame("X", {{"D", Bytes(65536, 'a')}}));
  EXPECT_TRUE(BuildBody("X", {{"D", Bytes(65535, 'a')}}));
  EXPECT_FALSE(BuildFrame("X", {{"D", Bytes(65535, 'a')}}));  // the body then exceeds form "2"
}

TEST(TFrame, UnwrapRejectsDamage) {
  Bytes good = *BuildFrame("EBSTS", {{"STATUS", "0004-0000"}});
  EXPECT_TRUE(UnwrapFrame(good));
  Bytes badSum = good;
  badSum.back() ^= 1;
  EXPECT_FALSE(UnwrapFrame(badSum));
  EXPECT_FALSE(UnwrapFrame(good + "x"));                          // trailing byte
  EXPECT_FALSE(UnwrapFrame(good.substr(0, good.size() - 1)));     // short
  EXPECT_FALSE(UnwrapFrame("T2\0\0" + Bytes(1, 0)));              // body length 0 but one spare byte
  Bytes unknownForm = good;
  unknownForm[1] = '3';
  EXPECT_FALSE(UnwrapFrame(unknownForm));
  EXPECT_FALSE(UnwrapFrame("U" + good.substr(1)));
  EXPECT_FALSE(UnwrapFrame("T1"));
}

TEST(TFrame, FormEHasNoChecksum) {
  Bytes frame = *BuildFrame("A", {{"K", "v"}}, LengthForm::E);
  EXPECT_EQ(frame.size(), 2u + 4u + 7u);
  EXPECT_TRUE(ParseFrame(frame));
}

TEST(TFrame, BodyParsing) {
  EXPECT_EQ(ParseBody("NAME:")->name, "NAME");
  EXPECT_TRUE(ParseBody("NAME:")->fields.empty());
  EXPECT_FALSE(ParseBody("NAME"));                                  // no ":"
  EXPECT_FALSE(ParseBody("N:KEY"));                                 // key without "="
  EXPECT_FALSE(ParseBody(Bytes("N:K=\x01", 5)));                    // one length byte
  EXPECT_FALSE(ParseBody(Bytes("N:K=\x03\0ab", 8)));                // value past the end
  auto twice = ParseBody(Bytes("N:K=\x01\0aK=\x01\0b", 12));
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->fields.at("K"), "b");                            // last value wins
  auto colonInValue = ParseBody(Bytes("N:K=\x03\0:=:", 9));
  ASSERT_TRUE(colonInValue);
  EXPECT_EQ(*colonInValue->Find("K"), ":=:");
  EXPECT_FALSE(colonInValue->Find("Z"));
}

TEST(TFrameProbe, TellsHowLongAFrameIs) {
  Bytes frame = *BuildFrame("EBSTS", {});
  EXPECT_EQ(ProbeFrame("").state, FrameProbe::State::kNeedMore);
  EXPECT_EQ(ProbeFrame("T").state, FrameProbe::State::kNeedMore);
  EXPECT_EQ(ProbeFrame("T2\x06").length, 0u);
  EXPECT_EQ(ProbeFrame(frame.substr(0, 5)).length, 12u);
  EXPECT_EQ(ProbeFrame(frame.substr(0, 11)).state, FrameProbe::State::kNeedMore);
  EXPECT_EQ(ProbeFrame(frame + "T").state, FrameProbe::State::kComplete);
  EXPECT_EQ(ProbeFrame("X").state, FrameProbe::State::kInvalid);
  EXPECT_EQ(ProbeFrame("T9").state, FrameProbe::State::kInvalid);
  EXPECT_EQ(ProbeFrame("TE\xFF\xFF\xFF\xFF").length, 6 + std::uint64_t{0xFFFFFFFF});
}

TEST(TFrameReader, CutsFramesFromAStreamArrivingBytewise) {
  Bytes a = *BuildFrame("AAAAA", {{"X", "1"}});
  Bytes b = *BuildFrame("BBBBB", {}, LengthForm::E);
  TFrameReader reader;
  Bytes out;
  std::vector<Bytes> frames;
  for (char byte : a + b) {
    reader.Append(std::string_view(&byte, 1));
    while (reader.Next(65536, out) == TFrameReader::Status::kFrame) frames.push_back(out);
  }
  EXPECT_EQ(frames, (std::vector<Bytes>{a, b}));
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(TFrameReader, OversizeFrameIsDroppedWithoutBuffering) {
  Bytes big = *BuildFrame("BIG", {{"D", Bytes(1000, 'x')}});
  Bytes next = *BuildFrame("NEXT", {});
  TFrameReader reader;
  Bytes out;
  reader.Append(big.substr(0, 10));
  EXPECT_EQ(reader.Next(100, out), TFrameReader::Status::kOversize);
  EXPECT_EQ(reader.Buffered(), 0u);
  EXPECT_EQ(reader.PendingSkip(), big.size() - 10);
  reader.Append(big.substr(10) + next);
  EXPECT_EQ(reader.Next(100, out), TFrameReader::Status::kFrame);
  EXPECT_EQ(out, next);
}

TEST(TFrameReader, GarbageDropsTheBuffer) {
  TFrameReader reader;
  Bytes out;
  reader.Append("xT2");
  EXPECT_EQ(reader.Next(65536, out), TFrameReader::Status::kInvalid);
  EXPECT_EQ(reader.Buffered(), 0u);
  reader.Append("T");
  EXPECT_EQ(reader.Next(65536, out), TFrameReader::Status::kNeedMore);
}

TEST(TFrameReader, ClearKeepsDroppingTheRestOfAnOversizeFrame) {
  Bytes big = *BuildFrame("BIG", {{"D", Bytes(50, 'x')}});
  TFrameReader reader;
  Bytes out;
  reader.Append(big.substr(0, 6));
  EXPECT_EQ(reader.Next(10, out), TFrameReader::Status::kOversize);
  reader.Clear();
  reader.Append(big.substr(6));
  EXPECT_EQ(reader.Buffered(), 0u);
  reader.Reset();
  EXPECT_EQ(reader.PendingSkip(), 0u);
}

}  // namespace
}  // namespace com::vantor
