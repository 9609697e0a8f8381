#pragma once
// A run that keeps site records opens the store first. When opening it set
// a damaged or newer file aside and started a new store, the run says so on
// standard error with the name the old file now has, and ends with its own
// exit status (kExitStoreSetAside) instead of 0.

#include <iosfwd>

namespace linkmeter::cli {

class PageCalls;

// Opens the store (linkmeter.records.status); true when it set a file
// aside, said on `err`. A store that cannot be opened is left to the run.
bool StoreWasSetAside(PageCalls& page, std::ostream& err);

}  // namespace linkmeter::cli
