// What leaves the monitor and what it keeps: the metrics file read back by
// a parser of the exposition format, the webhook body and e-mail as a
// receiver reads them, the outbox and alarm events in the site records,
// and the configuration file with its refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <unistd.h>

#include "linkmeter/cli/alarms/AlarmSettings.h"
#include "linkmeter/cli/alarms/MetricsFile.h"
#include "linkmeter/cli/alarms/MonitorConfig.h"
#include "linkmeter/cli/alarms/NoticeFormat.h"
#include "lm/records/AlarmLedger.h"

using namespace linkmeter::cli::alarms;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("lm-alarm-" + std::to_string(::getpid()) + "-" +
                                               std::to_string(reinterpret_cast<uintptr_t>(this)));
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
};

void WriteText(const fs::path& p, const std::string& text, fs::perms mode = fs::perms::owner_read | fs::perms::owner_write) {
  std::ofstream(p) << text;
  fs::permissions(p, mode);
}

// A sample line of the text exposition format: name, labels, value.
struct Sample {
  std::string name;
  std::map<std::string, std::string> labels;
  double value;
};

// Parses the whole text as a scraper would; a line that does not parse
// fails the test. Every sample's family must have had HELP and TYPE first.
std::vector<Sample> ParseExposition(const std::string& text) {
  static const std::regex help(R"(# HELP ([a-zA-Z_:][a-zA-Z0-9_:]*) .+)"), type(R"(# TYPE ([a-zA-Z_:][a-zA-Z0-9_:]*) (gauge|counter))");
  static const std::regex sample(R"(([a-zA-Z_:][a-zA-Z0-9_:]*)(\{(.*)\})? (\S+))");
  static const std::regex label(R"(([a-zA-Z_][a-zA-Z0-9_]*)="((?:[^"\\]|\\["\\n])*)\"(,|$))");
  std::vector<Sample> samples;
  std::set<std::string> helped, typed;
  std::istringstream in(text);
  std::string line;
  std::smatch m;
  while (std::getline(in, line)) {
    if (std::regex_match(line, m, help)) { helped.insert(m[1]); continue; }
    if (std::regex_match(line, m, type)) { typed.insert(m[1]); continue; }
    EXPECT_TRUE(std::regex_match(line, m, sample)) << line;
    Sample s{m[1], {}, std::stod(m[4])};
    EXPECT_TRUE(helped.count(s.name) && typed.count(s.name)) << "no HELP/TYPE before " << line;
    std::string labels = m[3];
    for (std::smatch l; !labels.empty(); labels = l.suffix()) {
      const bool parsed = std::regex_search(labels, l, label) && l.position(0) == 0;
      EXPECT_TRUE(parsed) << line;
      if (!parsed) break;
      s.labels[l[1]] = l[2];
    }
    samples.push_back(s);
  }
  return samples;
}

RoundObservation SmallRound() {
  RoundObservation r{"009A0011", "GREEN \"HOUSE\"\\1\nx", 1'765'000'123'000, {}, {}};
  r.hops = {{"009A0011", "00C80101", 4, 3, 120.0, "weak"}, {"00C80101", "00BC0103", 4, 0, std::nullopt, "silent"}};
  r.units = {{"00C80101", "R1", true, true, 88.0, "ok", {}}, {"00BC0103", "FIELD", false, false, std::nullopt, "none", {"00C80101"}}};
  return r;
}

