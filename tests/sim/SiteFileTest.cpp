// The site file: the demo covers what the program must be shown, and
// mistakes are reported by the path of the member at fault.

#include <gtest/gtest.h>

#include <set>

#include "linkmeter/sim/SiteFile.h"

namespace {

using linkmeter::sim::ModelCode;
using linkmeter::sim::ParseSite;

TEST(SiteFile, DemoSiteHasEveryModelWithARecordViewAndOneWithout) {
  linkmeter::sim::SiteSpec site = linkmeter::sim::DemoSite();
  std::set<int> baseModels, remoteModels, subtypes, channels;
  bool usb = false, lan = false, chain = false;
  for (const auto& b : site.baseUnits) {
    baseModels.insert(ModelCode(b.serial));
    (b.usb ? usb : lan) = true;
    for (const auto& g : b.groups) {
      channels.insert(g.freq);
      for (const auto& r : g.repeaters) chain = chain || r.parent != 0;
      for (const auto& u : g.remoteUnits) {
        remoteModels.insert(ModelCode(u.serial));
        if (u.subtype) subtypes.insert(u.subtype);
      }
    }
    if (b.optical) subtypes.insert(b.optical->subtype);
  }
  EXPECT_TRUE(usb && lan && chain);
  EXPECT_EQ(baseModels, (std::set<int>{77, 78}));
  EXPECT_GE(channels.size(), 2u);
  EXPECT_EQ(remoteModels, (std::set<int>{62, 63, 92, 93, 94, 96, 97, 98, 99}));
  EXPECT_EQ(subtypes, (std::set<int>{161, 162, 163, 164, 165}));
}

TEST(SiteFile, MistakesNameTheMemberAtFault) {
  struct Case {
    const char* json;
    const char* expected;
  } cases[] = {
      {R"({"baseUnits":[{"serial":"XYZ","usb":true}]})", "baseUnits[0].serial"},
      {R"({"baseUnits":[{"serial":"009A0001"}]})", "baseUnits[0].lan"},
      {R"({"baseUnits":[{"serial":"009A0001","usb":true,"groups":[{"id":[1,2,3]}]}]})", "baseUnits[0].groups[0].id"},
      {R"({"baseUnits":[{"serial":"009A0001","usb":true,"faults":[{"kind":"explode"}]}]})",
       "baseUnits[0].faults[0].kind"},
      {R"({"baseUnits":[]})", "baseUnits"},
      {R"({"baseUnits":[{"serial":"009A0001","usb":true,"groups":[{"id":[1,2,3,4,5,6,7,8],
          "remoteUnits":[{"serial":"00B80001","chTypes":[13,13,13]}]}]}]})",
       "baseUnits[0].groups[0].remoteUnits[0].chTypes"},
      {"{not json", "not valid JSON"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseSite(c.json, &error)) << c.json;
    EXPECT_NE(error.find(c.expected), std::string::npos) << error;
  }
}

TEST(SiteFile, DefaultsFillWhatASmallSiteLeavesOut) {
  std::string error;
  auto site = ParseSite(R"({"baseUnits":[{"serial":"9C0001","lan":{"password":"pw"},
      "groups":[{"id":[1,2,3,4,5,6,7,8],"freq":3,"remoteUnits":[{"serial":"BC0001"}]}]}]})",
                        &error);
  ASSERT_TRUE(site) << error;
  const auto& unit = site->baseUnits[0];
  EXPECT_EQ(unit.lanAddress, "127.0.0.1");
  EXPECT_EQ(unit.lanPort, 0);
  EXPECT_EQ(unit.groups[0].remoteUnits[0].chTypes, (std::vector<int>{13, 208}));  // two-channel model
  EXPECT_FALSE(site->udp.enabled);
}

TEST(SiteFile, FaultRulesParseAlone) {
  std::string error;
  auto rule = linkmeter::sim::ParseFaultRule(R"({"command":"RDTIM","kind":"busy","times":2})", &error);
  ASSERT_TRUE(rule) << error;
  EXPECT_EQ(rule->kind, linkmeter::sim::FaultKind::kBusy);
  EXPECT_EQ(rule->times, 2);
  EXPECT_FALSE(linkmeter::sim::ParseFaultRule(R"({"kind":"status","status":"4-1"})", &error));
  auto field = linkmeter::sim::ParseFaultRule(R"({"command":"VLB1","kind":"field","field":"DATA","value":"abc"})", &error);
  ASSERT_TRUE(field) << error;
  EXPECT_EQ(field->field, "DATA");
  EXPECT_EQ(field->value, "abc");
  EXPECT_FALSE(linkmeter::sim::ParseFaultRule(R"({"kind":"field","value":"x"})", &error));
  auto corrupt = linkmeter::sim::ParseFaultRule(R"({"command":"RSETF","kind":"corrupt","at":18})", &error);
  ASSERT_TRUE(corrupt) << error;
  EXPECT_EQ(corrupt->field, "DATA");  // the field a corrupt fault changes unless told
  EXPECT_EQ(corrupt->at, 18);
  EXPECT_FALSE(linkmeter::sim::ParseFaultRule(R"({"kind":"corrupt","at":-1})", &error));
  auto withhold = linkmeter::sim::ParseFaultRule(R"({"command":"ETRND","kind":"withhold","times":1})", &error);
  ASSERT_TRUE(withhold) << error;
  EXPECT_EQ(withhold->kind, linkmeter::sim::FaultKind::kWithhold);
}

}  // namespace
