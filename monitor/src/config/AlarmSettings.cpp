#include "lm/monitor/config/AlarmSettings.h"
#include "lm/monitor/webhook/WebhookChannel.h"

#include <unistd.h>

#include <cctype>
#include <filesystem>

#include "lm/monitor/config/Duration.h"
#include "lm/monitor/config/Secrets.h"
#include "lm/monitor/mail/MailChannel.h"

namespace lm::monitor {
namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// A count option into `field`; "" or the fault.
std::string Count(const OptionValues& a, const char* option, long lo, long hi, int& field) {
  auto text = a.Get(option);
  if (!text) return "";
  auto n = ParseWhole(*text, lo, hi);
  if (!n) return std::string(option) + " takes a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
  field = static_cast<int>(*n);
  return "";
}

std::string ReadRules(const OptionValues& a, AlarmRules& r) {
  for (const std::string& why :
       {Count(a, "--raise-rounds", 1, 21, r.raiseRounds), Count(a, "--window-rounds", 1, 21, r.windowRounds),
        Count(a, "--clear-rounds", 1, 21, r.clearRounds), Count(a, "--level-hysteresis", 0, 100, r.levelHysteresis),
        Count(a, "--battery-hysteresis", 0, 70, r.batteryHysteresis), Count(a, "--flap-changes", 2, 20, r.flapChanges)}) {
    if (!why.empty()) return why;
  }
  const std::string problem = RulesProblem(r);
  return problem.empty() ? "" : problem + " (--raise-rounds N of --window-rounds M)";
}

// Days; the hop statistics outlive the probes they were made from.
std::string ReadRetention(const OptionValues& a, lm::records::RetentionPolicy& r) {
  int probeDays = static_cast<int>(r.probes.count() / 24), hopDays = static_cast<int>(r.hops.count() / 24);
  for (const std::string& why : {Count(a, "--keep-probes", 1, 36500, probeDays),
                                 Count(a, "--keep-hop-stats", 1, 36500, hopDays)}) {
    if (!why.empty()) return why;
  }
  if (hopDays < probeDays) return "--keep-hop-stats must be at least --keep-probes (days)";
  r = {std::chrono::hours(probeDays * 24), std::chrono::hours(hopDays * 24)};
  return "";
}

std::vector<std::string> Addresses(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string a = list.substr(start, comma - start);
    a.erase(0, a.find_first_not_of(' '));
    a.erase(a.find_last_not_of(' ') + 1);
    if (!a.empty()) out.push_back(a);
    start = comma + 1;
  }
  return out;
}

bool PlainAddress(const std::string& a) {
  const auto at = a.find('@');
  if (at == std::string::npos || at == 0 || at + 1 == a.size()) return false;
  for (unsigned char c : a) {
    if (c <= ' ' || c == '<' || c == '>' || c == ',' || c == 0x7f) return false;
  }
  return true;
}

std::string DefaultFrom() {
  char host[256] = "localhost";
  ::gethostname(host, sizeof host - 1);
  return std::string("linkmeter@") + host;
}

std::string ReadMail(const OptionValues& a, AlarmSettings& s) {
  const bool mailing = a.Has("--mail-to") || a.Has("--smtp") || a.Has("--smtp-credentials");
  if (!mailing) return "";
  if (!a.Has("--mail-to") || !a.Has("--smtp")) return "e-mail needs both --mail-to ADDRESS and --smtp URL";
  MailSettings m;
  m.smtpUrl = *a.Get("--smtp");
  if (!StartsWith(m.smtpUrl, "smtp://") && !StartsWith(m.smtpUrl, "smtps://")) return "--smtp takes smtp://HOST[:PORT] or smtps://HOST[:PORT]";
  m.to = Addresses(*a.Get("--mail-to"));
  m.from = a.Get("--mail-from").value_or(DefaultFrom());
  if (m.to.empty()) return "--mail-to takes one or more addresses separated by commas";
  for (const std::string& to : m.to) {
    if (!PlainAddress(to)) return "not an e-mail address: " + to;
  }
  if (!PlainAddress(m.from)) return "--mail-from is not an e-mail address: " + m.from;
  const std::string tls = a.Get("--smtp-tls").value_or("starttls");
  if (tls != "starttls" && tls != "none") return "--smtp-tls takes starttls or none";
  m.startTls = tls == "starttls";
  const UrlParts url = SplitUrl(m.smtpUrl);
  if (!url.ok) return "--smtp takes smtp://HOST[:PORT] or smtps://HOST[:PORT]";
  const bool clear = !m.startTls && url.scheme == "smtp";
  if (clear && !url.password.empty()) {
    return "--smtp " + HiddenUrl(m.smtpUrl) + " carries a password and --smtp-tls none would send it in the clear: "
           "use smtps:// or STARTTLS";
  }
  s.secrets.push_back(url.password);
  if (auto file = a.Get("--smtp-credentials")) {
    if (clear) return "--smtp-credentials needs TLS: a password is never sent in the clear";
    std::string why;
    auto credentials = ReadSmtpCredentials(*file, why);
    if (!credentials) return why;
    m.user = credentials->user;
    m.password = credentials->password;
    s.secrets.push_back(m.password);
  }
  m.digest = a.Has("--mail-digest");
  m.messageDomain = MessageDomain(s.monitor);
  s.mail = m;
  return "";
}

