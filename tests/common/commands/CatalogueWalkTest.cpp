// Every catalogue row exists everywhere the program and the simulator need
// it: registered as a page function, documented, answered.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "linkmeter/sim/CommandTable.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComRegistration.h"
#include "sorrel/com/ComServices.h"
#include "vantor/com/CatalogueDoc.h"
#include "vantor/com/CommandCatalogue.h"

namespace {

namespace cat = com::vantor::catalogue;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(CatalogueWalk, EveryRowIsRegisteredDocumentedAndAnswered) {
  Sorrel::Com::ComServices devices;
  Sorrel::cef::Manager manager;
  Sorrel::Com::RegisterComFunctions(manager, devices);
  const std::string docs = ReadFile(LM_SOURCE_DIR "/docs/commands.md");
  EXPECT_EQ(docs, cat::CatalogueMarkdown()) << "docs/commands.md is stale: build the docs-commands target";
  const auto answers = linkmeter::sim::CommandTable::WithEveryCommand();
  for (const cat::CommandRow& row : cat::kCatalogue) {
    SCOPED_TRACE(std::string(row.name));
    auto handler = manager.Factory().Find(cat::QueryName(row));
    ASSERT_TRUE(handler);
    EXPECT_EQ(handler->ScriptName(), cat::ScriptName(row));
    EXPECT_EQ(handler->Cancellable(), 0);
    EXPECT_NE(docs.find("## " + std::string(row.name) + "\n"), std::string::npos);
    EXPECT_TRUE(answers.Find(std::string(row.name)));
  }
  EXPECT_TRUE(answers.Unanswered().empty());
}

TEST(CatalogueWalk, RowsAreInRegistrationOrderAndConsistent) {
  for (std::size_t i = 1; i < cat::kCatalogue.size(); ++i) {
    EXPECT_LT(cat::kCatalogue[i - 1].name, cat::kCatalogue[i].name);
  }
  for (const cat::CommandRow& row : cat::kCatalogue) {
    SCOPED_TRACE(std::string(row.name));
    EXPECT_EQ(row.name.size(), 5u);
    for (const cat::ArgDef& a : row.args) {
      EXPECT_EQ(a.encoding == cat::Encoding::kKept, a.field.empty()) << a.key;
      if (a.check.kind == cat::Check::Kind::kRange) {
        EXPECT_EQ(a.reader, cat::Reader::kInteger) << a.key;
      }
      if (a.check.kind == cat::Check::Kind::kLength) {
        EXPECT_NE(a.reader, cat::Reader::kInteger) << a.key;
      }
    }
    // Radio rows address a far unit by channel and ID, both required.
    if (row.family == cat::Family::kWireless || row.name == "EWSUC") {
      ASSERT_GE(row.args.size(), 2u);
      EXPECT_EQ(row.args[0].key, "CH");
      EXPECT_EQ(row.args[1].key, "ID");
      EXPECT_EQ(row.args[1].need, cat::Need::kRequired);
    }
  }
}

}  // namespace
