#include "lm/monitor/outbox/NoticeFormat.h"

#include <glib.h>

#include <cstdio>
#include <memory>

#include "lm/monitor/rules/TextList.h"
#include "lm/monitor/rules/WallTime.h"

namespace lm::monitor {
namespace {

using lm::json::Array;
using lm::json::MakeObject;
using lm::json::Number;
using lm::json::Object;
using lm::json::Value;

std::string Text(const Value& v, const std::string& key) {
  return v.is<Object>() && v.contains(key) && v.get(key).is<std::string>() ? v.get(key).get<std::string>() : "";
}

int64_t Int(const Value& v, const std::string& key) {
  return v.is<Object>() && v.contains(key) && lm::json::IsIntegral(v.get(key), 0, 9.0e15)
             ? static_cast<int64_t>(v.get(key).get<double>())
             : 0;
}

const Array& List(const Value& v, const std::string& key) {
  static const Array empty;
  return v.is<Object>() && v.contains(key) && v.get(key).is<Array>() ? v.get(key).get<Array>() : empty;
}

// Line breaks and other control bytes in a header field would start a new
// field: each becomes a space.
std::string HeaderValue(std::string text) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  }
  return text;
}

std::string EncodedSubject(const std::string& subject) {
  const std::string clean = HeaderValue(subject);
  bool ascii = true;
  for (unsigned char c : clean) ascii = ascii && c < 0x80;
  if (ascii) return clean;
  std::unique_ptr<gchar, decltype(&g_free)> b64(
      g_base64_encode(reinterpret_cast<const guchar*>(clean.data()), clean.size()), g_free);
  return std::string("=?UTF-8?B?") + b64.get() + "?=";
}

std::string MailDate(int64_t ms) { return UtcFormat(ms, "%a, %d %b %Y %H:%M:%S +0000"); }

std::string Head(const MailHeader& h, const std::string& subject) {
  std::string to;
  for (const std::string& a : h.to) to += (to.empty() ? "" : ", ") + HeaderValue(a);
  return "From: " + HeaderValue(h.from) + "\r\nTo: " + to + "\r\nSubject: " + EncodedSubject(subject) +
         "\r\nDate: " + MailDate(h.date) + "\r\nMessage-ID: <" + HeaderValue(h.messageId) +
         ">\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n"
         "Auto-Submitted: auto-generated\r\n\r\n";
}

std::string UpperStatus(const std::string& status) {
  return status == "firing" ? "FIRING" : status == "resolved" ? "RESOLVED" : "TEST";
}

// The body lines of one notice, LF ends (made CRLF when the message is built).
std::string Block(const Notice& n) {
  std::string text = n.summary + "\n\nStatus: " + n.status + "\nAlarm: " + n.key + "\nSite: " +
                     (n.siteName.empty() ? n.site : n.siteName + " (" + n.site + ")") + "\n";
  if (!n.unit.empty()) text += "Unit: " + n.unit + "\n";
  if (!n.hop.empty()) text += "Link: " + n.hop + "\n";
  if (n.startsAt) text += "Started: " + Rfc3339(n.startsAt) + "\n";
  if (n.endsAt) text += "Ended: " + Rfc3339(n.endsAt) + "\n";
  for (const RoundSample& r : n.evidence) text += "Raised by the round of " + Rfc3339(r.at) + "\n";
  for (const std::string& u : n.unreachable) text += "Unreachable: " + u + "\n";
  return text;
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

}  // namespace

Value NoticeToJson(const Notice& n) {
  Array evidence;
  for (const RoundSample& r : n.evidence) evidence.push_back(MakeObject({{"at", Number(r.at)}, {"value", Value(r.value)}}));
  return MakeObject({{"key", Value(n.key)}, {"status", Value(n.status)}, {"alertname", Value(n.alertname)},
                     {"rule", Value(n.rule)}, {"site", Value(n.site)}, {"siteName", Value(n.siteName)},
                     {"unit", Value(n.unit)}, {"hop", Value(n.hop)}, {"summary", Value(n.summary)},
                     {"startsAt", Number(n.startsAt)}, {"endsAt", Number(n.endsAt)}, {"evidence", Value(evidence)},
                     {"unreachable", TextList(n.unreachable)}});
}

