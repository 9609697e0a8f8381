// Every settings block against the simulator: each key a write takes comes
// back unchanged from the matching read; the refused model; fields that do
// not decode.

#include <gtest/gtest.h>

#include "ComSimRig.h"
#include "lm/Text.h"
#include "vantor/com/CommandCatalogue.h"

using namespace comsim;

namespace {

namespace cat = com::vantor::catalogue;

lm::json::Object Call(ComSimRig& rig, const std::string& mnemonic, const lm::json::Object& more,
                      const std::string& comInfo) {
  lm::json::Object args = more;
  args["comInfo"] = *lm::json::Parse(comInfo);
  auto answer = rig.Query("jsquery:ComTcmd" + mnemonic + " " + lm::json::ToText(lm::json::Value(args)));
  EXPECT_TRUE(answer.success) << mnemonic << ": " << answer.text;
  return answer.success ? Obj(answer) : lm::json::Object{};
}

// Text of `bytes` bytes in the code page, a two-byte character first.
std::string TextOf(std::size_t bytes) {
  std::string out = bytes >= 2 ? "温" : "";
  for (std::size_t n = bytes >= 2 ? 2 : 0; n < bytes; ++n) out += static_cast<char>('a' + n % 26);
  return out;
}

// A value the key accepts, away from the factory settings where it can be.
lm::json::Value Sample(const cat::ArgDef& def) {
  const cat::Check& c = def.check;
  const bool bounded = c.hi != cat::Check::kNoLimit;
  switch (def.reader) {
    case cat::Reader::kInteger: return lm::json::Number(static_cast<double>(bounded ? c.hi : c.lo + 1000));
    case cat::Reader::kText: return lm::json::String(TextOf(std::max<std::int64_t>(c.lo, std::min<std::int64_t>(c.hi, 12))));
    case cat::Reader::kBytes: {
      lm::json::Array bytes;
      for (std::int64_t i = 0; i < std::max<std::int64_t>(c.lo, std::min<std::int64_t>(c.hi, 20)); ++i) {
        bytes.emplace_back(static_cast<double>((i * 53 + 200) % 256));
      }
      return lm::json::Value(std::move(bytes));
    }
    case cat::Reader::kObject: {
      lm::json::Object members;
      for (const cat::PackedMember& m : cat::PackedMembers(def.packing)) {
        members[std::string(m.name)] = lm::json::Number(static_cast<double>(m.hi));
      }
      return lm::json::Value(std::move(members));
    }
  }
  return {};
}

TEST(SettingsBlocksSim, EveryReadReturnsWhatItsWriteSent) {
  ComSimRig rig;
  int blocks = 0;
  for (const cat::CommandRow& write : cat::kCatalogue) {
    const cat::CommandRow* read = cat::FindRow("R" + std::string(write.name.substr(1)));
    if (write.name[0] != 'W' || !read || !write.conversation.empty()) continue;
    SCOPED_TRACE(std::string(write.name));
    ++blocks;
    lm::json::Object args;
    for (const cat::ArgDef& def : write.args) args[std::string(def.key)] = Sample(def);
    auto written = Call(rig, std::string(write.name), args, rig.UsbComInfo());
    EXPECT_TRUE(written["isSuccess"].get<bool>()) << lm::json::ToText(lm::json::Value(written));
    auto after = Call(rig, std::string(read->name), {}, rig.UsbComInfo());
    EXPECT_TRUE(after["isSuccess"].get<bool>());
    EXPECT_FALSE(after.count("undecoded"));
    for (const auto& [key, value] : args) {
      ASSERT_TRUE(after.count(key)) << key;
      EXPECT_EQ(lm::json::ToText(after[key]), lm::json::ToText(value)) << key;
    }
  }
  EXPECT_EQ(blocks, 11);
}

TEST(SettingsBlocksSim, OnlyTheGivenKeysChangeAndEventsComeBackAsObjects) {
  ComSimRig rig;
  const std::string usb = rig.UsbComInfo();
  auto before = Call(rig, "RSUCP", {}, usb);
  EXPECT_EQ(lm::json::ToText(before["EVT3"]), R"({"enable":0,"hour":0,"minute":0,"week":0})");
  auto args = lm::json::Parse(R"({"EVT3":{"enable":1,"week":3,"hour":7,"minute":5},"SBJ":"日報"})");
  Call(rig, "WSUCP", args->get<lm::json::Object>(), usb);
  auto sent = rig.Received(kUsbUnit, "WSUCP");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].fields, (com::vantor::FieldMap{{"EVT3", "130705"}, {"SBJ", lm::text::Utf8ToAnsi("日報")}}));
  auto after = Call(rig, "RSUCP", {}, usb);
  EXPECT_EQ(lm::json::ToText(after["EVT3"]), R"({"enable":1,"hour":7,"minute":5,"week":3})");
  EXPECT_EQ(after["SBJ"].get<std::string>(), "日報");
  for (const char* kept : {"ENABLE", "ATTACH", "EVT0", "EVT8"}) {
    EXPECT_EQ(lm::json::ToText(after[kept]), lm::json::ToText(before[kept])) << kept;
  }
}

