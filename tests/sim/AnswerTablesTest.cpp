// The answers of the simulated base units, asked through a session without
// sockets: stored state changing with writes, block transfers whose headers
// agree with their data, the registration image in the shared byte form.

#include <gtest/gtest.h>

#include <chrono>

#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/RecordedData.h"
#include "linkmeter/sim/SiteFile.h"
#include "linkmeter/sim/UnitSession.h"
#include "vantor/com/RegInfoJson.h"

namespace {

using com::vantor::FieldMap;
using com::vantor::TBody;
using linkmeter::sim::GetLe;
namespace header = linkmeter::sim::header;

std::int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

class AnswerTables : public ::testing::Test {
 protected:
  AnswerTables()
      : site(linkmeter::sim::DemoSite()),
        radio(site.radio, UnixNow()),
        usbUnit(site.baseUnits[0], UnixNow()),
        lanUnit(site.baseUnits[1], UnixNow()) {}

  TBody Ask(linkmeter::sim::UnitState& unit, const std::string& name, const FieldMap& fields = {}) {
    if (!sessions.count(&unit)) sessions.emplace(&unit, linkmeter::sim::UnitSession(unit, radio, commands, transcript));
    auto reply = sessions.at(&unit).Answer(*com::vantor::BuildFrame(name, fields));
    auto body = com::vantor::ParseFrame(reply.bytes);
    EXPECT_TRUE(body) << name;
    return body.value_or(TBody{});
  }
  static std::string Field(const TBody& b, const std::string& key) { return std::string(b.Find(key).value_or("")); }
  static std::string Status(const TBody& b) { return Field(b, "STATUS"); }

  linkmeter::sim::SiteSpec site;
  linkmeter::sim::RadioModel radio;
  linkmeter::sim::Transcript transcript;
  linkmeter::sim::UnitState usbUnit, lanUnit;
  const linkmeter::sim::CommandTable commands = linkmeter::sim::CommandTable::WithEveryCommand();
  std::map<linkmeter::sim::UnitState*, linkmeter::sim::UnitSession> sessions;
};

TEST_F(AnswerTables, EveryRegisteredMnemonicIsAnswered) {
  const char* mnemonics[] = {
      "EBSTS", "EINIT", "EIREG", "EIRSP", "EISCL", "EISER", "EISET", "EISOH", "EISUC", "EIWRS", "ELOGS", "ETLAN",
      "ETRND", "EWLEX", "EWLRU", "EWOLR", "EWOLW", "EWPLR", "EWPLW", "EWPSP", "EWPSR", "EWPSW", "EWPTM", "EWPWR",
      "EWPWW", "EWRSC", "EWRSP", "EWSTR", "EWSTW", "EWSUC", "KENSA", "RCURP", "RDTIM", "RENCD", "RNETP", "RNSRV",
      "RPRXY", "RRUST", "RSETF", "RSUCP", "RUINF", "RUSRD", "RWARP", "RWLAN", "WCURP", "WDTIM", "WENCD", "WNETP",
      "WNSRV", "WPRXY", "WRUST", "WSETF", "WSUCP", "WUINF", "WUSRD", "WWARP", "WWLAN", "VLB1"};
  for (const char* name : mnemonics) {
    EXPECT_NE(commands.Find(name), nullptr) << name;
  }
  EXPECT_EQ(Status(Ask(usbUnit, "QQQQQ")), "0009-0099");
}

// Each session answers from the table it was given: two tables in one
// process do not see each other's commands.
TEST_F(AnswerTables, ASessionAnswersFromItsOwnTable) {
  linkmeter::sim::CommandTable baseOnly;
  linkmeter::sim::AddBaseCommands(baseOnly);
  linkmeter::sim::UnitSession narrow(usbUnit, radio, baseOnly, transcript);
  auto ask = [](linkmeter::sim::UnitSession& session, const std::string& name) {
    return Status(com::vantor::ParseFrame(session.Answer(*com::vantor::BuildFrame(name, {})).bytes).value_or(TBody{}));
  };
  EXPECT_EQ(ask(narrow, "EBSTS"), Status(Ask(usbUnit, "EBSTS")));
  EXPECT_EQ(ask(narrow, "RNETP"), "0009-0099") << "not in this session's table";
  EXPECT_NE(Status(Ask(usbUnit, "RNETP")), "0009-0099") << "the full table still answers it";
}

TEST_F(AnswerTables, SettingsWritesChangeWhatReadsReturn) {
  EXPECT_EQ(Field(Ask(lanUnit, "RNETP"), "IP"), "192.168.1.10");
  EXPECT_EQ(Status(Ask(lanUnit, "WNETP", {{"IP", "10.0.0.7"}, {"DHCP", "1"}})), "0002-0000");
  TBody read = Ask(lanUnit, "RNETP");
  EXPECT_EQ(Field(read, "IP"), "10.0.0.7");
  EXPECT_EQ(Field(read, "DHCP"), "1");
  EXPECT_EQ(Field(read, "MASK"), "255.255.255.0") << "fields not written stay";

  EXPECT_EQ(Status(Ask(lanUnit, "WUINF", {{"FWV", "9.99"}})), "0002-0002") << "read-only fields refuse writes";
  EXPECT_EQ(Field(Ask(lanUnit, "RUINF"), "FWV"), "3.02");
  Ask(lanUnit, "WSUCP", {{"EVT2", "130705"}});
  EXPECT_EQ(Field(Ask(lanUnit, "RSUCP"), "EVT2"), "130705");
}

TEST_F(AnswerTables, ClockFollowsWdtimAndAnswersInTheUnitsZone) {
  std::int64_t ahead = UnixNow() + 3600;
  EXPECT_EQ(Status(Ask(usbUnit, "WDTIM", {{"UTC", std::to_string(ahead)}})), "0003-0000");
  TBody clock = Ask(usbUnit, "RDTIM");
  EXPECT_EQ(Status(clock), "0003-0000");
  std::time_t local = static_cast<std::time_t>(ahead + 540 * 60);
  std::tm tm{};
  gmtime_r(&local, &tm);
  char expected[16];
  std::strftime(expected, sizeof expected, "%Y%m%d%H", &tm);
  EXPECT_EQ(Field(clock, "DTIME").substr(0, 10), expected);
  EXPECT_EQ(Field(clock, "BIAS"), "540");
}

TEST_F(AnswerTables, RegistrationImageIsTheSharedByteForm) {
  auto json = com::vantor::RegInfoBytesToJson(
      std::span(reinterpret_cast<const std::uint8_t*>(lanUnit.registration.data()), lanUnit.registration.size()));
  ASSERT_TRUE(json);
  const auto& groups = json->get("groups").get<lm::json::Array>();
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups[0].get("name").get<std::string>(), "RIVER");
  const auto& units = groups[0].get("remoteUnits").get<lm::json::Array>();
  ASSERT_EQ(units.size(), 5u);
  EXPECT_EQ(units[0].get("model").get<std::string>(), "VL-RD-mA");
  EXPECT_EQ(units[0].get("name").get<std::string>(), "FLOW-MA");
  EXPECT_EQ(json->get("serial").get<std::string>(), "009C0021");
}

