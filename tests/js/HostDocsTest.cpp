// Every host function describes itself, and its description agrees with its
// code: a native driven through wrong arguments and failing calls raises
// only the codes it documents, and every code a host function documents is
// raised at a check in its own source.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>

#include "NativeTestSupport.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/ChannelTypeFunctions.h"
#include "sorrel/js/FileFunctions.h"
#include "sorrel/js/HostRegistration.h"
#include "sorrel/js/ShellFunctions.h"

namespace {

using Sorrel::Js::HostDoc;
using Sorrel::Js::HostNative;
namespace fs = std::filesystem;

std::set<int> Documented(const HostDoc& doc) {
  std::set<int> codes;
  for (const auto& f : doc.failures) {
    for (int c : Sorrel::Js::FailureCodes(f.code)) codes.insert(c);
  }
  return codes;
}

// Every native the program registers for the page's host functions.
std::vector<std::shared_ptr<HostNative>> Registered(Sorrel::cef::Manager& manager) {
  Sorrel::Js::RegisterHostFunctions(manager);
  Sorrel::Js::RegisterSiblingFunctions(manager);
  Sorrel::Js::RegisterLinkmeterFunctions(manager, false);
  std::vector<std::shared_ptr<HostNative>> natives;
  for (const auto& n : manager.NativeHandlers()) {
    auto host = std::dynamic_pointer_cast<HostNative>(n);
    EXPECT_TRUE(host) << n->ScriptName() << " is not a described host function";
    if (host) natives.push_back(host);
  }
  return natives;
}

// The page-callable queries among the host functions, each with its description.
std::vector<std::pair<std::string, const Sorrel::Js::Described*>> DescribedQueries(Sorrel::cef::Manager& manager) {
  std::vector<std::pair<std::string, const Sorrel::Js::Described*>> queries;
  for (const auto& [name, handler] : manager.Factory()) {
    if (handler->Script().empty()) continue;  // carried between processes only
    const auto* described = dynamic_cast<const Sorrel::Js::Described*>(handler.get());
    EXPECT_TRUE(described) << handler->ScriptName() << " is not described";
    if (described) queries.emplace_back(handler->ScriptName(), described);
  }
  return queries;
}

TEST(HostDocs, FailureCodesReadRangesAndLists) {
  const std::vector<std::pair<std::string, std::vector<int>>> cases = {
      {"-3", {-3}},          {"0", {0}},
      {"-1, -2", {-1, -2}},  {"-3 … -5", {-3, -4, -5}},
      {"-20 … -22, -27", {-20, -21, -22, -27}},
      {"code1, code2", {}},
  };
  for (const auto& [text, codes] : cases) EXPECT_EQ(Sorrel::Js::FailureCodes(text), codes) << text;
}

TEST(HostDocs, EveryRegisteredNativeIsDescribed) {
  Sorrel::cef::Manager manager;
  const auto natives = Registered(manager);
  ASSERT_GE(natives.size(), 21u);
  for (const auto& n : natives) {
    const HostDoc& doc = n->Doc();
    EXPECT_FALSE(doc.summary.empty()) << n->ScriptName();
    EXPECT_FALSE(doc.result.empty()) << n->ScriptName();
    EXPECT_NE(doc.example.find(n->ScriptName()), std::string::npos) << n->ScriptName() << ": example";
    EXPECT_FALSE(doc.sources.empty()) << n->ScriptName();
  }
}

// Drives every native with every list of up to three values from a pool of
// wrong and right ones (in a scratch folder, with the desktop and the power
// lock left out), and checks each failure's code against the description.
class HostDocsDrive : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lm-hostdocs-XXXXXX";
    dir_ = ::mkdtemp(pattern);
    previous_ = fs::current_path();
    fs::current_path(dir_);
    std::ofstream(dir_ / "f.txt") << "line one\nline two\n";
  }
  void TearDown() override {
    fs::current_path(previous_);
    fs::remove_all(dir_);
  }

  std::vector<std::string> Pool() const {
    const std::string file = "\"" + (dir_ / "f.txt").string() + "\"";
    return {"null", "true", "0", "-1", "1.5", "3", "1e10", "\"\"", "\"r\"", "\"Documents\"", file,
            "{}", "[]", "[1,300]", "[65,10]", R"({"type":"FILE","handle":1})", R"({"type":"FILE","handle":2})"};
  }

  std::set<int> Drive(const std::shared_ptr<HostNative>& native) {
    std::set<int> seen;
    const auto pool = Pool();
    std::vector<std::vector<std::string>> lists{{}};
    for (int arity = 1; arity <= 3; ++arity) {
      std::vector<std::vector<std::string>> longer;
      for (const auto& l : lists) {
        if (static_cast<int>(l.size()) != arity - 1) continue;
        for (const auto& v : pool) {
          auto next = l;
          next.push_back(v);
          longer.push_back(next);
        }
      }
      lists.insert(lists.end(), longer.begin(), longer.end());
    }
    for (const auto& args : lists) {
      const auto outcome = js_test::CallNative(native, args);
      if (outcome.exception.empty()) continue;
      const auto error = lm::json::Parse(outcome.exception);
      if (error && error->contains("code1")) seen.insert(static_cast<int>(error->get("code1").get<double>()));
    }
    return seen;
  }

  fs::path dir_, previous_;
};

