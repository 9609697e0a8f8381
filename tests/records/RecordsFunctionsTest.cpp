// The linkmeter.records page functions driven through the query bridge, as
// the page calls them, against a store in a scratch folder.
#include <gtest/gtest.h>

#include <fstream>

#include "../cef/BridgeTestSupport.h"
#include "RecordsTestSupport.h"
#include "sorrel/cef/BsmsgRouter.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/js/RecordsFunctions.h"

namespace {

using lm::records::test::ScratchDir;
namespace fs = std::filesystem;

// A router with the records functions over a store in `folder` (none: empty).
class Bridge {
 public:
  explicit Bridge(fs::path folder) {
    auto access = folder.empty() ? nullptr
                                 : std::make_shared<Sorrel::Js::RecordsAccess>([folder] { return folder; });
    Sorrel::Js::RegisterRecordsFunctions(manager_, access);
    router_.AttachFactory(manager_.SharedFactory());
  }
  ~Bridge() { router_.Shutdown(); }

  // The answer's JSON; a failure answers {"failed": code1}.
  lm::json::Value Call(const std::string& function, const std::string& arg) {
    const auto* handler = Handler(function);
    if (!handler) return lm::json::MakeObject({{"missing", lm::json::String(function)}});
    auto cb = std::make_shared<bridge_test::RecordingCallback>();
    EXPECT_TRUE(router_.OnQuery(browser_, ++id_, "jsquery:" + handler->QueryName() + " " + arg, false, cb));
    EXPECT_TRUE(cb->WaitFor(1));
    const auto a = cb->Answers().at(0);
    auto v = lm::json::Parse(a.text);
    if (a.success) return v ? *v : lm::json::Value();
    const double code = v && v->contains("code1") ? v->get("code1").get<double>() : 999;
    return lm::json::MakeObject({{"failed", lm::json::Number(code)}, {"text", lm::json::String(a.text)}});
  }
  int64_t Id(const std::string& function, const std::string& arg) {
    const auto v = Call(function, arg);
    EXPECT_TRUE(v.contains("id")) << function << " " << lm::json::ToText(v);
    return v.contains("id") ? static_cast<int64_t>(v.get("id").get<double>()) : -1;
  }
  const Sorrel::cef::JsQueryHandler* Handler(const std::string& function) const {
    for (const auto& [name, h] : manager_.Factory()) {
      if (h->ScriptName() == "linkmeter.records." + function) return h.get();
    }
    return nullptr;
  }
  Sorrel::cef::Manager& manager() { return manager_; }

 private:
  Sorrel::cef::Manager manager_;
  Sorrel::cef::QueryTaskGroup tasks_;
  Sorrel::cef::BsmsgRouter router_{tasks_};
  std::shared_ptr<bridge_test::FakeBrowser> browser_ = std::make_shared<bridge_test::FakeBrowser>();
  int64_t id_ = 0;
};

double Num(const lm::json::Value& v, const char* key) { return v.get(key).get<double>(); }
std::string Text(const lm::json::Value& v, const char* key) { return v.get(key).get<std::string>(); }

constexpr const char* kSite = R"({"site":{"serial":10485761,"name":"North","model":"B-1"},"startedAt":1000,
  "technician":"K","customer":"Water board"})";

// A visit with one record of each kind made through the page functions.
struct RecordedVisit {
  int64_t visit, registration, survey, scan, write;
};