TEST(AlarmMetrics, FileParsesAsExpositionFormatAndIsReplacedWhole) {
  EngineState state;
  state.lastHeard = {{"00C80101", 1'765'000'123'000}, {"00BC0103", 1'764'999'000'000}};
  state.subjects["a"].firing = true;
  state.subjects["b"].firing = false;
  const std::vector<Sample> samples = ParseExposition(MetricsText(SmallRound(), state));
  auto find = [&](const std::string& name, const std::string& key, const std::string& value) -> const Sample* {
    for (const Sample& s : samples) {
      if (s.name == name && s.labels.count(key) && s.labels.at(key) == value) return &s;
    }
    return nullptr;
  };
  ASSERT_TRUE(find("linkmeter_hop_level_median", "to", "00C80101"));
  EXPECT_EQ(find("linkmeter_hop_level_median", "to", "00C80101")->value, 120);
  EXPECT_FALSE(find("linkmeter_hop_level_median", "to", "00BC0103"));  // nothing answered: no median
  EXPECT_EQ(find("linkmeter_hop_loss_ratio", "to", "00C80101")->value, 0.25);
  EXPECT_EQ(find("linkmeter_hop_loss_ratio", "to", "00BC0103")->value, 1);
  EXPECT_EQ(find("linkmeter_unit_battery_percent", "unit", "00C80101")->value, 88);
  EXPECT_EQ(find("linkmeter_unit_last_heard_timestamp_seconds", "unit", "00BC0103")->value, 1'764'999'000);
  EXPECT_EQ(find("linkmeter_site_alarms_firing", "site", "009A0011")->value, 1);
  EXPECT_EQ(find("linkmeter_site_last_survey_timestamp_seconds", "site", "009A0011")->value, 1'765'000'123);

  TempDir dir;
  const fs::path file = dir.path / "linkmeter.prom";
  WriteText(file, "old");
  EXPECT_EQ(WriteFileAtomically(file, "new\n"), "");
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "new\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);  // no temporary left
  EXPECT_NE(WriteFileAtomically((dir.path / "no" / "such").string(), "x"), "");
}

Notice RepeaterNotice(const std::string& status) {
  Notice n{"009A0011/silent-repeater/00C80102", status, "RepeaterSilent", "silent-repeater", "009A0011",
           "GREENHOUSE\r\nBcc: victim@example.org", "00C80102", "", "Repeater R2 (00C80102) is silent",
           1'765'000'000'000, status == "resolved" ? 1'765'000'360'000 : 0, {{1'765'000'000'000, Condition::kBad, 0}},
           {"00BC0103", "00C20104"}};
  return n;
}

TEST(AlarmNotices, WebhookBodyIsWhatAlertWebhookReceiversRead) {
  for (const std::string status : {"firing", "resolved"}) {
    // Through the outbox's JSON and back, as the dispatcher sends it.
    const Notice n = NoticeFromJson(NoticeToJson(RepeaterNotice(status)));
    const auto body = lm::json::Parse(WebhookBody(n));
    ASSERT_TRUE(body) << status;
    EXPECT_EQ(body->get("version").get<std::string>(), "4");
    EXPECT_EQ(body->get("status").get<std::string>(), status);
    const auto& alert = body->get("alerts").get<lm::json::Array>().at(0);
    EXPECT_EQ(alert.get("status").get<std::string>(), status);
    EXPECT_EQ(alert.get("labels").get("alertname").get<std::string>(), "RepeaterSilent");
    EXPECT_EQ(alert.get("labels").get("site").get<std::string>(), "009A0011");
    EXPECT_EQ(alert.get("labels").get("unit").get<std::string>(), "00C80102");
    EXPECT_EQ(alert.get("annotations").get("summary").get<std::string>(), n.summary);
    EXPECT_EQ(alert.get("annotations").get("unreachable").get<std::string>(), "00BC0103,00C20104");
    EXPECT_EQ(alert.get("startsAt").get<std::string>(), "2025-12-06T05:46:40.000Z");
    EXPECT_EQ(alert.get("endsAt").get<std::string>(), status == "firing" ? "0001-01-01T00:00:00Z" : "2025-12-06T05:52:40.000Z");
    EXPECT_EQ(alert.get("fingerprint").get<std::string>(), Fingerprint(n.key));
  }
}

TEST(AlarmNotices, MailKeepsItsHeaderWhateverTheNamesHold) {
  MailHeader header{"linkmeter@site.example", {"ops@example.org"}, 1'765'000'000'000, "notice-7.abc@linkmeter"};
  const std::string message = MailMessage(header, RepeaterNotice("firing"));
  const std::string head = message.substr(0, message.find("\r\n\r\n"));
  EXPECT_EQ(head.find("\r\nBcc:"), std::string::npos) << head;  // the name's line break did not start a field
  EXPECT_NE(head.find("Subject: [FIRING] RepeaterSilent GREENHOUSE  Bcc: victim@example.org: Repeater R2"), std::string::npos) << head;
  EXPECT_EQ(std::regex_search(message, std::regex("[^\r]\n")), false);  // CRLF throughout
  Notice japanese = RepeaterNotice("resolved");
  japanese.siteName = "温室";
  const std::string encoded = MailMessage(header, japanese);
  EXPECT_NE(encoded.find("Subject: =?UTF-8?B?"), std::string::npos);
  const std::string digest = DigestMessage(header, {RepeaterNotice("firing"), japanese});
  EXPECT_NE(digest.find("Subject: [Linkmeter] digest: 1 firing, 1 resolved"), std::string::npos);
}

TEST(AlarmLedger, OutboxEventsAcksAndSilences) {
  lm::records::AlarmLedger ledger("");
  const std::string key = "009A0011/silent-unit/00B80101";
  lm::records::AlarmRoundWrite raise{0x009A0011, 1000, "{}", {{0, 0x009A0011, key, "raised", 1000, {}, "silent", "{}"}},
                                     {{0, "webhook", key, "firing", 1000, "{\"n\":1}"}, {0, "mail", key, "firing", 1000, "{}"}}};
  ledger.SaveRound(raise);
  lm::records::AlarmRoundWrite resolve{0x009A0011, 2000, "{\"s\":2}", {{0, 0x009A0011, key, "resolved", 2000, {}, "back", "{}"}},
                                       {{0, "webhook", key, "resolved", 2000, "{\"n\":2}"}}};
  ledger.SaveRound(resolve);
  EXPECT_EQ(ledger.LoadState(0x009A0011), "{\"s\":2}");
  // Oldest first, one channel at a time, until marked delivered.
  auto pending = ledger.Pending("webhook", 10);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].noticeJson, "{\"n\":1}");
  ledger.MarkDelivered({pending[0].id}, 1500);
  ledger.MarkDelivered({pending[0].id}, 1600);  // twice is once
  pending = ledger.Pending("webhook", 10);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].status, "resolved");
  EXPECT_EQ(ledger.Pending("mail", 10).size(), 1u);

  auto alarms = ledger.Alarms(std::nullopt, false, 10);
  ASSERT_EQ(alarms.size(), 1u);
  EXPECT_EQ(alarms[0].endedAt, 2000);
  EXPECT_TRUE(ledger.Alarms(0x009A0011, true, 10).empty());
  EXPECT_TRUE(ledger.Acknowledge(alarms[0].raised.id, 3000, "ops"));
  EXPECT_FALSE(ledger.Acknowledge(alarms[0].raised.id + 100, 3000, "ops"));
  EXPECT_EQ(ledger.Alarm(alarms[0].raised.id)->ackedBy, "ops");
  EXPECT_EQ(ledger.Events(alarms[0].raised.id).size(), 3u);  // raised, resolved, ack

  ledger.AddSilence({0, std::nullopt, "unit:00B80101", 1000, 5000});
  EXPECT_EQ(ledger.Silences(4999).size(), 1u);
  EXPECT_TRUE(ledger.Silences(5000).empty());
  EXPECT_TRUE(ledger.Silences(999).empty());
}

