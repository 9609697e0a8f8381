// linkmeter-cli map: a site's plan with the links of its last site survey
// as one SVG file (export), drawn by the page's own map drawing in the
// command line's JavaScriptCore and written whole or not at all; and the
// map prepared from the shell (plan, scale, place), kept as the page keeps
// it: a plan record and map edits on a visit of their own.
#include <glib.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

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

// A plan's image is a few megabytes; a list of positions far less.
constexpr std::uintmax_t kImageMaxBytes = 64u << 20;
constexpr std::uintmax_t kListMaxBytes = 1u << 20;

// "X,Y" as two numbers, or none.
std::optional<std::pair<double, double>> Point(const std::string& text) {
  const auto comma = text.find(',');
  if (comma == std::string::npos) return std::nullopt;
  char* end = nullptr;
  const std::string a = text.substr(0, comma), b = text.substr(comma + 1);
  const double x = std::strtod(a.c_str(), &end);
  if (a.empty() || *end) return std::nullopt;
  const double y = std::strtod(b.c_str(), &end);
  if (b.empty() || *end) return std::nullopt;
  return std::make_pair(x, y);
}

std::string CheckScale(const ParsedArgs& args) {
  if (!args.Get("--plan")) return "map scale needs --plan PLAN";
  for (const char* end : {"--from", "--to"}) {
    auto v = args.Get(end);
    if (!v || !Point(*v)) return std::string("map scale needs ") + end + " X,Y (plan pixels)";
  }
  auto m = args.Get("--metres");
  char* stop = nullptr;
  if (!m || std::strtod(m->c_str(), &stop) <= 0 || *stop) return "map scale needs --metres M (above 0)";
  return "";
}

// map plan rename|hide|show|remove PLAN: a change to a plan rather than a
// plan's file (a file of such a name is given as ./hide).
bool IsPlanChange(const std::vector<std::string>& w) {
  return w.size() >= 2 && w[0] == "plan" && (w[1] == "rename" || w[1] == "hide" || w[1] == "show" || w[1] == "remove");
}

std::string CheckPlanChange(const ParsedArgs& args) {
  const auto& w = args.positionals;
  const size_t want = w[1] == "rename" ? 4 : 3;
  if (w.size() < want) return "map plan " + w[1] + " needs the plan (its name or number)" + (want == 4 ? " and its new name" : "");
  if (w.size() > want) return "unexpected argument: " + w[want];
  if (!args.Get("--site") || args.Get("--site")->empty()) return "map plan " + w[1] + " needs --site SITE";
  for (const char* option : {"--plan", "--name", "--page"}) {
    if (args.Has(option)) return std::string(option) + " does not go with map plan " + w[1];
  }
  return "";
}