RecordedVisit RecordVisit(Bridge& b, double level) {
  RecordedVisit r{};
  r.visit = b.Id("beginVisit", kSite);
  const std::string v = std::to_string(r.visit);
  r.registration = b.Id("recordRegistration", R"({"visitId":)" + v +
                                                 R"(,"takenAt":1100,"unit":7,"source":"unit","raw":"Zm9vYg==","decoded":{"a":1}})");
  r.survey = b.Id("recordSurvey", R"({"visitId":)" + v + R"(,"registrationId":)" + std::to_string(r.registration) +
                                      R"(,"kind":"site","startedAt":1200,"probesPerRoute":2,"routes":[[10485761,7]],
      "probes":[{"route":0,"seq":0,"at":1201,"answered":true,"raw":[1,2,3]}]})");
  const auto level_ = std::to_string(level);
  EXPECT_EQ(b.Call("surveyProbes", R"({"surveyId":)" + std::to_string(r.survey) +
                                       R"(,"probes":[{"route":0,"seq":1,"at":1202,"answered":false}],"endedAt":1300,
      "hops":[{"route":0,"hop":0,"fromUnit":10485761,"unit":7,"sent":2,"answered":1,"levelMin":)" + level_ +
                                       R"(,"levelAvg":)" + level_ + R"(,"battery":3.1}]})"),
            lm::json::Bool(true));
  r.scan = b.Id("recordScan", R"({"visitId":)" + v +
                                  R"(,"startedAt":1400,"unit":7,"rounds":[{"round":0,"at":1401,"raw":"AQI="}],"endedAt":1500})");
  r.write = b.Id("recordSettingsWrite", R"({"visitId":)" + v +
                                            R"(,"writtenAt":1600,"unit":7,"succeeded":true,"message":"",
      "changes":[{"key":"Interval","old":60,"new":30},{"key":"Name","new":"pump"}]})");
  EXPECT_EQ(b.Call("endVisit", R"({"visitId":)" + v + R"(,"endedAt":2000})"), lm::json::Bool(true));
  return r;
}

TEST(RecordsFunctions, EveryFunctionIsAQueryUnderTheRecordsNamespaceAndDescribed) {
  Bridge b({});
  EXPECT_NE(b.manager().Prelude().find("linkmeter.records=linkmeter.records||{};"), std::string::npos);
  const std::vector<std::string> functions{
      "status", "listSites", "listVisits", "beginVisit", "endVisit", "updateVisit", "recordRegistration",
      "recordDownload", "recordLog", "recordSettingsRead", "recordSurvey", "surveyProbes", "recordScan",
      "recordSettingsWrite", "readVisit", "readRecord", "unitTrend", "exportSite", "exportVisit", "import",
      "recordAcceptance", "recordWaiver", "recordPlan", "recordMapEdit", "readSiteMap", "renderPlanPage", "sync", "syncProgress",
      "serverInit", "alarmTimeline", "alarmsFiring"};
  EXPECT_EQ(b.manager().Factory().Size(), functions.size());
  for (const auto& f : functions) {
    const auto* h = b.Handler(f);
    ASSERT_TRUE(h) << f;
    EXPECT_EQ(h->Script().rfind("linkmeter.records." + f + " = function(arg, onSuccess, onFailure", 0), 0u) << f;
    EXPECT_NE(h->Script().find("app.jsQuery('" + h->QueryName() + "'"), std::string::npos) << f;
    const auto* d = dynamic_cast<const Sorrel::Js::Described*>(h);
    ASSERT_TRUE(d) << f;
    EXPECT_FALSE(d->Doc().failures.empty()) << f;
    EXPECT_NE(d->Doc().example.find("linkmeter.records." + f), std::string::npos) << f;
  }
}

