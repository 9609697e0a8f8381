#pragma once
// One document shown in one frame of one page, as the page process sees it.
// A frame that navigates gets a new generation; listeners and queries belong
// to the generation that made them.

#include <jsc/jsc.h>

#include <cstdint>
#include <vector>

namespace Sorrel::cef::webext {

struct Document {
  uint64_t pageId = 0;
  uint64_t frameId = 0;
  uint64_t generation = 0;  // unique across the process

  bool operator==(const Document& o) const { return generation == o.generation; }
};

// What a native function of this process gets through JsNativeHandler::Call's
// engine pointer: the calling document and the page's arguments unpacked.
struct NativeCallContext {
  JSCContext* context = nullptr;
  Document document;
  std::vector<JSCValue*> arguments;  // borrowed for the call
};

}  // namespace Sorrel::cef::webext