std::string Check(const ParsedArgs& args) {
  const auto& w = args.positionals;
  if (IsPlanChange(w)) return CheckPlanChange(args);
  if (w.empty() || (w[0] != "export" && w[0] != "plan" && w[0] != "scale" && w[0] != "place")) return "map takes export, plan, scale or place";
  const bool needsFile = w[0] != "scale";
  if (needsFile && w.size() < 2) return "map " + w[0] + (w[0] == "export" ? " needs the SVG file to write" : w[0] == "plan" ? " needs the plan's image file" : " needs the CSV file of positions");
  if (w.size() > (needsFile ? 2u : 1u)) return "unexpected argument: " + w[needsFile ? 2 : 1];
  auto site = args.Get("--site");
  if (!site || site->empty()) return "map " + w[0] + " needs --site SITE";
  if (w[0] == "scale") return CheckScale(args);
  if (w[0] == "place" && !args.Get("--plan")) return "map place needs --plan PLAN";
  if (auto page = args.Get("--page"); page && (page->empty() || page->find_first_not_of("0123456789") != std::string::npos || std::atoi(page->c_str()) < 1)) {
    return "--page takes a page number from 1";
  }
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

// The file's bytes, or none with `error` (missing, unreadable, too large).
std::optional<std::string> ReadWhole(const fs::path& file, std::uintmax_t most, std::string& error) {
  std::error_code ec;
  const auto size = fs::file_size(file, ec);
  if (ec) return error = "cannot read " + file.string(), std::nullopt;
  if (size > most) return error = file.string() + " is larger than a plan can be", std::nullopt;
  std::ifstream in(file, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return error = "cannot read " + file.string(), std::nullopt;
  return bytes;
}

std::string Base64(const std::string& bytes) {
  std::unique_ptr<gchar, decltype(&g_free)> text(
      g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size()), g_free);
  return text.get();
}

// Who edits the map, as History names them: --by, else the user's name.
std::string Editor(const ParsedArgs& args) {
  if (auto by = args.Get("--by")) return *by;
  const char* user = std::getenv("USER");
  return user && *user ? user : "linkmeter-cli";
}

// Runs map flow `name` with `arg`: its answer, or none after saying why.
std::optional<Value> MapFlow(CommandContext& ctx, const char* name, lm::json::Object arg) {
  int status = kExitOk;
  const auto serial = ChooseSite(ctx, *ctx.args.Get("--site"), status);
  if (!serial) return std::nullopt;
  char text[16];
  std::snprintf(text, sizeof text, "%08llX", static_cast<unsigned long long>(*serial));
  arg["site"] = lm::json::String(text);
  arg["by"] = lm::json::String(Editor(ctx.args));
  std::string error;
  auto answer = ctx.flows->Run(name, {Value(std::move(arg))}, &error);
  if (answer && answer->is<lm::json::Object>() && answer->contains("failure")) error = MemberText(*answer, "failure");
  else if (answer && answer->is<lm::json::Object>()) return answer;
  Fail(ctx.err, kExitFailed, "the map was not changed: " + error.substr(0, error.find('\n')));
  return std::nullopt;
}

std::string SiteText(const Value& answer) {
  const Value& site = MemberValue(answer, "site");
  char serial[16];
  std::snprintf(serial, sizeof serial, "%08llX", static_cast<unsigned long long>(MemberValue(site, "serial").is<double>() ? MemberValue(site, "serial").get<double>() : 0));
  const std::string name = MemberText(site, "name");
  return name.empty() ? serial : name + " (" + serial + ")";
}

int RunPlan(CommandContext& ctx) {
  std::string error;
  const fs::path file = ctx.args.positionals[1];
  auto bytes = ReadWhole(file, kImageMaxBytes, error);
  if (!bytes) return Fail(ctx.err, kExitFailed, error);
  const std::string name = ctx.args.Get("--name").value_or(file.stem().string());
  const int page = ctx.args.Get("--page") ? std::atoi(ctx.args.Get("--page")->c_str()) : 1;
  auto answer = MapFlow(ctx, "mapPlan", {{"image", lm::json::String(Base64(*bytes))}, {"name", lm::json::String(name)}, {"page", lm::json::Number(page)}});
  if (!answer) return kExitFailed;
  const Value& plan = MemberValue(*answer, "plan");
  ctx.output.Write(Table{{"plan", "name", "width", "height"}, {{MemberText(plan, "id").substr(0, 12), MemberText(plan, "name"), MemberText(plan, "width"), MemberText(plan, "height")}}},
                   *answer);
  ctx.err << (MemberValue(*answer, "added").is<bool>() && MemberValue(*answer, "added").get<bool>() ? "plan added to " : "the site already has this plan: ")
          << SiteText(*answer) << "\n";
  return kExitOk;
}

int RunPlanChange(CommandContext& ctx) {
  const auto& w = ctx.args.positionals;
  lm::json::Object arg{{"plan", lm::json::String(w[2])}, {"change", lm::json::String(w[1])}};
  if (w[1] == "rename") arg["name"] = lm::json::String(w[3]);
  auto answer = MapFlow(ctx, "mapPlanChange", std::move(arg));
  if (!answer) return kExitFailed;
  const Value& plan = MemberValue(*answer, "plan");
  ctx.output.Write(Table{{"plan", "name", "change"}, {{MemberText(plan, "id").substr(0, 12), MemberText(plan, "name"), w[1]}}}, *answer);
  const char* done = w[1] == "rename" ? "renamed" : w[1] == "hide" ? "left out of the customer's report"
                     : w[1] == "show" ? "put back in the customer's report" : "removed";
  ctx.err << "plan " << MemberText(plan, "name") << " of " << SiteText(*answer) << " " << done << "\n";
  return kExitOk;
}

int RunScale(CommandContext& ctx) {
  const auto from = *Point(*ctx.args.Get("--from"));
  const auto to = *Point(*ctx.args.Get("--to"));
  auto point = [](std::pair<double, double> p) { return Value(lm::json::Array{lm::json::Number(p.first), lm::json::Number(p.second)}); };
  auto answer = MapFlow(ctx, "mapScale", {{"plan", lm::json::String(*ctx.args.Get("--plan"))}, {"from", point(from)}, {"to", point(to)},
                                          {"metres", lm::json::Number(std::strtod(ctx.args.Get("--metres")->c_str(), nullptr))}});
  if (!answer) return kExitFailed;
  ctx.output.Write(Table{{"plan", "metres per pixel"}, {{MemberText(MemberValue(*answer, "plan"), "name"), MemberText(*answer, "metresPerPixel")}}}, *answer);
  ctx.err << "scale of plan " << MemberText(MemberValue(*answer, "plan"), "name") << " set for " << SiteText(*answer) << "\n";
  return kExitOk;
}

int RunPlace(CommandContext& ctx) {
  std::string error;
  auto csv = ReadWhole(ctx.args.positionals[1], kListMaxBytes, error);
  if (!csv) return Fail(ctx.err, kExitFailed, error);
  auto answer = MapFlow(ctx, "mapPlace", {{"plan", lm::json::String(*ctx.args.Get("--plan"))}, {"csv", lm::json::String(*csv)}});
  if (!answer) return kExitFailed;
  Table t{{"unit", "serial", "x", "y", "state"}, {}};
  for (const auto& p : MemberArray(*answer, "placed")) {
    t.rows.push_back({MemberText(p, "label"), MemberText(p, "serial"), MemberText(p, "x"), MemberText(p, "y"), MemberText(p, "state")});
  }
  ctx.output.Write(t, *answer);
  ctx.err << CountOf(t.rows.size(), "unit") << " placed on plan " << MemberText(MemberValue(*answer, "plan"), "name") << " of " << SiteText(*answer) << "\n";
  return kExitOk;
}

int RunExport(CommandContext& ctx) {
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

int Run(CommandContext& ctx) {
  if (!ctx.flows) return Fail(ctx.err, kExitFailed, "the page's flows are not running");
  const std::string& what = ctx.args.positionals[0];
  if (IsPlanChange(ctx.args.positionals)) return RunPlanChange(ctx);
  if (what == "plan") return RunPlan(ctx);
  if (what == "scale") return RunScale(ctx);
  if (what == "place") return RunPlace(ctx);
  return RunExport(ctx);
}

}  // namespace

Subcommand MapCommand() {
  return {"map",
          "the site map: export a plan with the last survey's links; add a plan, its scale, positions",
          "map export --site SITE [--plan PLAN] FILE.svg\n"
          "                     map plan --site SITE FILE [--name N] [--page P] [--by NAME]\n"
          "                     map plan rename|hide|show|remove --site SITE PLAN [NEW-NAME] [--by NAME]\n"
          "                     map scale --site SITE --plan PLAN --from X1,Y1 --to X2,Y2 --metres M [--by NAME]\n"
          "                     map place --site SITE --plan PLAN FILE.csv [--by NAME]",
          "SITE is the site's name or serial. export writes the map of site SITE as one SVG file:\n"
          "the plan (its name, or its number in the order the site's plans were added, 1 for the\n"
          "first; the first when not given) with its image, the units placed on it and the links of\n"
          "the site's last site survey coloured by class as the Map tab draws them, with a legend\n"
          "and the survey's date. The file is written whole or not at all, never onto the site records.\n"
          "plan adds an image (PNG, JPEG, SVG, or page P of a PDF) as a plan of site SITE, named N\n"
          "(the file's name when not given); scale says the line X1,Y1 to X2,Y2 (plan pixels) is\n"
          "M metres long; place puts units where a CSV list says: a header unit,x,y[,state], then a\n"
          "row per unit (a name, label or serial as the page shows it; plan pixels; state placed or\n"
          "planned, placed when left out), all rows or none. plan rename gives plan PLAN a new name;\n"
          "plan hide leaves it out of the customer's report, plan show puts it back; plan remove takes\n"
          "it off the site (its units back to unplaced; adding its image again brings it back). A plan\n"
          "with no unit on it prints no page of the report. Each is kept as the Map tab keeps it,\n"
          "on a visit of its own, by NAME (the user's name).\n",
          {{"--site", true}, {"--plan", true}, {"--name", true}, {"--page", true}, {"--from", true},
           {"--to", true}, {"--metres", true}, {"--by", true}},
          Check,
          Run,
          [](const ParsedArgs& args, size_t i) { return i == 1 && !IsPlanChange(args.positionals); }};
}

}  // namespace linkmeter::cli