TEST_F(HostDocsDrive, EveryCodeRaisedIsDocumented) {
  Sorrel::cef::Manager manager;
  auto natives = Registered(manager);
  // Stand-ins where the real one reaches the desktop or the login manager.
  for (auto& n : natives) {
    if (n->ScriptName() == "app.explorer") {
      n = std::make_shared<Sorrel::Js::Explorer>(Sorrel::Js::FileOpener{[](const std::string&) { return true; }, {}});
    } else if (n->ScriptName() == "app.setThreadExecutionState") {
      n = std::make_shared<Sorrel::Js::SetThreadExecutionState>(nullptr);
    }
  }
  // Handles 1 (read only) and 2 (write only) are open while the pool runs.
  for (const auto& n : natives) {
    if (n->ScriptName() != "app.fileOpen") continue;
    const std::string file = "\"" + (dir_ / "f.txt").string() + "\"";
    ASSERT_TRUE(js_test::CallNative(n, {file, "\"r\""}).exception.empty());
    ASSERT_TRUE(js_test::CallNative(n, {"\"" + (dir_ / "out.txt").string() + "\"", "\"w\""}).exception.empty());
  }
  // Closing comes last, so the others meet both handles open.
  std::stable_partition(natives.begin(), natives.end(), [](const auto& n) { return n->ScriptName() != "app.fileClose"; });
  std::size_t failing = 0;
  for (const auto& n : natives) {
    const std::set<int> documented = Documented(n->Doc());
    const std::set<int> seen = Drive(n);
    failing += seen.empty() ? 0 : 1;
    for (int code : seen) {
      EXPECT_TRUE(documented.count(code)) << n->ScriptName() << " raised " << code << ", which its description omits";
    }
  }
  EXPECT_GE(failing, 17u) << "the pool reaches the failures of nearly every function";
}

// A raise site: a check or a code returned, with the code as a literal.
bool RaisedIn(const std::string& text, int code) {
  const std::string number = code == 0 ? "0" : std::to_string(code);
  const std::regex literal("(^|[^\\w.-])" + std::regex_replace(number, std::regex("-"), "\\-") + "([^\\w.]|$)");
  const std::regex site("Ensure|return|Fail\\(|Finish\\(|Member\\{|Required\\(|ArgReader|constexpr int32_t");
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_search(line, literal) && std::regex_search(line, site)) return true;
  }
  return false;
}

TEST(HostDocs, EveryDocumentedCodeIsRaisedInTheFunctionsSource) {
  Sorrel::cef::Manager manager;
  std::vector<std::pair<std::string, const Sorrel::Js::Described*>> all;
  for (const auto& n : Registered(manager)) all.emplace_back(n->ScriptName(), n.get());
  const auto queries = DescribedQueries(manager);
  EXPECT_GE(queries.size(), 11u);
  all.insert(all.end(), queries.begin(), queries.end());
  for (const auto& [script, described] : all) {
    const HostDoc& doc = described->Doc();
    ASSERT_FALSE(doc.sources.empty()) << script;
    const fs::path own(doc.sources.front());
    std::string text;
    for (const auto& source : doc.sources) {
      const fs::path path = fs::path(source).is_absolute() ? fs::path(source) : own.parent_path() / source;
      std::ifstream in(path);
      ASSERT_TRUE(in) << path;
      text += std::string(std::istreambuf_iterator<char>(in), {}) + "\n";
    }
    for (int code : Documented(doc)) {
      EXPECT_TRUE(RaisedIn(text, code)) << script << " documents " << code << " but never raises it";
    }
  }
}

}  // namespace
