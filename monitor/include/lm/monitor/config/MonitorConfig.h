#pragma once
// The monitor's configuration file: a key file (GLib's format) per monitor
// instance, ~/.config/linkmeter/monitor-<unit>.conf for the unit the
// systemd instance names, group [monitor], one key for every option
// ("--mail-to" is mail_to). An option on the command line wins over the
// file.

#include <string>
#include <string_view>
#include <vector>

#include "lm/monitor/config/OptionValues.h"

namespace lm::monitor {

struct ConfigKey {
  std::string_view option;  // "--mail-to"
  std::string_view key;     // "mail_to"
  bool flag = false;        // true/false in the file, bare on the command line
  bool file = false;        // names a file: relative to the configuration file's folder
};

// Every setting the file may hold, in the manual page's order.
const std::vector<ConfigKey>& MonitorConfigKeys();

// $XDG_CONFIG_HOME/linkmeter/monitor-<unit>.conf (~/.config without it).
std::string DefaultConfigPath(const std::string& unit);

// `args` with the file's settings added for options not given: the file
// --config names (which must exist), else the default one of --unit when it
// exists. File names in it are made absolute against its folder. "" when read, else the fault: an unreadable file, a key this
// program does not know, a flag that is not true or false.
std::string MergeConfig(const OptionValues& args, OptionValues& merged);

}  // namespace lm::monitor
