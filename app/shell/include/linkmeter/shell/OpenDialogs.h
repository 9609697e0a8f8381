#pragma once
// Ending every modal dialog and popup menu the program has open, as the user
// would by dismissing them: a termination request must not wait for a person
// who is not there. Main thread only.

namespace linkmeter::shell {

// Answers each open dialog with GTK_RESPONSE_NONE (ended without an answer:
// its owner takes it as cancelled; unlike DELETE_EVENT no dialog can refuse
// it) and cancels each popup menu; returns how many there were.
// A dialog running its own loop leaves that loop once this returns.
int CancelOpenDialogs();

}  // namespace linkmeter::shell
