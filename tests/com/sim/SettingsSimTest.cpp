// Settings blocks against the simulator: a write changes what the matching
// read returns.

#include <gtest/gtest.h>

#include "ComSimRig.h"

using namespace comsim;

namespace {

lm::json::Object Call(ComSimRig& rig, const std::string& mnemonic, const std::string& more) {
  auto answer = rig.Query("jsquery:ComTcmd" + mnemonic + " {\"comInfo\":" + rig.UsbComInfo() + more + "}");
  EXPECT_TRUE(answer.success) << answer.text;
  return Obj(answer);
}

TEST(SettingsSim, UnitInformationReadsBackWhatWasWritten) {
  ComSimRig rig;
  auto before = Call(rig, "RUINF", "");
  ASSERT_TRUE(before["isSuccess"].get<bool>());
  EXPECT_EQ(before["SER"].get<std::string>(), "009A0011");  // the unit answers "9a0011"
  EXPECT_TRUE(before.count("FWV"));

  auto written = Call(rig, "WUINF", R"(,"NAME":"north yard","UNITS":1)");
  ASSERT_TRUE(written["isSuccess"].get<bool>());
  auto after = Call(rig, "RUINF", "");
  EXPECT_EQ(after["NAME"].get<std::string>(), "north yard");
  EXPECT_EQ(after["UNITS"].get<double>(), 1);
  // A key not given is left as it was.
  EXPECT_EQ(after["DESC"].get<std::string>(), before["DESC"].get<std::string>());
}

}  // namespace
