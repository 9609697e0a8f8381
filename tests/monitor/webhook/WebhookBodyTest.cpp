// The webhook body as a receiver of alert-manager webhooks reads it.
#include <gtest/gtest.h>

#include "MonitorTestSupport.h"

#include "lm/monitor/outbox/NoticeFormat.h"

using namespace lm::monitor;
using namespace lm::monitor::test;

namespace {

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

}  // namespace
