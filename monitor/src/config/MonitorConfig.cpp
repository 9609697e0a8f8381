#include "lm/monitor/config/MonitorConfig.h"

#include <glib.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "lm/monitor/config/Secrets.h"

namespace lm::monitor {
namespace {

constexpr const char* kGroup = "monitor";

struct KeyFileFree {
  void operator()(GKeyFile* f) const { g_key_file_free(f); }
};
struct ErrorFree {
  void operator()(GError* e) const { g_error_free(e); }
};
struct StrvFree {
  void operator()(gchar** v) const { g_strfreev(v); }
};

const ConfigKey* KeyNamed(std::string_view key) {
  for (const ConfigKey& k : MonitorConfigKeys()) {
    if (k.key == key) return &k;
  }
  return nullptr;
}

// One key's value into `merged` unless the command line gave it.
std::string TakeKey(GKeyFile* file, const std::filesystem::path& folder, const ConfigKey& k, OptionValues& merged) {
  const std::string key(k.key);
  if (merged.Has(k.option)) return "";
  GError* raw = nullptr;
  if (k.flag) {
    const gboolean on = g_key_file_get_boolean(file, kGroup, key.c_str(), &raw);
    std::unique_ptr<GError, ErrorFree> error(raw);
    if (error) return key + " must be true or false";
    if (on) merged.values[std::string(k.option)] = "";
    return "";
  }
  std::unique_ptr<gchar, decltype(&g_free)> value(g_key_file_get_string(file, kGroup, key.c_str(), &raw), g_free);
  std::unique_ptr<GError, ErrorFree> error(raw);
  if (error) return key + ": " + error->message;
  std::string text = value.get();
  if (k.file && !text.empty()) text = (folder / text).lexically_normal().string();
  merged.values[std::string(k.option)] = text;
  return "";
}

// A URL with a password or token, or a team server with a password (which
// the settings refuse anyway, but the file must not show it around).
bool HoldsSecrets(GKeyFile* file) {
  for (const char* key : {"webhook", "smtp", "sync_server"}) {
    std::unique_ptr<gchar, decltype(&g_free)> value(g_key_file_get_string(file, kGroup, key, nullptr), g_free);
    if (!value) continue;
    const std::string text = value.get();
    if (std::string(key) == "sync_server" ? text.find("password") != std::string::npos || SplitUrl(text).password != ""
                                          : CarriesSecret(text)) {
      return true;
    }
  }
  return false;
}

std::string ReadFile(const std::string& path, OptionValues& merged) {
  std::unique_ptr<GKeyFile, KeyFileFree> file(g_key_file_new());
  GError* raw = nullptr;
  if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, &raw)) {
    std::unique_ptr<GError, ErrorFree> error(raw);
    return path + ": " + error->message;
  }
  std::unique_ptr<gchar*, StrvFree> groups(g_key_file_get_groups(file.get(), nullptr));
  for (gchar** g = groups.get(); *g; ++g) {
    if (std::string(*g) != kGroup) return path + ": unknown group [" + *g + "] (the settings go in [monitor])";
  }
  if (!g_key_file_has_group(file.get(), kGroup)) return FileModeProblem(path, false);
  std::unique_ptr<gchar*, StrvFree> keys(g_key_file_get_keys(file.get(), kGroup, nullptr, nullptr));
  for (gchar** k = keys.get(); k && *k; ++k) {
    const ConfigKey* known = KeyNamed(*k);
    if (!known) return path + ": unknown key " + *k;
    const auto folder = std::filesystem::absolute(path).parent_path();
    if (std::string why = TakeKey(file.get(), folder, *known, merged); !why.empty()) return path + ": " + why;
  }
  return FileModeProblem(path, HoldsSecrets(file.get()));
}

}  // namespace

const std::vector<ConfigKey>& MonitorConfigKeys() {
  static const std::vector<ConfigKey> keys{
      {"--every", "every"}, {"--probes", "probes"}, {"--registration", "registration", false, true},
      {"--password-file", "password_file", false, true}, {"--webhook", "webhook"}, {"--mail-to", "mail_to"},
      {"--mail-from", "mail_from"}, {"--smtp", "smtp"}, {"--smtp-credentials", "smtp_credentials", false, true},
      {"--smtp-tls", "smtp_tls"}, {"--mail-digest", "mail_digest", true}, {"--metrics-file", "metrics_file", false, true},
      {"--raise-rounds", "raise_rounds"}, {"--window-rounds", "window_rounds"}, {"--clear-rounds", "clear_rounds"},
      {"--level-hysteresis", "level_hysteresis"}, {"--battery-hysteresis", "battery_hysteresis"},
      {"--flap-changes", "flap_changes"}, {"--retry-max", "retry_max"}, {"--sync-server", "sync_server"},
      {"--sync-tls", "sync_tls"}, {"--sync-statement-timeout", "sync_statement_timeout"},
      {"--sync-lock-timeout", "sync_lock_timeout"}, {"--round-limit", "round_limit"},
      {"--keep-probes", "keep_probes"}, {"--keep-hop-stats", "keep_hop_stats"},
  };
  return keys;
}

std::string DefaultConfigPath(const std::string& unit) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = xdg && *xdg ? xdg : std::string(home ? home : "") + "/.config";
  return base + "/linkmeter/monitor-" + unit + ".conf";
}

std::string MergeConfig(const OptionValues& args, OptionValues& merged) {
  merged = args;
  if (auto named = args.Get("--config")) return ReadFile(*named, merged);
  auto unit = args.Get("--unit");
  if (!unit) return "";
  const std::string path = DefaultConfigPath(*unit);
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return "";
  return ReadFile(path, merged);
}

}  // namespace lm::monitor
