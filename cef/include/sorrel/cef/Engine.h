#pragma once
// What the query bridge needs from a browser engine. The WebKitGTK adapter
// and the headless command-line host each implement these.

#include <cstdint>
#include <memory>
#include <string>

namespace Sorrel::cef {

// One browser (a window showing a page).
class Browser {
 public:
  virtual ~Browser() = default;
  virtual int32_t Identifier() const = 0;
  // The URL its main frame shows now; answers are dropped once it changes.
  virtual std::string MainFrameUrl() const = 0;
};

// The engine's callback for one query; callable from any thread.
class QueryCallback {
 public:
  virtual ~QueryCallback() = default;
  virtual void Success(const std::string& text) = 0;
  virtual void Failure(int32_t code, const std::string& text) = 0;
};

using BrowserPtr = std::shared_ptr<Browser>;

}  // namespace Sorrel::cef
