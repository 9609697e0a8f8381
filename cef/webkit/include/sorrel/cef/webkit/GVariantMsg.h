#pragma once
// Process-message lists as they travel in a WebKitUserMessage: a GVariant
// array of variants ("av"). Null is an empty maybe ("mv"), booleans "b",
// integers "i", doubles "d", strings "s", dictionaries "a{sv}", lists "av".

#include <glib.h>

#include "sorrel/cef/MsgValue.h"

namespace Sorrel::cef::webkit {

// A floating reference, as WebKit's message constructors take it.
GVariant* ToVariant(const MsgList& list);
GVariant* ToVariant(const MsgValue& value);

// Values of types outside the list above become null; a parameter that is
// not an array of variants gives an empty list.
MsgList ListFromVariant(GVariant* parameters);
MsgValue FromVariant(GVariant* value);

}  // namespace Sorrel::cef::webkit
