// The outbox, alarm events, acknowledgements and silences in the site
// records; the configuration file with its refusals.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"

#include "lm/monitor/config/AlarmSettings.h"
#include "lm/monitor/config/MonitorConfig.h"
#include "lm/monitor/mail/MailChannel.h"
#include "lm/records/AlarmLedger.h"
#include "lm/records/Database.h"

using namespace lm::monitor;
using namespace lm::monitor::test;

namespace {

TEST(AlarmLedger, OutboxEventsAcksAndSilences) {
  lm::records::AlarmLedger ledger("");
  const std::string key = "009A0011/silent-unit/00B80101";
  // Monitor A tells its webhook and its mail relay; monitor B, sharing the
  // store, has a webhook of its own.
  const std::string a = "monitor-009A0011", b = "monitor-009C0021";
  lm::records::AlarmRoundWrite raise{0x009A0011, 1000, "{}", {{0, 0x009A0011, key, "raised", 1000, {}, "silent", "{}"}},
                                     {{0, "webhook", key, "firing", 1000, "{\"n\":1}", a, "webhook:a"},
                                      {0, "mail", key, "firing", 1000, "{}", a, "mail:a"}}};
  ledger.SaveRound(raise);
  lm::records::AlarmRoundWrite resolve{0x009A0011, 2000, "{\"s\":2}", {{0, 0x009A0011, key, "resolved", 2000, {}, "back", "{}"}},
                                       {{0, "webhook", key, "resolved", 2000, "{\"n\":2}", a, "webhook:a"}}};
  ledger.SaveRound(resolve);
  ledger.AddNotice({0, "webhook", "009C0021/silent-unit/00B80201", "firing", 2100, "{\"n\":3}", b, "webhook:b"});
  EXPECT_EQ(ledger.LoadState(0x009A0011), "{\"s\":2}");
  // Oldest first, one receiver of one monitor at a time, until marked delivered.
  auto pending = ledger.Pending(a, "webhook:a", 10);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].noticeJson, "{\"n\":1}");
  ledger.MarkDelivered({pending[0].id}, 1500);
  ledger.MarkDelivered({pending[0].id}, 1600);  // twice is once
  pending = ledger.Pending(a, "webhook:a", 10);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].status, "resolved");
  EXPECT_EQ(ledger.Pending(a, "mail:a", 10).size(), 1u);
  ASSERT_EQ(ledger.Pending(b, "webhook:b", 10).size(), 1u);  // B sees its own only
  EXPECT_EQ(ledger.Pending(b, "webhook:b", 10)[0].noticeJson, "{\"n\":3}");
  EXPECT_TRUE(ledger.Pending(b, "webhook:a", 10).empty());
  EXPECT_TRUE(ledger.Pending(a, "webhook:b", 10).empty());
  // A notice an older build left unaddressed goes to the monitor of its site.
  ledger.AddNotice({0, "webhook", "009C0021/silent-unit/00B80202", "firing", 2200, "{\"n\":4}", "", ""});
  EXPECT_EQ(ledger.ClaimUnaddressed(a, "webhook:a", "webhook", "009A0011/"), 0);
  EXPECT_EQ(ledger.ClaimUnaddressed(b, "webhook:b", "mail", "009C0021/"), 0);
  EXPECT_EQ(ledger.ClaimUnaddressed(b, "webhook:b", "webhook", "009C0021/"), 1);
  EXPECT_EQ(ledger.Pending(b, "webhook:b", 10).size(), 2u);

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