Notice NoticeFromJson(const Value& v) {
  Notice n{Text(v, "key"), Text(v, "status"), Text(v, "alertname"), Text(v, "rule"), Text(v, "site"),
           Text(v, "siteName"), Text(v, "unit"), Text(v, "hop"), Text(v, "summary"), Int(v, "startsAt"),
           Int(v, "endsAt"), {}, {}};
  for (const Value& r : List(v, "evidence")) n.evidence.push_back({Int(r, "at"), Condition::kBad, 0});
  for (const Value& u : List(v, "unreachable")) {
    if (u.is<std::string>()) n.unreachable.push_back(u.get<std::string>());
  }
  return n;
}

Notice TestNotice(const std::string& site, const std::string& siteName, int64_t at) {
  Notice n;
  n.key = site + "/test/" + std::to_string(at);
  n.status = "firing";
  n.alertname = "LinkmeterTest";
  n.rule = "test";
  n.site = site;
  n.siteName = siteName;
  const std::string named = site.empty() ? siteName : siteName.empty() ? site : siteName + " (" + site + ")";
  n.summary = "Test notice from the Linkmeter monitor of " + named + ": this channel works";
  n.startsAt = at;
  return n;
}

std::string Rfc3339(int64_t ms) {
  if (ms <= 0) return "0001-01-01T00:00:00Z";
  char full[48];
  std::snprintf(full, sizeof full, "%s.%03dZ", UtcFormat(ms, "%Y-%m-%dT%H:%M:%S").c_str(), static_cast<int>(ms % 1000));
  return full;
}

std::string Fingerprint(const std::string& key) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a: stable across builds and machines
  for (unsigned char c : key) hash = (hash ^ c) * 1099511628211ull;
  char text[20];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

std::string WebhookBody(const Notice& n) {
  Object labels{{"alertname", Value(n.alertname)}, {"site", Value(n.site)}, {"severity", Value("warning")}};
  if (!n.unit.empty()) labels["unit"] = Value(n.unit);
  if (!n.hop.empty()) labels["hop"] = Value(n.hop);
  if (!n.siteName.empty()) labels["site_name"] = Value(n.siteName);
  Object annotations{{"summary", Value(n.summary)}};
  std::string unreachable;
  for (const std::string& u : n.unreachable) unreachable += (unreachable.empty() ? "" : ",") + u;
  if (!unreachable.empty()) annotations["unreachable"] = Value(unreachable);
  const Value alert = MakeObject({{"status", Value(n.status == "resolved" ? "resolved" : "firing")},
                                  {"labels", Value(labels)}, {"annotations", Value(annotations)},
                                  {"startsAt", Value(Rfc3339(n.startsAt))}, {"endsAt", Value(Rfc3339(n.endsAt))},
                                  {"generatorURL", Value("")}, {"fingerprint", Value(Fingerprint(n.key))}});
  const Object group{{"alertname", Value(n.alertname)}, {"site", Value(n.site)}};
  return lm::json::ToText(MakeObject(
      {{"version", Value("4")}, {"groupKey", Value("{}:{alertname=\"" + n.alertname + "\", site=\"" + n.site + "\"}")},
       {"truncatedAlerts", Number(0)}, {"status", alert.get("status")}, {"receiver", Value("linkmeter")},
       {"groupLabels", Value(group)}, {"commonLabels", Value(labels)}, {"commonAnnotations", Value(annotations)},
       {"externalURL", Value("")}, {"alerts", Value(Array{alert})}}));
}

std::string MailMessage(const MailHeader& header, const Notice& n) {
  const std::string subject = "[" + UpperStatus(n.status) + "] " + n.alertname + " " +
                              (n.siteName.empty() ? n.site : n.siteName) + ": " + n.summary;
  return Head(header, subject) + Crlf(Block(n) + "\n-- \nLinkmeter monitor\n");
}

std::string DigestMessage(const MailHeader& header, const std::vector<Notice>& notices) {
  int firing = 0, resolved = 0;
  for (const Notice& n : notices) (n.status == "resolved" ? resolved : firing) += 1;
  const std::string subject = "[Linkmeter] digest: " + std::to_string(firing) + " firing, " +
                              std::to_string(resolved) + " resolved";
  std::string body;
  for (const Notice& n : notices) body += "[" + UpperStatus(n.status) + "] " + Block(n) + "\n";
  return Head(header, subject) + Crlf(body + "-- \nLinkmeter monitor\n");
}

}  // namespace lm::monitor
