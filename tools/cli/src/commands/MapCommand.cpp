// linkmeter-cli map export: a site's plan with the links of its last site
// survey as one SVG file, drawn by the page's own map drawing in the
// command line's JavaScriptCore, written whole or not at all.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "linkmeter/cli/ExitCodes.h"
#include "linkmeter/cli/Output.h"
#include "linkmeter/cli/PageFlows.h"
#include "linkmeter/cli/SiteChoice.h"
#include "linkmeter/cli/Subcommand.h"
#include "linkmeter/cli/SubcommandTable.h"
#include "linkmeter/cli/UserLanguage.h"
#include "linkmeter/cli/UnitConnection.h"
#include "lm/records/ExportTarget.h"
#include "lm/records/StoreResult.h"

namespace linkmeter::cli {
namespace {

namespace fs = std::filesystem;
using lm::json::Value;

std::string Check(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (w.empty() || w[0] != "export") return "map takes export";
  if (w.size() < 2) return "map export needs the SVG file to write";
  if (w.size() > 2) return "unexpected argument: " + w[2];
  if (!args.Has("--site")) return "map export needs --site SITE";
  return "";
}

// Writes `text` to FILE.part, flushes it to disk and renames it to FILE, so
// FILE is either the old one or the whole new one. "" or why not.
std::string WriteWhole(const fs::path& target, const std::string& text) {
  const fs::path part = target.string() + ".part";
  try {
    lm::records::RefuseStoreAsTarget(target);
    lm::records::RefuseStoreAsTarget(part);
  } catch (const lm::records::StoreFailure& e) {
    return e.error.message;
  }
  FILE* f = std::fopen(part.c_str(), "wb");
  if (!f) return "cannot write " + part.string();
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
                       ::fsync(fileno(f)) == 0;
  const bool closed = std::fclose(f) == 0;
  std::error_code ec;
  if (written && closed) fs::rename(part, target, ec);
  if (!written || !closed || ec) {
    fs::remove(part, ec);
    return "cannot write " + target.string();
  }
  return "";
}

int Run(CommandContext& ctx) {
  if (!ctx.flows) return Fail(ctx.err, kExitFailed, "the page's flows are not running");
  const fs::path target = ctx.args.positionals[1];
  int status = kExitOk;
  auto serial = ChooseSite(ctx, *ctx.args.Get("--site"), status);
  if (!serial) return status;
  lm::json::Object arg{{"serial", lm::json::Number(static_cast<double>(*serial))},
                       {"language", lm::json::String(UserLanguage())}};
  if (auto plan = ctx.args.Get("--plan")) arg["plan"] = lm::json::String(*plan);
  std::string error;
  auto answer = ctx.flows->Run("mapExport", {Value(arg)}, &error);
  if (answer && answer->is<lm::json::Object>() && answer->contains("failure")) error = MemberText(*answer, "failure");
  if (!answer || !answer->is<lm::json::Object>() || !answer->contains("svg") || !answer->get("svg").is<std::string>()) {
    return Fail(ctx.err, kExitFailed, "the map was not exported: " + error.substr(0, error.find('\n')));
  }
  error = WriteWhole(target, answer->get("svg").get<std::string>());
  if (!error.empty()) return Fail(ctx.err, kExitFailed, error);
  const auto& links = answer->get("links");
  ctx.err << "map of plan " << MemberText(*answer, "plan") << " with "
          << (links.is<lm::json::Array>() ? links.get<lm::json::Array>().size() : 0) << " links written to "
          << target.string() << "\n";
  return kExitOk;
}

}  // namespace

Subcommand MapCommand() {
  return {"map",
          "the site map: a plan with the last site survey's links as an SVG file",
          "map export --site SITE [--plan PLAN] FILE.svg",
          "Writes the map of site SITE (its name or serial) as one SVG file: the plan (its name,\n"
          "or its number in the order the site's plans were added, 1 for the first; the first when not given)\n"
          "with its image, the units placed on it and the links of the site's last site survey\n"
          "coloured by class as the Map tab draws them, with a legend and the survey's date.\n"
          "The file is written whole or not at all, never onto the site records.\n",
          {{"--site", true}, {"--plan", true}},
          Check,
          Run,
          [](const ParsedArgs&, size_t i) { return i == 1; }};
}

}  // namespace linkmeter::cli
