// The simulated base unit's settings blocks come from the catalogue: a
// write accepts exactly the fields the catalogue row sends, and those are
// the sets the simulator kept by hand before.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>

#include "linkmeter/sim/SiteFile.h"
#include "linkmeter/sim/CommandTable.h"
#include "linkmeter/sim/UnitSession.h"
#include "vantor/com/CommandCatalogue.h"

namespace {

namespace cat = com::vantor::catalogue;
using com::vantor::FieldMap;
using com::vantor::TBody;
using Fields = std::set<std::string>;

std::set<std::string> Sent(std::string_view write) {
  const auto fields = cat::SentFields(*cat::FindRow(write));
  return {fields.begin(), fields.end()};
}

TEST(SettingsBlocks, SentFieldsAreTheSetsTheSimulatorListedByHand) {
  const std::map<std::string, Fields> before = {
      {"WCURP", {"ENABLE", "ROUTE", "INT", "SBJ", "TO1", "ATTACH", "DIR", "FNAME", "BIND"}},
      {"WENCD", {"MAIL", "FTP"}},
      {"WNETP", {"IP", "MASK", "GW", "DNS1", "DNS2", "DHCP", "PW"}},
      {"WNSRV", {"FTPSV", "FTPID", "FTPPW", "FTPPT", "PASV", "SMTPSV", "SMTPPT", "AUTHEN", "AUTHID", "AUTHPW",
                 "BEFORE", "POPSV", "POPID", "POPPW", "POPPT", "FROM", "DESCF", "SNTP1", "SNTP2", "SOCPT", "UDPPT",
                 "RESPT"}},
      {"WPRXY", {"FTPEN", "FTPIP", "FTPPT", "MAILEN", "MAILIP", "MAILPT", "HTTPEN", "HTTPIP", "HTTPPT"}},
      {"WRUST", {"ID", "NUM", "CH", "BAND"}},
      {"WSUCP", {"ENABLE", "ROUTE", "SBJ", "TO1", "ATTACH", "DIR", "FNAME", "EVT0", "EVT1", "EVT2", "EVT3", "EVT4",
                 "EVT5", "EVT6", "EVT7", "EVT8"}},
      {"WUINF", {"NAME", "DESC", "UNITS"}},
      {"WUSRD", {"DATA"}},
      {"WWARP", {"ENABLE", "ROUTE", "SBJ", "BODY", "TO1", "TO2", "TO3", "TO4", "INT", "FN1", "FN2", "FN3", "FN4",
                 "EXT"}},
      {"WWLAN", {"CH", "SSID", "SEC", "WEP", "PSK"}},
      {"WDTIM", {"DST", "FORM", "DIFF", "ZONE", "SYNC"}},
  };
  std::set<std::string> writes;
  for (const cat::SettingsBlock& b : cat::kSettingsBlocks) writes.insert(std::string(b.write));
  EXPECT_EQ(writes.size(), before.size());
  for (const auto& [write, fields] : before) {
    EXPECT_TRUE(writes.count(write)) << write;
    EXPECT_EQ(Sent(write), fields) << write;
  }
}

class SettingsWrites : public ::testing::Test {
 protected:
  SettingsWrites()
      : site(linkmeter::sim::DemoSite()),
        radio(site.radio, Now()),
        unit(site.baseUnits[1], Now()),
        session(unit, radio, commands, transcript) {}

  static std::int64_t Now() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
  }
  std::string Status(std::string_view name, const FieldMap& fields) {
    auto reply = session.Answer(*com::vantor::BuildFrame(std::string(name), fields));
    auto body = com::vantor::ParseFrame(reply.bytes);
    return body ? std::string(body->Find("STATUS").value_or("")) : "no answer";
  }

  linkmeter::sim::SiteSpec site;
  linkmeter::sim::RadioModel radio;
  linkmeter::sim::Transcript transcript;
  linkmeter::sim::UnitState unit;
  const linkmeter::sim::CommandTable commands = linkmeter::sim::CommandTable::WithEveryCommand();
  linkmeter::sim::UnitSession session;
};

// Every field a block stores is tried alone: the catalogue's sent fields
// are taken, every other stored field and an unknown one refused.
TEST_F(SettingsWrites, EachWriteAcceptsExactlyTheCataloguesSentFields) {
  for (const cat::SettingsBlock& b : cat::kSettingsBlocks) {
    const std::string ok(cat::FindRow(b.write)->success.Text());
    const Fields sent = Sent(b.write);
    Fields stored;
    for (const auto& [field, value] : unit.blocks[std::string(b.read)]) stored.insert(field);
    stored.insert("NOSUCH");
    for (const std::string& field : sent) {
      EXPECT_TRUE(stored.count(field)) << b.read << " does not store " << field;
      EXPECT_EQ(Status(b.write, {{field, unit.blocks[std::string(b.read)][field]}}), ok) << b.write << " " << field;
    }
    for (const std::string& field : stored) {
      if (sent.count(field)) continue;
      EXPECT_NE(Status(b.write, {{field, "1"}}), ok) << b.write << " took " << field;
    }
  }
}

}  // namespace
