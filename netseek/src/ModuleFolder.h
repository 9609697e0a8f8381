#pragma once
// The folder the NetSeek library file lives in. Each run makes it the
// process's current directory, and the default log file is written there.

#include <string>

namespace netseek {

// The folder of the file this code was loaded from, with a trailing '/';
// empty when it cannot be found.
std::string LocateModuleFolder();

// Locates the folder and makes it the current directory; returns the folder.
std::string EnterModuleFolder();

}  // namespace netseek
