#pragma once
// The exit statuses of linkmeter-cli's subcommands (the manual page lists
// them; scripts test them).

namespace linkmeter::cli {

enum ExitCode : int {
  kExitOk = 0,             // done, every unit answered
  kExitFailed = 1,         // the work failed (the unit or the program refused)
  kExitUsage = 2,          // bad arguments
  kExitUnitNotFound = 3,   // no base unit matches --unit
  kExitWrongPassword = 4,  // a LAN base unit refused the password
  kExitPartly = 5,         // partly done: some units did not answer, or the work was cut short
  kExitRecords = 6,        // the work was done but the site records could not be written
  kExitStoreSetAside = 8,  // done, but the store was damaged or newer: set aside and a new one started
  kExitPartlyRecords = 7,  // partly done (as 5) and the site records could not be written (as 6)
};

}  // namespace linkmeter::cli