// Pending reads on from the oldest notice it last found undelivered; what
// another process adds or delivers, and an older build's notice claimed
// later (a lower id), are still seen.
TEST(AlarmLedger, PendingSkipsOnlyWhatWasDelivered) {
  TempDir dir;
  const auto store = dir.path / "site-records.sqlite";
  lm::records::AlarmLedger ledger(store), other(store);
  const std::string m = "monitor-009A0011", to = "webhook:a";
  const auto notice = [&](int n, const std::string& monitor) {
    return lm::records::NoticeRow{0, "webhook", "009A0011/silent-unit/" + std::to_string(n), "firing", 1000 + n,
                                  "{}", monitor, monitor.empty() ? "" : to};
  };
  const int64_t older = ledger.AddNotice(notice(0, ""));
  for (int n = 1; n <= 3; ++n) ledger.AddNotice(notice(n, m));
  auto pending = ledger.Pending(m, to, 1);
  ASSERT_EQ(pending.size(), 1u);
  ledger.MarkDelivered({pending[0].id}, 2000);
  other.MarkDelivered({pending[0].id + 1}, 2000);  // the third, by another process
  pending = ledger.Pending(m, to, 10);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].key, "009A0011/silent-unit/3");
  other.AddNotice(notice(4, m));
  EXPECT_EQ(ledger.Pending(m, to, 10).size(), 2u);
  EXPECT_EQ(ledger.ClaimUnaddressed(m, to, "webhook", "009A0011/"), 1);
  pending = ledger.Pending(m, to, 10);
  ASSERT_EQ(pending.size(), 3u);
  EXPECT_EQ(pending[0].id, older);
}

// The retention forgets a monitor's delivered notices past their time:
// never one still to go, another monitor's, or the store's newest (an id
// is never given twice).
TEST(AlarmLedger, DeliveredNoticesPastTheirTimeAreForgotten) {
  TempDir dir;
  const auto store = dir.path / "site-records.sqlite";
  lm::records::AlarmLedger ledger(store);
  const std::string a = "monitor-009A0011", b = "monitor-009C0021";
  const auto add = [&](const std::string& monitor, int64_t at) {
    return ledger.AddNotice({0, "webhook", "009A0011/silent-unit/1", "firing", at, "{}", monitor, "webhook:" + monitor});
  };
  const int64_t old = add(a, 1000), waiting = add(a, 1000), other = add(b, 1000), fresh = add(a, 5000), newest = add(a, 1000);
  ledger.MarkDelivered({old, other, fresh, newest}, 6000);
  lm::records::Database db(store);
  EXPECT_EQ(lm::records::ForgetDeliveredNotices(db, a, 2000), 1);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM alarm_outbox WHERE id = " + std::to_string(old)), 0);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM alarm_deliveries WHERE outbox_id = " + std::to_string(old)), 0);
  EXPECT_EQ(db.QueryInt("SELECT count(*) FROM alarm_outbox"), 4);
  EXPECT_GT(add(a, 7000), newest);
  const auto pending = ledger.Pending(a, "webhook:" + a, 10);
  ASSERT_EQ(pending.size(), 2u);
  EXPECT_EQ(pending[0].id, waiting);
  EXPECT_EQ(lm::records::ForgetDeliveredNotices(db, a, 2000), 1);  // no longer the newest
  EXPECT_EQ(ledger.Pending(a, "webhook:" + a, 10).size(), 2u);
}

TEST(AlarmSettingsFile, MergedUnderOptionsAndRefusedWhenWrong) {
  TempDir dir;
  const fs::path conf = dir.path / "monitor-009A0011.conf";
  WriteText(dir.path / "smtp.cred", "relay-user\nsecret\n");
  WriteText(conf, "[monitor]\nevery = 30m\nwebhook = http://127.0.0.1:9/hook\nmail_to = a@example.org, b@example.org\n"
                  "smtp = smtps://mail.example.org\nsmtp_credentials = smtp.cred\nmail_digest = true\nmetrics_file = m.prom\n"
                  "keep_probes = 14\n");
  OptionValues args;
  args.values = {{"--config", conf.string()}, {"--every", "5m"}};
  OptionValues merged;
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
  EXPECT_EQ(settings->retention.probes, std::chrono::hours(14 * 24));
  EXPECT_EQ(settings->retention.hops, std::chrono::hours(365 * 24));  // the default

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
      {"[monitor]\nkeep_probes = 0\n", "--keep-probes takes a whole number from 1"},
      {"[monitor]\nkeep_probes = 60\nkeep_hop_stats = 30\n", "--keep-hop-stats must be at least --keep-probes"},
  };
  for (const Case& c : cases) {
    WriteText(conf, c.text);
    OptionValues bad;
    args.values = {{"--config", conf.string()}};
    std::string fault = MergeConfig(args, bad);
    if (fault.empty()) ReadAlarmSettings(bad, fault);
    EXPECT_NE(fault.find(c.fault), std::string::npos) << c.text << " gave: " << fault;
  }
}

}  // namespace
