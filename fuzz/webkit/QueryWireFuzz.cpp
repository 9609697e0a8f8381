// Feeds arbitrary bytes to both query payload readers, as a page process (or
// the window process) could send them: a payload that reads back must say
// again exactly what it said, and its last field must end in a NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sorrel/cef/webkit/QueryWire.h"

using namespace Sorrel::cef::webkit;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  GVariant* payload = g_variant_ref_sink(g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, data, size, 1));
  if (auto q = DecodeQueryRequest(payload)) {
    if (q->request.data()[q->request.size()] != '\0') std::abort();
    GVariant* again = g_variant_ref_sink(EncodeQueryRequest(q->frameId, q->requestId, q->request));
    auto back = DecodeQueryRequest(again);
    if (!back || back->frameId != q->frameId || back->requestId != q->requestId || back->request != q->request)
      std::abort();
    g_variant_unref(again);
  }
  if (auto a = DecodeQueryAnswer(payload)) {
    if (a->text.data()[a->text.size()] != '\0') std::abort();
    GVariant* again = g_variant_ref_sink(EncodeQueryAnswer(a->success, a->code, a->text));
    auto back = DecodeQueryAnswer(again);
    if (!back || back->success != a->success || back->code != a->code || back->text != a->text) std::abort();
    g_variant_unref(again);
  }
  g_variant_unref(payload);
  return 0;
}