std::string ReadOutputs(const OptionValues& a, AlarmSettings& s) {
  if (auto url = a.Get("--webhook")) {
    const UrlParts parts = SplitUrl(*url);
    if (!parts.ok || (parts.scheme != "http" && parts.scheme != "https")) return "--webhook takes an http:// or https:// URL";
    if (parts.scheme == "http" && CarriesSecret(*url) && !IsLoopbackHost(parts.host)) {
      return "--webhook " + HiddenUrl(*url) + " carries a token and http:// would send it in the clear to " +
             parts.host + ": use https:// (plain http:// only to a receiver on this computer)";
    }
    s.secrets.push_back(parts.password);
    if (!parts.query.empty()) s.secrets.push_back(parts.query);
    s.webhook = *url;
  }
  if (auto file = a.Get("--metrics-file")) {
    const std::filesystem::path folder = std::filesystem::absolute(*file).parent_path();
    std::error_code ec;
    if (!std::filesystem::is_directory(folder, ec)) return "--metrics-file: no folder " + folder.string();
    s.metricsFile = std::filesystem::absolute(*file).string();
  }
  if (auto max = a.Get("--retry-max")) {
    auto d = ParseDuration(*max);
    if (!d) return "--retry-max takes a duration such as 30s, 5m or 1h";
    s.retry.ceiling = *d;
  }
  return "";
}

std::string Timeout(const OptionValues& a, const char* option, std::chrono::milliseconds& field) {
  auto text = a.Get(option);
  if (!text) return "";
  auto d = ParseDuration(*text);
  if (!d || *d > std::chrono::hours(1)) return std::string(option) + " takes a duration from 1s to 1h such as 10s or 1m";
  field = *d;
  return "";
}

std::string ReadSync(const OptionValues& a, AlarmSettings& s) {
  auto server = a.Get("--sync-server");
  if (!server) return "";
  SyncSettings sync;
  sync.server = *server;
  const std::string tls = a.Get("--sync-tls").value_or("verify-full");
  if (tls != "verify-full" && tls != "accept-unverified") return "--sync-tls takes verify-full or accept-unverified";
  sync.acceptUnverifiedTls = tls == "accept-unverified";
  for (const std::string& why : {Timeout(a, "--sync-statement-timeout", sync.statementTimeout),
                                 Timeout(a, "--sync-lock-timeout", sync.lockTimeout)}) {
    if (!why.empty()) return why;
  }
  if (auto max = a.Get("--retry-max")) sync.retryCeiling = *ParseDuration(*max);
  try {
    lm::teamsync::PgConnection::ConnInfo(sync.server);  // a password in it is refused, never echoed
    // Refused at the start rather than at every try of a year of rounds.
    if (!sync.acceptUnverifiedTls) lm::teamsync::PgConnection::RequireVerifiedTls(sync.server);
  } catch (const std::exception& e) {
    return std::string("--sync-server: ") + e.what();
  }
  s.sync = sync;
  return "";
}

}  // namespace

std::string MessageDomain(const std::string& monitor) {
  std::string domain;
  for (char c : monitor) domain += std::isalnum(static_cast<unsigned char>(c)) || c == '-' ? c : '-';
  return (domain.empty() ? "" : domain + ".") + "linkmeter";
}

std::optional<AlarmSettings> ReadAlarmSettings(const OptionValues& merged, std::string& problem) {
  AlarmSettings s;
  if (auto unit = merged.Get("--unit")) s.monitor = "monitor-" + *unit;
  problem = ReadRules(merged, s.rules);
  if (problem.empty()) problem = ReadMail(merged, s);
  if (problem.empty()) problem = ReadOutputs(merged, s);
  if (problem.empty()) problem = ReadSync(merged, s);
  if (problem.empty()) problem = ReadRetention(merged, s.retention);
  problem = Scrubbed(problem, s.secrets);
  if (!problem.empty()) return std::nullopt;
  return s;
}

std::vector<std::unique_ptr<NoticeChannel>> MakeChannels(const AlarmSettings& s) {
  std::vector<std::unique_ptr<NoticeChannel>> channels;
  if (s.webhook) channels.push_back(std::make_unique<WebhookChannel>(*s.webhook, s.limits));
  if (s.mail) channels.push_back(std::make_unique<MailChannel>(*s.mail, s.limits));
  return channels;
}

std::string ChannelsText(const AlarmSettings& s) {
  std::string text;
  auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  for (const auto& channel : MakeChannels(s)) add(channel->Describe());
  if (s.metricsFile) add("metrics " + *s.metricsFile);
  if (s.sync) add("team server " + lm::teamsync::PgConnection::Printable(s.sync->server));
  return Scrubbed(text.empty() ? "none" : text, s.secrets);
}

}  // namespace lm::monitor
