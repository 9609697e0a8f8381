#pragma once
// Names of the user messages between the browser process and the page
// process besides the process messages themselves ("cefmsg.…").

namespace Sorrel::cef::webkit {

// Page → view, answered by a reply: frame id, request id and request, in the
// byte string of QueryWire.h. The reply is success, error code and text,
// likewise; a failure with kCancelledCode means the query was given up and
// must not be answered.
inline constexpr const char* kMsgQuery = "lm.query";
// Page → view: (x request id). The page gave up one query.
inline constexpr const char* kMsgQueryCancel = "lm.query.cancel";
// Page → view: (x frame id). A frame's document went away with its queries.
inline constexpr const char* kMsgFrameCleared = "lm.frame.cleared";

inline constexpr int kCancelledCode = -2147483647 - 1;

// The only origin whose documents get `app` and answers.
inline constexpr const char* kAppOrigin = "app://res/";

}  // namespace Sorrel::cef::webkit
