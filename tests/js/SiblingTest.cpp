#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "NativeTestSupport.h"
#include "linkmeter/sim/Registration.h"
#include "linkmeter/sim/SiteFile.h"
#include "lm/Text.h"
#include "sorrel/js/Base64.h"
#include "sorrel/js/SettingsDocument.h"
#include "sorrel/js/Sibling.h"
#include "vantor/com/RegInfoJson.h"

using namespace Sorrel::Js;
using js_test::CallNative;

namespace {

namespace fs = std::filesystem;

std::string Base64(const std::string& bytes) {
  static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < bytes.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(bytes[i]) << 16;
    if (i + 1 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 1]) << 8;
    if (i + 2 < bytes.size()) n |= static_cast<uint8_t>(bytes[i + 2]);
    out += abc[n >> 18];
    out += abc[(n >> 12) & 63];
    out += i + 1 < bytes.size() ? abc[(n >> 6) & 63] : '=';
    out += i + 2 < bytes.size() ? abc[n & 63] : '=';
    if (out.size() % 77 == 76) out += "\r\n";  // wrapped like the sibling writes it
  }
  return out;
}

std::string DemoImage() { return linkmeter::sim::BuildRegistrationImage(linkmeter::sim::DemoSite().baseUnits.at(0)); }

// A settings document in Shift-JIS, as the sibling application saves it.
std::string ShiftJisDocument(const std::string& setfContent) {
  return lm::text::Utf8ToAnsi("\r\n <?xml version=\"1.0\" encoding=\"Shift_JIS\"?>\r\n<BaseUnit><名称>温室</名称><SETF>" +
                              setfContent + "</SETF></BaseUnit>\r\n");
}

TEST(Base64, DecodesWhatTheSiblingWrites) {
  struct Case {
    const char* text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"", std::string()},
      {"TWFu", std::string("Man")},
      {"TWE=", std::string("Ma")},
      {"TQ==", std::string("M")},
      {"TQ", std::string("M")},  // padding left out
      {" TW\r\nFu\t", std::string("Man")},
      {"T", std::nullopt},
      {"TQ=a", std::nullopt},
      {"TWFu=", std::nullopt},
      {"TW-u", std::nullopt},
      {"TQ===", std::nullopt},
  };
  for (const auto& c : cases) {
    auto got = DecodeBase64(c.text);
    ASSERT_EQ(got.has_value(), c.bytes.has_value()) << c.text;
    if (got) {
      EXPECT_EQ(std::string(got->begin(), got->end()), *c.bytes) << c.text;
    }
  }
}

TEST(SettingsDocument, PlainOrEnciphered) {
  EXPECT_TRUE(IsPlainSettings("<?xml version='1.0'?><a/>"));
  EXPECT_TRUE(IsPlainSettings(" \t\r\n<?xml"));
  EXPECT_TRUE(IsPlainSettings(std::string(200, ' ')));
  EXPECT_TRUE(IsPlainSettings(""));
  EXPECT_FALSE(IsPlainSettings("\xEF\xBB\xBF<?xml version='1.0'?>"));
  EXPECT_FALSE(IsPlainSettings("<a/>"));
  EXPECT_TRUE(IsPlainSettings(std::string(128, ' ') + "<?xml"));  // only white space in the first 128
  EXPECT_FALSE(IsPlainSettings(std::string(100, ' ') + "<?xm!"));
}

TEST(SettingsDocument, ReadsSetfAndItsData) {
  const std::string image = DemoImage();
  auto expected = com::vantor::RegInfoBytesToJson(
      std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(image.data()), image.size()));
  ASSERT_TRUE(expected);
  const std::string groups = lm::json::ToText(expected->get<lm::json::Object>().at("groups"));

  struct Case {
    std::string document;
    int32_t code;
    std::string value;
  } cases[] = {
      {ShiftJisDocument("<NAME>第一</NAME><DATA>" + Base64(image) + "</DATA>"), 0, "{\"RSETF\":{\"groups\":" + groups + "}}"},
      {ShiftJisDocument("<NAME>第一</NAME>"), 0, R"({"RSETF":{}})"},
      {"<?xml version=\"1.0\"?><a><b>text</b></a>", 0, "{}"},
      {"<?xml version=\"1.0\"?><SETF/>", 0, R"({"RSETF":{}})"},
      // DATA inside a deeper element still counts; CDATA is text too.
      {"<?xml version=\"1.0\"?><SETF><X><DATA><![CDATA[" + Base64(image) + "]]></DATA></X></SETF>", 0,
       "{\"RSETF\":{\"groups\":" + groups + "}}"},
      {"<?xml version=\"1.0\"?><SETF><DATA>@@@</DATA></SETF>", -42, R"({"RSETF":{}})"},
      {"<?xml version=\"1.0\"?><SETF><DATA>AAAA</DATA></SETF>", -43, R"({"RSETF":{}})"},
      {"<?xml version=\"1.0\"?><SETF><DATA/></SETF>", -43, R"({"RSETF":{}})"},
      // A document the reader cannot finish is a failure, with what was read.
      {"<?xml version=\"1.0\"?><SETF><NAME>x</NAME><oops", -27, R"({"RSETF":{}})"},
      {"<?xml version=\"1.0\"?><a><b></a>", -27, "{}"},
      {"<?xml version=\"1.0\"?><SETF><DATA>" + Base64(image) + "</DATA></SETF><SETF><x></SETF>", -27,
       "{\"RSETF\":{}}"},
      // Bytes that are no CP932 text.
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><SETF><NAME>\x81</NAME></SETF>", -24, "{}"},
  };
  for (const auto& c : cases) {
    SettingsResult r = ParseSettingsDocument(c.document);
    EXPECT_EQ(r.code, c.code) << c.document.substr(0, 120);
    EXPECT_EQ(lm::json::ToText(r.value), c.value) << c.document.substr(0, 120);
  }
}