TEST(RecordsFunctions, ThePageModuleNamesEveryRegisteredFunction) {
  Bridge b({});
  std::ifstream in(LM_PAGE_RECORDS_JS);
  const std::string js((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto from = js.find("RECORDS_FUNCTIONS = Object.freeze([");
  ASSERT_NE(from, std::string::npos);
  const std::string list = js.substr(from, js.find("]);", from) - from);
  size_t listed = 0;
  for (auto at = list.find('\''); at != std::string::npos; at = list.find('\'', at)) {
    const auto end = list.find('\'', at + 1);
    const std::string name = list.substr(at + 1, end - at - 1);
    EXPECT_TRUE(b.Handler(name)) << name << " is not registered";
    ++listed;
    at = end + 1;
  }
  EXPECT_EQ(listed, b.manager().Factory().Size());
}

TEST(RecordsFunctions, AVisitRecordedThroughTheBridgeReadsBackAsItWasGiven) {
  ScratchDir dir;
  Bridge b(dir.path());
  EXPECT_EQ(Text(b.Call("status", "{}"), "state"), "created");
  const RecordedVisit r = RecordVisit(b, -61.5);
  ASSERT_TRUE(fs::exists(dir / "site-records.sqlite"));

  const auto sites = b.Call("listSites", "null").get<lm::json::Array>();
  ASSERT_EQ(sites.size(), 1u);
  EXPECT_EQ(Num(sites[0], "serial"), 10485761);
  EXPECT_EQ(Text(sites[0], "name"), "North");
  const auto visits = b.Call("listVisits", R"({"serial":10485761})").get<lm::json::Array>();
  ASSERT_EQ(visits.size(), 1u);
  EXPECT_EQ(Num(visits[0], "endedAt"), 2000);
  EXPECT_EQ(Text(visits[0], "customer"), "Water board");

  const auto visit = b.Call("readVisit", R"({"visitId":)" + std::to_string(r.visit) + "}");
  std::multiset<std::string> kinds;
  for (const auto& rec : visit.get("records").get<lm::json::Array>()) kinds.insert(Text(rec, "kind"));
  EXPECT_EQ(kinds, (std::multiset<std::string>{"registration", "site-survey", "channel-scan", "settings-write"}));
  const auto& write = visit.get("settingsWrites").get<lm::json::Array>().at(0);
  const auto& changes = write.get("changes").get<lm::json::Array>();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(lm::json::ToText(changes[0]), R"({"key":"Interval","new":30,"old":60})");
  EXPECT_TRUE(changes[1].get("old").is<picojson::null>());

  const auto reg = b.Call("readRecord", R"({"kind":"registration","id":)" + std::to_string(r.registration) + "}");
  EXPECT_EQ(Text(reg, "raw"), "Zm9vYg==");
  EXPECT_EQ(lm::json::ToText(reg.get("decoded")), R"({"a":1})");
  const auto survey = b.Call("readRecord", R"({"kind":"site-survey","id":)" + std::to_string(r.survey) + "}");
  const auto& probes = survey.get("probes").get<lm::json::Array>();
  ASSERT_EQ(probes.size(), 2u);
  EXPECT_EQ(Text(probes[0], "raw"), "AQID");
  EXPECT_EQ(Num(survey, "endedAt"), 1300);
  const auto scan = b.Call("readRecord", R"({"kind":"channel-scan","id":)" + std::to_string(r.scan) + "}");
  EXPECT_EQ(Text(scan.get("rounds").get<lm::json::Array>().at(0), "raw"), "AQI=");

  const auto trend = b.Call("unitTrend", R"({"serial":10485761,"unit":7})").get<lm::json::Array>();
  ASSERT_EQ(trend.size(), 1u);
  EXPECT_EQ(Num(trend[0], "levelAvg"), -61.5);
  EXPECT_EQ(Num(trend[0], "battery"), 3.1);
}

TEST(RecordsFunctions, RawBytesComeBackAsTheBase64TheyWereGivenIn) {
  ScratchDir dir;
  Bridge b(dir.path());
  const std::string v = std::to_string(b.Id("beginVisit", kSite));
  // Every padding case, and bytes given as an array.
  const std::vector<std::pair<std::string, std::string>> cases{
      {R"("")", ""}, {R"("Zg==")", "Zg=="}, {R"("Zm8=")", "Zm8="}, {R"("Zm9v")", "Zm9v"},
      {"[255,254,253,0]", "//79AA=="}, {"[]", ""}};
  int at = 0;
  for (const auto& [given, answered] : cases) {
    const int64_t id = b.Id("recordLog", R"({"visitId":)" + v + R"(,"takenAt":)" + std::to_string(++at) +
                                             R"(,"raw":)" + given + "}");
    EXPECT_EQ(Text(b.Call("readRecord", R"({"kind":"event-log","id":)" + std::to_string(id) + "}"), "raw"), answered)
        << given;
  }
}

// The page writes a running survey unit by unit: each unit's hop statistics
// are kept with its probes, so a survey cut short (the program killed) still
// has them, and stays unfinished; a unit surveyed again replaces them.
TEST(RecordsFunctions, HopStatisticsOfARunningSurveyAreKeptAsTheyCome) {
  ScratchDir dir;
  Bridge b(dir.path());
  const std::string v = std::to_string(b.Id("beginVisit", kSite));
  const std::string s = std::to_string(
      b.Id("recordSurvey", R"({"visitId":)" + v + R"(,"kind":"site","probesPerRoute":1,"routes":[[7],[8]]})"));
  const auto hop = [](int route, int unit, int answered) {
    return R"({"route":)" + std::to_string(route) + R"(,"hop":0,"fromUnit":10485761,"unit":)" +
           std::to_string(unit) + R"(,"sent":1,"answered":)" + std::to_string(answered) + "}";
  };
  const std::vector<std::pair<std::string, std::vector<double>>> steps{
      {R"("probes":[{"route":0,"seq":0,"at":5,"answered":false}],"hops":[)" + hop(0, 7, 0) + "]", {0}},
      {R"("probes":[{"route":1,"seq":0,"at":6,"answered":true}],"hops":[)" + hop(1, 8, 1) + "]", {0, 1}},
      {R"("probes":[{"route":0,"seq":1,"at":7,"answered":true}],"hops":[)" + hop(0, 7, 1) + "]", {1, 1}},
  };
  for (const auto& [arg, answered] : steps) {
    EXPECT_EQ(b.Call("surveyProbes", R"({"surveyId":)" + s + "," + arg + "}"), lm::json::Bool(true)) << arg;
    const auto survey = b.Call("readRecord", R"({"kind":"site-survey","id":)" + s + "}");
    std::vector<double> got;
    for (const auto& h : survey.get("hops").get<lm::json::Array>()) got.push_back(Num(h, "answered"));
    EXPECT_EQ(got, answered) << arg;
    EXPECT_TRUE(survey.get("endedAt").is<picojson::null>()) << arg;
  }
}

TEST(RecordsFunctions, BadArgumentsAndStoreFailuresAnswerTheirCodes) {
  ScratchDir dir;
  Bridge b(dir.path());
  const std::string v = std::to_string(b.Id("beginVisit", kSite));
  const std::string garbage = "this is no database at all, just text that goes on for a while";
  std::ofstream(dir / "garbage.lmrec") << garbage;
  const std::vector<std::tuple<std::string, std::string, int>> cases{
      {"listVisits", "{}", -1},
      {"listVisits", R"({"serial":"10485761"})", -2},
      {"listVisits", R"({"serial":1.5})", -2},
      {"listVisits", "[1]", -2},
      {"beginVisit", R"({"site":{"name":"x"}})", -1},
      {"beginVisit", R"({"site":5})", -2},
      {"recordRegistration", R"({"visitId":)" + v + "}", -1},
      {"recordRegistration", R"({"visitId":)" + v + R"(,"raw":"not base64!"})", -2},
      {"recordRegistration", R"({"visitId":)" + v + R"(,"raw":[1,256]})", -2},
      {"recordSurvey", R"({"visitId":)" + v + R"(,"probesPerRoute":2,"routes":5})", -2},
      {"recordSurvey", R"({"visitId":)" + v + R"(,"probesPerRoute":2,"routes":[],"kind":"lap"})", -2},
      {"recordSurvey", R"({"visitId":)" + v + R"(,"probesPerRoute":2,"routes":[],"probes":[7]})", -2},
      {"recordSettingsWrite", R"({"visitId":)" + v + R"(,"succeeded":true,"changes":[{"key":"A"}]})", -1},
      {"readRecord", R"({"kind":"photo","id":1})", -2},
      {"exportSite", R"({"serial":10485761,"path":""})", -2},
      {"readVisit", R"({"visitId":9999})", -21},
      {"readRecord", R"({"kind":"download","id":9999})", -21},
      {"recordLog", R"({"visitId":9999,"raw":""})", -21},
      {"surveyProbes", R"({"surveyId":9999,"probes":[{"route":0,"seq":0,"at":1,"answered":false}]})", -21},
      {"recordSurvey", R"({"visitId":)" + v + R"(,"probesPerRoute":2,"routes":[],"registrationId":9999})", -21},
      {"exportSite", R"({"serial":10485761,"path":")" + (dir / "site-records.sqlite").string() + R"("})", -22},
      {"import", R"({"path":")" + (dir / "garbage.lmrec").string() + R"("})", -24},
      {"import", R"({"path":")" + (dir / "absent.lmrec").string() + R"("})", -24},
  };
  for (const auto& [function, arg, code] : cases) {
    const auto answer = b.Call(function, arg);
    EXPECT_TRUE(answer.contains("failed") && Num(answer, "failed") == code)
        << function << " " << arg << " -> " << lm::json::ToText(answer);
  }
  // A refused import leaves the file as it was.
  const auto kept = lm::records::test::ReadFile(dir / "garbage.lmrec");
  EXPECT_EQ(std::string(kept.begin(), kept.end()), garbage);
}

TEST(RecordsFunctions, ASurveyNamesItsRegistrationAndTheStatusItsStore) {
  ScratchDir dir;
  Bridge b(dir.path());
  const RecordedVisit r = RecordVisit(b, -70);
  const auto survey = b.Call("readRecord", R"({"kind":"site-survey","id":)" + std::to_string(r.survey) + "}");
  const auto registration = b.Call("readRecord", R"({"kind":"registration","id":)" + std::to_string(r.registration) + "}");
  EXPECT_EQ(Num(survey, "registrationId"), r.registration);
  EXPECT_EQ(Text(survey, "registrationContentId"), Text(registration, "contentId"));
  const auto status = b.Call("status", "{}");
  EXPECT_EQ(status.get("demo"), lm::json::Bool(false)) << lm::json::ToText(status);
  const auto visit = b.Call("listVisits", R"({"serial":10485761})").get<lm::json::Array>().at(0);
  EXPECT_EQ(visit.get("endedWithoutClosing"), lm::json::Bool(false));
  const auto refused = b.Call("exportVisit", R"({"visitId":)" + std::to_string(r.visit) + R"(,"path":")" +
                                                 (dir / "site-records.sqlite-wal").string() + R"("})");
  EXPECT_NE(Text(refused, "text").find("never writes over the site records"), std::string::npos)
      << lm::json::ToText(refused);
}

