// The documentation package against the program's own registration, and
// the exported write checks against the catalogue's own check.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "linkmeter/Registration.h"
#include "linkmeter/apidoc/Outputs.h"
#include "lm/Json.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"
#include "vantor/com/CommandCatalogue.h"

namespace cat = com::vantor::catalogue;
using linkmeter::apidoc::FunctionDoc;

namespace {

Sorrel::cef::Manager& Registered() {
  static auto* devices = new Sorrel::Com::ComServices();
  static Sorrel::cef::Manager manager;
  static bool done = (linkmeter::RegisterPageFunctions(manager, *devices), true);
  (void)done;
  return manager;
}

// Script name -> kind of every function the page can call.
std::map<std::string, std::string> PageFunctions() {
  std::map<std::string, std::string> names;
  for (const auto& native : Registered().NativeHandlers()) names[native->ScriptName()] = "native";
  for (const auto& [query, handler] : Registered().Factory()) {
    if (!handler->Script().empty()) names[handler->ScriptName()] = "query";
  }
  return names;
}

std::multiset<std::string> DocumentedNames(const std::string& html) {
  std::multiset<std::string> names;
  const std::string marker = "data-name=\"";
  for (auto at = html.find(marker); at != std::string::npos; at = html.find(marker, at)) {
    at += marker.size();
    names.insert(html.substr(at, html.find('"', at) - at));
  }
  return names;
}

}  // namespace

TEST(ApiDoc, EveryPageFunctionAppearsOnceAndNothingInternal) {
  const auto expected = PageFunctions();
  ASSERT_GT(expected.size(), 80u);
  const auto docs = linkmeter::apidoc::CollectFunctions(Registered());
  const auto names = DocumentedNames(linkmeter::apidoc::ApiDocHtml(docs));
  for (const auto& [script, kind] : expected) EXPECT_EQ(names.count(script), 1u) << script;
  EXPECT_EQ(names.size(), expected.size());
  for (const FunctionDoc& d : docs) {
    EXPECT_EQ(d.kind, expected.at(d.script)) << d.script;
    EXPECT_FALSE(d.name.empty()) << d.script;
  }
  EXPECT_EQ(names.count("app.inner.keepAwake"), 0u);
  const auto json = lm::json::Parse(linkmeter::apidoc::ApiDocJson(docs));
  ASSERT_TRUE(json && json->is<lm::json::Array>());
  EXPECT_EQ(json->get<lm::json::Array>().size(), expected.size());
}

TEST(ApiDoc, CallsComeFromThePageTextsAndDescriptionsAreComplete) {
  std::map<std::string, FunctionDoc> byScript;
  for (const FunctionDoc& d : linkmeter::apidoc::CollectFunctions(Registered())) byScript[d.script] = d;
  EXPECT_EQ(byScript.at("app.setWindowSize").call, "(w, h)");
  EXPECT_EQ(byScript.at("app.exit").call, "(force_exit)");
  EXPECT_EQ(byScript.at("app.msgbox").call, "(arg, onSuccess, onFailure, onProgress)");
  EXPECT_EQ(byScript.at("app.fileOpen").call, "(filename, mode)");
  for (const auto& [script, d] : byScript) {
    // A function registered without a description is still listed, flagged
    // in the document; none may be left so when the program ships.
    EXPECT_TRUE(d.described) << script << " has no description";
    EXPECT_FALSE(d.summary.empty()) << script;
    const bool neverFails =
        script == "linkmeter.isDemo" || script == "linkmeter.systemLanguage" || script == "app.setWindowText";
    EXPECT_EQ(d.failures.empty(), neverFails) << script << ": the failures listed";
    EXPECT_FALSE(d.result.empty()) << script;
    EXPECT_FALSE(d.example.empty()) << script;
    EXPECT_NE(d.example.find(script), std::string::npos) << script << ": the example calls something else";
  }
}

TEST(ApiDoc, CommandDocsListEveryKeyAndTheExampleGivesEveryRequiredOne) {
  for (const cat::CommandRow& row : cat::kCatalogue) {
    const FunctionDoc d = linkmeter::apidoc::CommandDoc(std::string(row.name));
    ASSERT_EQ(d.script, cat::ScriptName(row));
    ASSERT_EQ(d.args.size(), row.args.size() + 1) << row.name;  // comInfo first
    for (std::size_t i = 0; i < row.args.size(); ++i) {
      EXPECT_EQ(d.args[i + 1].name, row.args[i].key);
      if (row.args[i].need == cat::Need::kRequired) {
        EXPECT_NE(d.example.find(std::string(row.args[i].key) + ": "), std::string::npos) << row.name;
      }
    }
    for (const cat::ResultDef& r : row.results) {
      EXPECT_NE(d.result.find(std::string(r.name)), std::string::npos) << row.name << " " << r.name;
    }
  }
  EXPECT_TRUE(linkmeter::apidoc::CommandDoc("NOPE!").script.empty());
}