// The sibling labels its documents Shift_JIS but writes the Windows code
// page: characters only CP932 has must come through under every alias.
TEST(SettingsDocument, ShiftJisLabelsAreReadAsCodePage932) {
  const std::string image = DemoImage();
  const std::string body = "<SETF><NAME>①㈱Ⅰ髙﨑</NAME><DATA>" + Base64(image) + "</DATA></SETF>";
  for (const char* label : {"Shift_JIS", "shift-jis", "SJIS", "x-sjis", "MS_Kanji", "csShiftJIS", "Windows-31J",
                            "cp932", "MS932"}) {
    const std::string document =
        lm::text::Utf8ToAnsi(std::string("<?xml version='1.0' encoding='") + label + "'?>" + body);
    SettingsResult r = ParseSettingsDocument(document);
    EXPECT_EQ(r.code, 0) << label;
    EXPECT_EQ(lm::json::ToText(r.value).rfind("{\"RSETF\":{\"groups\":[{", 0), 0u) << label;
  }
  struct Case {
    const char* document;
    std::optional<std::string> encoding;
  } declarations[] = {
      {"<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>", "Shift_JIS"},
      {"<?xml version='1.0' encoding = 'sjis' standalone='yes'?>", "sjis"},
      {"<?xml version=\"1.0\"?><a encoding=\"x\"/>", std::nullopt},
      {"<a/>", std::nullopt},
      {"<?xml version=\"1.0\" encoding=\"EUC-JP", std::nullopt},
  };
  for (const auto& c : declarations) EXPECT_EQ(DeclaredEncoding(c.document), c.encoding) << c.document;
  EXPECT_FALSE(IsShiftJisLabel("EUC-JP"));
  EXPECT_FALSE(IsShiftJisLabel("Shift_JISX0213"));
}

class SiblingSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    docs_ = fs::temp_directory_path() / ("lm-js-docs-" + std::to_string(::getpid()));
    fs::create_directories(docs_);
  }
  void TearDown() override { fs::remove_all(docs_); }
  void Save(bool oem, const std::string& bytes) {
    fs::path p = docs_ / SiblingEditionOf(oem).settingsPath;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
  }
  std::string Get(const std::vector<std::string>& args) {
    auto docs = docs_.string();
    return CallNative(std::make_shared<JsGetSettingsVlb1Tool>([docs] { return std::optional<std::string>(docs); }),
                      args)
        .Text();
  }
  fs::path docs_;
};

TEST_F(SiblingSettings, ImportsTheSavedSettingsOfEachEdition) {
  EXPECT_EQ(Get({}), R"({"api":"app.getSettingsVlb1Tool","code1":-5,"msg":"method error"})");
  Save(false, ShiftJisDocument("<DATA>" + Base64(DemoImage()) + "</DATA>"));
  const std::string standard = Get({});
  EXPECT_EQ(standard.rfind("{\"RSETF\":{\"groups\":[{", 0), 0u) << standard;
  EXPECT_NE(standard.find("GH-NORTH"), std::string::npos);
  EXPECT_EQ(Get({"false"}), standard);
  EXPECT_EQ(Get({"true"}), R"({"api":"app.getSettingsVlb1Tool","code1":-5,"msg":"method error"})");
  Save(true, ShiftJisDocument("<NAME>x</NAME>"));
  EXPECT_EQ(Get({"true"}), R"({"RSETF":{}})");
  Save(true, ShiftJisDocument("<NAME>㈱</NAME><DATA>" + Base64(DemoImage()) + "</DATA>"));
  EXPECT_EQ(Get({"true"}).rfind("{\"RSETF\":{\"groups\":[{", 0), 0u);
  Save(true, ShiftJisDocument("<NAME>x</NAME><open>"));
  EXPECT_EQ(Get({"true"}), R"({"api":"app.getSettingsVlb1Tool","code1":-27,"msg":"method error"})");
  EXPECT_EQ(Get({"1"}), R"({"api":"app.getSettingsVlb1Tool","code1":-2,"msg":"Invalid arguments"})");
  EXPECT_EQ(Get({"1", "2"}), standard);  // two arguments mean the standard edition
}