TEST(RecordsFunctions, WithoutAStoreEveryCallFailsAsTheFileSystemsRefusal) {
  Bridge b({});
  for (const char* f : {"status", "listSites", "beginVisit"}) {
    const auto answer = b.Call(f, kSite);
    EXPECT_TRUE(answer.contains("failed") && Num(answer, "failed") == -25) << f << lm::json::ToText(answer);
  }
}

TEST(RecordsFunctions, AnExportedVisitImportsOnceIntoAnotherStore) {
  ScratchDir here, there;
  Bridge a(here.path());
  const RecordedVisit r = RecordVisit(a, -70);
  const std::string file = (here / "visit.lmrec").string();
  const std::string siteFile = (here / "site.lmrec").string();
  EXPECT_EQ(a.Call("exportVisit", R"({"visitId":)" + std::to_string(r.visit) + R"(,"path":")" + file + R"("})"),
            lm::json::Bool(true));
  EXPECT_EQ(a.Call("exportSite", R"({"serial":10485761,"path":")" + siteFile + R"("})"), lm::json::Bool(true));

  Bridge b(there.path());
  const auto first = b.Call("import", R"({"path":")" + file + R"("})");
  ASSERT_TRUE(first.contains("sites")) << lm::json::ToText(first);
  EXPECT_EQ(Num(first, "sites"), 1);
  EXPECT_EQ(Num(first, "visits"), 1);
  EXPECT_EQ(Num(first, "records"), 4);
  const auto again = b.Call("import", R"({"path":")" + siteFile + R"("})");
  EXPECT_EQ(Num(again, "sites") + Num(again, "visits") + Num(again, "records"), 0);
  EXPECT_GT(Num(again, "skipped"), 0);
  EXPECT_EQ(b.Call("listVisits", R"({"serial":10485761})").get<lm::json::Array>().size(), 1u);
}

}  // namespace