TEST(AlarmSettingsFile, MergedUnderOptionsAndRefusedWhenWrong) {
  TempDir dir;
  const fs::path conf = dir.path / "monitor-009A0011.conf";
  WriteText(dir.path / "smtp.cred", "relay-user\nsecret\n");
  WriteText(conf, "[monitor]\nevery = 30m\nwebhook = http://127.0.0.1:9/hook\nmail_to = a@example.org, b@example.org\n"
                  "smtp = smtps://mail.example.org\nsmtp_credentials = smtp.cred\nmail_digest = true\nmetrics_file = m.prom\n");
  linkmeter::cli::ParsedArgs args;
  args.values = {{"--config", conf.string()}, {"--every", "5m"}};
  linkmeter::cli::ParsedArgs merged;
  ASSERT_EQ(MergeConfig(args, merged), "");
  EXPECT_EQ(merged.Get("--every"), "5m");  // the option wins
  EXPECT_EQ(merged.Get("--smtp-credentials"), (dir.path / "smtp.cred").string());
  std::string problem;
  auto settings = ReadAlarmSettings(merged, problem);
  ASSERT_TRUE(settings) << problem;
  EXPECT_EQ(settings->mail->to, (std::vector<std::string>{"a@example.org", "b@example.org"}));
  EXPECT_EQ(settings->mail->user, "relay-user");
  EXPECT_TRUE(settings->mail->digest);
  EXPECT_EQ(settings->metricsFile, (dir.path / "m.prom").string());

  struct Case {
    const char* text;
    const char* fault;
  } cases[] = {
      {"[monitor]\nmail_too = x@y\n", "unknown key mail_too"},
      {"[alarms]\nwebhook = http://x\n", "unknown group [alarms]"},
      {"[monitor]\nmail_digest = often\n", "mail_digest must be true or false"},
      {"[monitor]\nwebhook = ftp://x\n", "--webhook takes an http"},
      {"[monitor]\nmail_to = a@example.org\n", "needs both --mail-to"},
      {"[monitor]\nraise_rounds = 4\n", "the rounds that raise must be 1 to the window"},
      {"[monitor]\nmail_to = a@b\nsmtp = smtp://h\nsmtp_tls = none\nsmtp_credentials = smtp.cred\n", "never sent in the clear"},
      {"[monitor]\nmetrics_file = no/such/m.prom\n", "no folder"},
  };
  for (const Case& c : cases) {
    WriteText(conf, c.text);
    linkmeter::cli::ParsedArgs bad;
    args.values = {{"--config", conf.string()}};
    std::string fault = MergeConfig(args, bad);
    if (fault.empty()) ReadAlarmSettings(bad, fault);
    EXPECT_NE(fault.find(c.fault), std::string::npos) << c.text << " gave: " << fault;
  }
  // Credentials others may read are refused.
  WriteText(dir.path / "open.cred", "u\np\n", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string why;
  EXPECT_FALSE(ReadSmtpCredentials((dir.path / "open.cred").string(), why));
  EXPECT_NE(why.find("mode 0640"), std::string::npos) << why;
}

}  // namespace
