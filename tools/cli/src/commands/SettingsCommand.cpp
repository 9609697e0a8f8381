// linkmeter-cli settings read: the base unit's settings blocks read as the
// page's settings view reads them (the block's read command), every key
// with its value; passwords are never printed. Kept in the site records.
#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageCalls.h"
#include "linkmeter/cli/Progress.h"
#include "linkmeter/cli/AnswerFilters.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UnitSession.h"
#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::cli {
namespace {

namespace cat = com::vantor::catalogue;

std::string BlockNames() {
  std::string names;
  for (const auto& b : cat::kSettingsBlocks) names += (names.empty() ? "" : ", ") + std::string(b.name);
  return names;
}

const cat::SettingsBlock* FindBlock(const std::string& name) {
  for (const auto& b : cat::kSettingsBlocks) {
    if (b.name == name) return &b;
  }
  return nullptr;
}

std::string Check(const ParsedArgs& args) {
  const auto& words = args.positionals;
  if (words.empty() || words[0] != "read") return "say what to do: read [BLOCK]";
  if (words.size() > 2) return "unexpected argument: " + words[2];
  if (words.size() == 2 && !FindBlock(words[1])) return "no settings block " + words[1] + " (blocks: " + BlockNames() + ")";
  return "";
}

// The blocks asked for: one by name, else every block the page shows as a form.
std::vector<const cat::SettingsBlock*> Blocks(const ParsedArgs& args) {
  std::vector<const cat::SettingsBlock*> blocks;
  if (args.positionals.size() == 2) {
    blocks.push_back(FindBlock(args.positionals[1]));
  } else {
    for (const auto& b : cat::kSettingsBlocks) {
      if (b.form) blocks.push_back(&b);
    }
  }
  return blocks;
}

int Run(CommandContext& ctx) {
  int status = kExitOk;
  auto session = UnitSession::Open(ctx, status);
  if (!session) return status;
  const auto blocks = Blocks(ctx.args);
  Table table{{"block", "key", "value"}, {}};
  lm::json::Object json;
  size_t done = 0, failed = 0;
  for (const cat::SettingsBlock* b : blocks) {
    const std::string mnemonic(b->read);
    ctx.progress.Step(static_cast<double>(done++), static_cast<double>(blocks.size()), "reading " + std::string(b->name) + " (" + mnemonic + ")…");
    PageAnswer answer = ctx.page.Command(mnemonic, lm::json::Object{{"comInfo", session->Unit().ComInfo()}});
    if (!answer.ok) {
      ++failed;
      ctx.progress.Line("warning: " + std::string(b->name) + " (" + mnemonic + "): " + FailureText(answer));
      json[std::string(b->name)] = lm::json::MakeObject({{"error", lm::json::String(FailureText(answer))}});
      continue;
    }
    lm::json::Value data = AnswerData(answer.value);  // secrets hidden, as the records keep it
    for (const auto& [key, value] : data.get<lm::json::Object>()) {
      const bool hidden = value.is<lm::json::Object>() && value.contains("hidden");
      table.rows.push_back({std::string(b->name), key, hidden ? "(hidden)" : NumberText(value)});
    }
    json[std::string(b->name)] = data;
  }
  ctx.progress.Finish();
  if (failed == blocks.size()) return session->Finish(Fail(ctx.err, kExitFailed, "no settings block could be read"));
  ctx.output.Write(table, lm::json::MakeObject({{"baseUnit", lm::json::String(session->Unit().Serial())},
                                                {"blocks", lm::json::Value(json)}}));
  return session->Finish(failed ? kExitPartly : kExitOk);
}

}  // namespace

Subcommand SettingsCommand() {
  return {"settings",
          "read the base unit's settings blocks",
          "settings [--unit U] read [BLOCK] [--no-record] [--format table|csv|json]",
          "Reads one settings block, or every block the settings view shows, one key per row.\n"
          "Blocks: " + BlockNames() + ".\n"
          "Password values are shown as (hidden). Exit status 5 when some block could not be read.\n",
          {kUnitOptions[0], kUnitOptions[1], kRecordOptions[0]},
          Check,
          Run};
}

}  // namespace linkmeter::cli