TEST_F(AnswerTables, RsetfReadsInBlocksAndSavedWsetfReplacesTheImage) {
  std::string image;
  for (int guard = 0; guard < 20; ++guard) {
    TBody b = Ask(lanUnit, "RSETF", {{"OFFSET", std::to_string(image.size())}, {"SIZE", "256"}});
    if (Status(b) == "0002-0001") break;
    ASSERT_EQ(Status(b), "0002-0000");
    image += Field(b, "DATA");
  }
  ASSERT_EQ(image, lanUnit.registration);

  // Rename the first group (bytes 16..23 of the record after the 16-byte header).
  std::string renamed = image;
  renamed.replace(16 + 16, 8, std::string("FLOOD\0\0\0", 8));
  Ask(lanUnit, "WSETF", {{"SAVE", "0"}});
  for (std::size_t at = 0; at < renamed.size(); at += 1024) {
    EXPECT_EQ(Status(Ask(lanUnit, "WSETF", {{"OFFSET", std::to_string(at)}, {"DATA", renamed.substr(at, 1024)}})),
              "0002-0000");
  }
  EXPECT_EQ(lanUnit.registration, image) << "nothing changes before the SAVE frame";
  EXPECT_EQ(Status(Ask(lanUnit, "WSETF", {{"SAVE", "1"}})), "0002-0000");
  TBody after = Ask(lanUnit, "RSETF", {{"OFFSET", "0"}, {"SIZE", "4096"}});
  EXPECT_EQ(Field(after, "DATA"), renamed);
  EXPECT_EQ(Field(after, "VER"), "2");

  // A saved write that is not a whole image is refused and changes nothing.
  Ask(lanUnit, "WSETF", {{"SAVE", "0"}});
  Ask(lanUnit, "WSETF", {{"OFFSET", "0"}, {"DATA", renamed.substr(0, 40)}});
  EXPECT_EQ(Status(Ask(lanUnit, "WSETF", {{"SAVE", "1"}})), "0002-0003");
  EXPECT_EQ(lanUnit.registration, renamed);
  EXPECT_EQ(Status(Ask(lanUnit, "WSETF", {{"OFFSET", "99999"}, {"DATA", "x"}})), "0002-0002");
}