TEST(SettingsBlocksSim, RadioIdentityIsWrittenOnlyToModel77) {
  ComSimRig rig;
  const std::string lan = rig.LanComInfo();  // model 78
  auto refused = rig.Query("jsquery:ComTcmdWRUST {\"comInfo\":" + lan + ",\"NUM\":5}");
  EXPECT_FALSE(refused.success);
  EXPECT_EQ(refused.text, R"({"code1":0,"msg":"Invalid arguments : このAPIは指定したcomInfo(VL-BB)に対応していません。"})");
  EXPECT_TRUE(rig.Received(kLanUnit, "WRUST").empty());
  // Reading it is not restricted; the USB unit (model 77) takes the write.
  EXPECT_TRUE(Call(rig, "RRUST", {}, lan)["isSuccess"].get<bool>());
  auto written = Call(rig, "WRUST", lm::json::Parse(R"({"NUM":5})")->get<lm::json::Object>(), rig.UsbComInfo());
  EXPECT_TRUE(written["isSuccess"].get<bool>());
}

TEST(SettingsBlocksSim, FieldsThatDoNotDecodeKeepTheRestOfTheAnswer) {
  ComSimRig rig;
  {
    auto* unit = rig.Sim().Unit(kUsbUnit);
    std::lock_guard lock(unit->mutex);
    unit->blocks["RCURP"]["SBJ"] = "A\x89\xB7\xFF" "B\x82";  // 温 between bytes that are no character
    unit->blocks["RSUCP"]["EVT5"] = "1x0705";
    unit->blocks["RSUCP"]["EVT6"] = "13070";
  }
  auto curp = Call(rig, "RCURP", {}, rig.UsbComInfo());
  EXPECT_TRUE(curp["isSuccess"].get<bool>());
  EXPECT_EQ(curp["SBJ"].get<std::string>(), "A温\xEF\xBF\xBD" "B\xEF\xBF\xBD");
  EXPECT_EQ(lm::json::ToText(curp["undecoded"]), R"({"SBJ":[65,137,183,255,66,130]})");
  EXPECT_EQ(curp["INT"].get<double>(), 60);
  EXPECT_EQ(curp["FNAME"].get<std::string>(), "cur");

  auto sucp = Call(rig, "RSUCP", {}, rig.UsbComInfo());
  EXPECT_FALSE(sucp.count("EVT5"));
  EXPECT_FALSE(sucp.count("EVT6"));
  EXPECT_EQ(lm::json::ToText(sucp["undecoded"]), R"({"EVT5":[49,120,48,55,48,53],"EVT6":[49,51,48,55,48]})");
  EXPECT_TRUE(sucp["EVT4"].is<lm::json::Object>());
}

}  // namespace