namespace {

// The exported check, applied as the page applies it.
bool JsonAccepts(const lm::json::Value& arg, const cat::ArgValue& value) {
  const bool number = std::holds_alternative<std::int64_t>(value);
  const std::string reader = arg.get("reader").get<std::string>();
  if (number != (reader == "integer")) return false;
  const lm::json::Value& check = arg.get("check");
  const std::string kind = check.get("kind").get<std::string>();
  auto within = [&](std::int64_t n) {
    const auto& lo = check.get("lo");
    const auto& hi = check.get("hi");
    return (lo.is<picojson::null>() || n >= lo.get<double>()) && (hi.is<picojson::null>() || n <= hi.get<double>());
  };
  if (kind == "any") return true;
  if (kind == "range") return number && within(std::get<std::int64_t>(value));
  if (kind == "length") return !number && within(static_cast<std::int64_t>(std::get<std::string>(value).size()));
  if (number) return false;
  for (const auto& w : check.get("words").get<lm::json::Array>()) {
    if (w.get<std::string>() == std::get<std::string>(value)) return true;
  }
  return false;
}

std::vector<cat::ArgValue> Probes(const cat::ArgDef& def) {
  std::vector<cat::ArgValue> probes;
  const cat::Check& c = def.check;
  for (std::int64_t base : {c.lo, c.hi == cat::Check::kNoLimit ? c.lo + 1000 : c.hi, std::int64_t{0}}) {
    for (std::int64_t n : {base - 1, base, base + 1}) {
      if (def.reader == cat::Reader::kInteger) probes.emplace_back(n);
      else if (n >= 0 && n < 5000) probes.emplace_back(std::string(static_cast<std::size_t>(n), 'A'));
    }
  }
  for (std::string_view w : c.words) {
    if (!w.empty()) probes.emplace_back(std::string(w) + "x"), probes.emplace_back(std::string(w));
  }
  return probes;
}

}  // namespace

TEST(CatalogueRules, TheExportedChecksAcceptExactlyWhatTheCatalogueAccepts) {
  const auto rules = lm::json::Parse(linkmeter::apidoc::CatalogueRulesJson());
  ASSERT_TRUE(rules);
  const auto& commands = rules->get("commands").get<lm::json::Object>();
  EXPECT_EQ(commands.size(), cat::kCatalogue.size());
  for (const cat::CommandRow& row : cat::kCatalogue) {
    const lm::json::Value& entry = commands.at(std::string(row.name));
    EXPECT_EQ(entry.get("script").get<std::string>(), cat::ScriptName(row));
    EXPECT_EQ(entry.get("success").get<std::string>(), row.success.Text());
    const auto& args = entry.get("args").get<lm::json::Array>();
    ASSERT_EQ(args.size(), row.args.size()) << row.name;
    for (std::size_t i = 0; i < args.size(); ++i) {
      const cat::ArgDef& def = row.args[i];
      EXPECT_EQ(args[i].get("key").get<std::string>(), def.key);
      EXPECT_EQ(args[i].get("need").get<std::string>() == "required", def.need == cat::Need::kRequired);
      if (def.reader == cat::Reader::kObject) {
        const auto members = cat::PackedMembers(def.packing);
        const bool listed = args[i].contains("members");
        EXPECT_EQ(listed, !members.empty()) << row.name << "." << def.key;
        if (listed) {
          EXPECT_EQ(args[i].get("members").get<lm::json::Array>().size(), members.size());
        }
        continue;
      }
      for (const cat::ArgValue& v : Probes(def)) {
        EXPECT_EQ(JsonAccepts(args[i], v), cat::Accepts(def, v)) << row.name << "." << def.key;
      }
    }
  }
}

TEST(CatalogueRules, BlocksSurveysAndSentKeysComeFromTheCatalogue) {
  const auto rules = lm::json::Parse(linkmeter::apidoc::CatalogueRulesJson());
  ASSERT_TRUE(rules);
  const auto& blocks = rules->get("blocks").get<lm::json::Array>();
  ASSERT_EQ(blocks.size(), cat::kSettingsBlocks.size());
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const cat::SettingsBlock& b = cat::kSettingsBlocks[i];
    EXPECT_EQ(blocks[i].get("name").get<std::string>(), b.name);
    EXPECT_EQ(blocks[i].get("read").get<std::string>(), b.read);
    EXPECT_EQ(blocks[i].get("write").get<std::string>(), b.write);
    EXPECT_EQ(blocks[i].get("form").get<bool>(), b.form);
  }
  std::vector<std::string> surveys;
  for (const auto& s : rules->get("surveys").get<lm::json::Array>()) surveys.push_back(s.get<std::string>());
  EXPECT_EQ(surveys, (std::vector<std::string>{"EWLEX", "EWLRU"}));
  // A key the conversation keeps to itself is marked unsent: a form must not offer it as a field.
  const auto& wdtim = rules->get("commands").get("WDTIM").get("args").get<lm::json::Array>();
  for (const auto& arg : wdtim) {
    EXPECT_EQ(arg.get("sent").get<bool>(), arg.get("key").get<std::string>() != "TimeOffset");
  }
}