TEST_F(AnswerTables, OpticalRecordsHeaderAgreesWithTheDataHandedOut) {
  TBody first = Ask(usbUnit, "EISUC", {{"MODE", "0"}, {"RANGE", "0"}});
  ASSERT_EQ(Status(first), "0005-0000");
  std::string h = Field(first, "DATA");
  ASSERT_EQ(h.size(), 64u);
  std::size_t size = std::stoul(Field(first, "SIZE"));
  std::string data;
  while (data.size() < size) {
    TBody block = Ask(usbUnit, "EISUC", {{"MODE", "9"}});
    ASSERT_EQ(Status(block), "0005-0000");
    ASSERT_FALSE(Field(block, "DATA").empty());
    data += Field(block, "DATA");
  }
  EXPECT_EQ(data.size(), size);

  const std::uint64_t interval = GetLe(h, header::kInterval, 2);
  const std::uint64_t stored = GetLe(h, header::kStoredBytes, 2);
  EXPECT_EQ(interval, 60u);
  EXPECT_EQ(GetLe(h, header::kSerial, 4), 0x00C20199u);
  EXPECT_EQ(static_cast<unsigned char>(h[header::kChType1]), 129);  // the mA logger
  EXPECT_EQ(static_cast<unsigned char>(h[header::kSubtype]), 163);
  EXPECT_EQ(stored, size) << "every stored record was handed out";
  EXPECT_EQ(stored % 2, 0u);
  std::int64_t last = static_cast<std::int64_t>(GetLe(h, header::kStartTime, 8) + (stored / 2 - 1) * interval);
  EXPECT_NEAR(static_cast<double>(UnixNow() - static_cast<std::int64_t>(GetLe(h, header::kAge, 4))),
              static_cast<double>(last), 2.0);

  // MODE 2 asks for the newest RANGE records; MODE 1 for those not read yet.
  EXPECT_EQ(Field(Ask(usbUnit, "EISUC", {{"MODE", "2"}, {"RANGE", "5"}}), "SIZE"), "10");
  EXPECT_EQ(Field(Ask(usbUnit, "EISUC", {{"MODE", "1"}}), "SIZE"), "0");
}

TEST_F(AnswerTables, EventLogComesInRecordsAndEndsWithAnEmptyBlock) {
  TBody first = Ask(lanUnit, "ELOGS", {{"MODE", "0"}, {"ACT", "0"}});
  std::string data = Field(first, "DATA");
  ASSERT_FALSE(data.empty());
  EXPECT_EQ(static_cast<unsigned char>(data[0]), 12 + std::string("Power on").size());
  EXPECT_EQ(data.substr(12, 8), "Power on");
  EXPECT_EQ(Field(Ask(lanUnit, "ELOGS", {{"ACT", "1"}}), "DATA"), "");
  EXPECT_EQ(Status(Ask(lanUnit, "ELOGS", {{"ACT", "1"}})), "0002-0002") << "nothing left to continue";
}

TEST_F(AnswerTables, ChannelLevelsShowInterferenceAndTheClosingMessage) {
  auto level = [&](int channel) {
    std::string msg = {1, 0x3E, 0, 2, 0, static_cast<char>(channel), 0};
    TBody b = Ask(usbUnit, "VLB1", {{"MODE", "0"}, {"TIME", "100"}, {"DATA", msg}});
    EXPECT_EQ(Status(b), "0004-0000");
    return static_cast<unsigned char>(Field(b, "DATA").at(5));
  };
  EXPECT_GT(level(20), level(5) + 30) << "channel 20 carries a neighbour's traffic";
  EXPECT_GT(level(12), level(5)) << "the unit's own group works on 12";
  std::string closing = {1, static_cast<char>(0xAF), 0, 2, 0, 0, 0};
  EXPECT_EQ(Status(Ask(usbUnit, "VLB1", {{"DATA", closing}})), "0004-0000");
  EXPECT_EQ(Status(Ask(usbUnit, "VLB1", {{"DATA", "short"}})), "0004-0004");
}

TEST_F(AnswerTables, OpticalLoggerReportsItselfAndReadsBackWrites) {
  TBody found = Ask(usbUnit, "EISET", {{"ACT", "1"}});
  ASSERT_EQ(Status(found), "0005-0000");
  std::string record = Field(found, "DATA");
  ASSERT_EQ(record.size(), 64u);
  EXPECT_EQ(GetLe(record, 36, 4), 0x00C20199u);
  EXPECT_EQ(static_cast<unsigned char>(record[62]), 163);

  std::string written = linkmeter::sim::DefaultSettingsRecord(*site.baseUnits[0].optical);
  written[16] = 42;
  EXPECT_EQ(Status(Ask(usbUnit, "EISET", {{"ACT", "0"}, {"DATA", written}})), "0005-0000");
  EXPECT_EQ(Field(Ask(usbUnit, "EISET", {{"ACT", "1"}, {"DATA", written}}), "DATA")[16], 42);
  EXPECT_EQ(Field(Ask(usbUnit, "EISER"), "SER"), "c20199");
  EXPECT_EQ(Status(Ask(lanUnit, "EISET", {{"ACT", "1"}})), "0005-0001") << "nothing lies on that port";
}

}  // namespace
