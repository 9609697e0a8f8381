#pragma once
// The main of the tests that run the real program (linked from
// lm_program_test_main): a folder of their own for home, configuration and
// runtime, the page functions registered on the process's objects
// (ProcessObjectsOnce), every test, the folder removed.

#include <webkit2/webkit2.h>

#include <filesystem>
#include <string>

#include "linkmeter/shell/LinkmeterApp.h"

namespace linkmeter::testing {

// The folder the tests run in: home/, config/ and runtime/ under it are
// HOME, XDG_CONFIG_HOME and XDG_RUNTIME_DIR.
const std::filesystem::path& ProgramTestRoot();

// The program on the self-test page and its extension, with a program
// folder of its own (`name` under the root), one instance of many.
shell::ProgramConfig SelfTestConfig(const std::string& name);

// Ctrl+Shift+H (the documents of the page functions) as the view would
// receive it.
void PressApiDocKey(WebKitWebView* view);

}  // namespace linkmeter::testing
