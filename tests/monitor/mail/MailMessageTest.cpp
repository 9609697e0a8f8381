// The e-mail as a mail reader takes it, whatever the names hold.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"
#include <regex>

#include "lm/monitor/outbox/NoticeFormat.h"

using namespace lm::monitor;
using namespace lm::monitor::test;

namespace {

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

}  // namespace
