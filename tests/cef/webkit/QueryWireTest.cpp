// The query payloads between the two processes: what one side encodes the
// other reads back exactly, and anything else is refused rather than guessed.
#include <gtest/gtest.h>

#include <string>

#include "sorrel/cef/webkit/Protocol.h"
#include "sorrel/cef/webkit/QueryWire.h"

using namespace Sorrel::cef::webkit;

namespace {

// Owns a payload for the length of a check.
struct Payload {
  explicit Payload(GVariant* v) : v(g_variant_ref_sink(v)) {}
  ~Payload() { g_variant_unref(v); }
  GVariant* v;
};

Payload Raw(const std::string& bytes) {  // as given, no NUL added
  return Payload(g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1));
}

}  // namespace

TEST(QueryWire, RequestsAndAnswersReadBackExactly) {
  const std::string requests[] = {"", "jsquery:ComOpen ", "jsquery:X {\"t\":\"テキスト 1 2\"}", std::string(70000, 'a')};
  const int64_t ids[][2] = {{0, 1}, {-1, 9007199254740993}, {INT64_MIN, INT64_MAX}};
  for (const auto& request : requests) {
    for (const auto& id : ids) {
      Payload p(EncodeQueryRequest(id[0], id[1], request));
      auto back = DecodeQueryRequest(p.v);
      ASSERT_TRUE(back) << request.substr(0, 40);
      EXPECT_EQ(back->frameId, id[0]);
      EXPECT_EQ(back->requestId, id[1]);
      EXPECT_EQ(back->request, request);
      EXPECT_EQ(back->request.data()[back->request.size()], '\0');  // handed on as a C string
    }
  }
  const struct {
    bool success;
    int32_t code;
    std::string text;
  } answers[] = {{true, 0, "null"}, {false, -1, "{\"code1\":-1,\"msg\":\"no answer\"}"}, {false, kCancelledCode, ""},
                 {true, 2147483647, "1 2 3"}};
  for (const auto& a : answers) {
    Payload p(EncodeQueryAnswer(a.success, a.code, a.text));
    auto back = DecodeQueryAnswer(p.v);
    ASSERT_TRUE(back) << a.text;
    EXPECT_EQ(back->success, a.success);
    EXPECT_EQ(back->code, a.code);
    EXPECT_EQ(back->text, a.text);
    EXPECT_EQ(back->text.data()[back->text.size()], '\0');
  }
}

TEST(QueryWire, MalformedPayloadsAreRefused) {
  const char* requests[] = {"1 2 x",  // no final NUL
                            "", "1 2", "1  2 x", " 1 2 x", "1 x 2 ", "99999999999999999999 1 x", "+1 2 x"};
  for (size_t i = 0; i < std::size(requests); ++i) {
    // The first keeps its bytes as given; the others get their NUL.
    std::string bytes = requests[i];
    if (i > 0) bytes.push_back('\0');
    EXPECT_FALSE(DecodeQueryRequest(Raw(bytes).v)) << '"' << requests[i] << '"';
  }
  const char* answers[] = {"2 0 x", "1 2147483648 x", "true 0 x", "1 0", "-1 0 x"};
  for (const char* a : answers) EXPECT_FALSE(DecodeQueryAnswer(Raw(std::string(a) + '\0').v)) << a;
  EXPECT_FALSE(DecodeQueryRequest(nullptr));
  EXPECT_FALSE(DecodeQueryAnswer(Payload(g_variant_new("(bis)", TRUE, 0, "null")).v));  // the old tuple
  EXPECT_FALSE(DecodeQueryRequest(Payload(g_variant_new_string("1 2 x")).v));
}
