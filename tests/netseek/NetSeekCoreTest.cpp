// The library's internals without a network: the datagram layout, the
// duplicate rule and how a parameter run judges its answer.

#include <gtest/gtest.h>

#include <cerrno>

#include "AnswerHandler.h"
#include "Datagram.h"
#include "ResultTable.h"
#include "RunLog.h"

namespace netseek {
namespace {

TEST(NetSeekDatagram, ParamDatagramPutsEveryFieldAtItsOffset) {
  UnitFields f;
  f.ipAddr = 0x04030201;  // bytes 01 02 03 04 in memory on this host
  f.value16 = 0x14131211;
  f.value20 = 0x24232221;
  f.value24 = 0x34333231;
  f.value28 = 0x44434241;
  f.mac = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5};
  f.setting = 0x77;
  f.port = 0xBEEF;
  for (std::size_t i = 0; i < f.block.size(); ++i) f.block[i] = static_cast<std::uint8_t>(i + 1);

  const Datagram d = MakeParamDatagram(f);
  Datagram expected{};
  const std::uint8_t head[] = {0x50, 0x01, 0x02, 0x00, 0x00, 0x77, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4,
                               0xA5, 0x01, 0x02, 0x03, 0x04, 0x11, 0x12, 0x13, 0x14, 0x21, 0x22,
                               0x23, 0x24, 0x31, 0x32, 0x33, 0x34, 0x41, 0x42, 0x43, 0x44, 0xEF,
                               0xBE};
  std::copy(std::begin(head), std::end(head), expected.begin());
  for (std::size_t i = 0; i < 64; ++i) expected[192 + i] = static_cast<std::uint8_t>(i + 1);
  EXPECT_EQ(d, expected);

  const UnitFields back = ReadFields(d);
  EXPECT_EQ(back.ipAddr, f.ipAddr);
  EXPECT_EQ(back.value28, f.value28);
  EXPECT_EQ(back.mac, f.mac);
  EXPECT_EQ(back.port, f.port);
  EXPECT_EQ(back.block, f.block);
}

TEST(NetSeekDatagram, HeaderCheckNeedsAllThreeBytes) {
  const Datagram search = MakeRequest(Command::kSearch);
  EXPECT_TRUE(HasHeader(search, Command::kSearch));
  EXPECT_FALSE(HasHeader(search, Command::kSetParam));
  EXPECT_FALSE(HasHeader(std::span(search.data(), 2), Command::kSearch));
  Datagram wrongVersion = search;
  wrongVersion[1] = 2;
  EXPECT_FALSE(HasHeader(wrongVersion, Command::kSearch));
}

Datagram Unit(std::uint8_t macLast, std::uint8_t ipLast, std::uint8_t nameByte = 'a') {
  Datagram d = MakeRequest(Command::kSearch);
  d[11] = macLast;
  d[15] = ipLast;
  d[42] = nameByte;
  return d;
}

TEST(NetSeekResultTable, KeepsTheFirstAnswerOfEachMacAndAddress) {
  ResultTable table;
  EXPECT_TRUE(table.Add(Unit(1, 1, 'a')));
  EXPECT_FALSE(table.Add(Unit(1, 1, 'b')));  // same unit, other name
  EXPECT_TRUE(table.Add(Unit(1, 2)));        // same MAC, other address
  EXPECT_TRUE(table.Add(Unit(2, 1)));        // other MAC, same address
  ASSERT_EQ(table.Size(), 3u);
  EXPECT_EQ((*table.At(0))[42], 'a');
  EXPECT_EQ(table.At(3), nullptr);

  table.Release();
  EXPECT_EQ(table.Size(), 0u);
  EXPECT_TRUE(table.Add(Unit(1, 1)));  // forgotten with the records
}

class ParamAnswerTest : public ::testing::Test {
 protected:
  Finish Judge(const Datagram& answer, std::size_t length = kDatagramSize) {
    return handler_.OnDatagram(5, std::span(answer.data(), length), "10.0.0.9");
  }
  ResultTable results_;
  RunLog log_;
  AnswerHandler handler_{Mode::kSetParam, results_, log_};
};

TEST_F(ParamAnswerTest, FirstAnswerDecidesTheRun) {
  Datagram accepted = MakeRequest(Command::kSetParam);
  EXPECT_EQ(Judge(accepted), kResultSuccess);

  Datagram refused = accepted;
  refused[3] = 2;
  EXPECT_EQ(Judge(refused), kResultBadAnswer);
  EXPECT_EQ(Judge(MakeRequest(Command::kSearch)), kResultBadAnswer);
  EXPECT_EQ(Judge(accepted, 200), kResultBadAnswer);
  EXPECT_EQ(handler_.OnReceiveError(5, ECONNREFUSED), kResultBadAnswer);
  EXPECT_EQ(results_.Size(), 0u);  // a parameter run never fills the table
}

TEST_F(ParamAnswerTest, WouldBlockIsLoggedButEndsNothing) {
  EXPECT_EQ(handler_.OnReceiveError(5, EAGAIN), std::nullopt);
  ASSERT_EQ(log_.Lines().size(), 1u);
  EXPECT_EQ(log_.Lines()[0], "No Blocking(nSd=5)[" + std::to_string(EAGAIN) + "]");
}

}  // namespace
}  // namespace netseek