TEST_F(SiblingSettings, EncipheredFilesAndTheByteOrderMarkFail) {
  Save(false, "\xEF\xBB\xBF<?xml version=\"1.0\"?><SETF/>");
  EXPECT_EQ(Get({}), R"({"api":"app.getSettingsVlb1Tool","code1":-11,"msg":"method error"})");
  Save(false, std::string("\x01\x02\x03\x04", 4));
  EXPECT_EQ(Get({}), R"({"api":"app.getSettingsVlb1Tool","code1":-11,"msg":"method error"})");
  auto none = std::make_shared<JsGetSettingsVlb1Tool>([] { return std::optional<std::string>(); });
  EXPECT_EQ(CallNative(none, {}).Text(), R"({"api":"app.getSettingsVlb1Tool","code1":-1,"msg":"method error"})");
}

// An abstract socket bound under `name` for as long as it lives.
class BoundName {
 public:
  BoundName(const std::string& name, int type) : fd_(::socket(AF_UNIX, type, 0)) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path + 1, name.data(), name.size());
    bound_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&addr),
                    static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0;
  }
  ~BoundName() { ::close(fd_); }
  bool Bound() const { return bound_; }

 private:
  int fd_;
  bool bound_ = false;
};

TEST(SiblingPresence, TrueWhileThisUsersInstanceSocketIsBound) {
  auto running = std::make_shared<JsIsRunningVlb1Tool>();
  const uid_t me = ::getuid();
  EXPECT_EQ(SiblingInstanceName(false, 1000), "_vantor_VELA_Manage_InitInstance_.1000");
  EXPECT_EQ(SiblingInstanceName(true, 0), "_orvale_VLO1_Manage_InitInstance_.0");
  EXPECT_EQ(CallNative(running, {}).Text(), "false");
  {
    // Another user's instance, and the name without a user, are not ours.
    BoundName other(SiblingInstanceName(false, me + 1), SOCK_STREAM);
    BoundName bare(SiblingEditionOf(false).instanceName, SOCK_STREAM);
    ASSERT_TRUE(other.Bound() && bare.Bound());
    EXPECT_EQ(CallNative(running, {}).Text(), "false");
  }
  for (int type : {SOCK_STREAM, SOCK_DGRAM, SOCK_SEQPACKET}) {
    BoundName mine(SiblingInstanceName(false, me), type);  // bound, not even listening
    ASSERT_TRUE(mine.Bound());
    EXPECT_EQ(CallNative(running, {}).Text(), "true") << type;
    EXPECT_EQ(CallNative(running, {"false"}).Text(), "true");
    EXPECT_EQ(CallNative(running, {"true"}).Text(), "false");
  }
  EXPECT_EQ(CallNative(running, {"1"}).Text(), R"({"api":"app.isRunningVlb1Tool","code1":-2,"msg":"Invalid arguments"})");
  EXPECT_EQ(CallNative(running, {}).Text(), "false");
}

// Checking must never hold the name: a sibling starting while the page
// checks would otherwise find it taken and believe itself running twice.
TEST(SiblingPresence, CheckingNeverTakesTheName) {
  const std::string name = SiblingInstanceName(false, ::getuid());
  std::atomic<bool> stop{false};
  std::thread checker([&] {
    while (!stop) IsAbstractSocketBound(name);
  });
  int refused = 0;
  for (int i = 0; i < 5000; ++i) {
    BoundName start(name, SOCK_STREAM);
    refused += start.Bound() ? 0 : 1;
  }
  stop = true;
  checker.join();
  EXPECT_EQ(refused, 0);
}

TEST(SiblingPresence, ReadsTheKernelsSocketList) {
  const std::string heading = "Num       RefCount Protocol Flags    Type St Inode Path\n";
  const struct {
    std::string table;
    std::optional<bool> listed;
  } cases[] = {
      {heading + "0000000000000000: 00000002 00000000 00010000 0001 01 4711 @sib.1000\n", true},
      {heading + "0000000000000000: 00000002 00000000 00000000 0002 01 4712 @sib.1000", true},
      {heading + "0000000000000000: 00000002 00000000 00010000 0001 01 4711 @sib.10000\n", false},
      {heading + "0000000000000000: 00000002 00000000 00010000 0001 01 4711 /tmp/sib.1000\n", false},
      {heading + "0000000000000000: 00000002 00000000 00010000 0001 01 4711 @xsib.1000\n", false},
      {heading, false},
      {"", std::nullopt},
      {"garbage\n@sib.1000\n", std::nullopt},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.table);
    EXPECT_EQ(IsListedInSocketTable(in, "sib.1000"), c.listed) << c.table;
  }
}

}  // namespace
