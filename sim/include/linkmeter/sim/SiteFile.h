#pragma once
// Reading a site file (JSON, see docs/site-file.md) into a SiteSpec, and the
// built-in demo site (the text of sim/sites/demo.json, compiled in).

#include <optional>
#include <string>
#include <string_view>

#include "linkmeter/sim/Site.h"

namespace linkmeter::sim {

// The site described by a JSON text; none with *error naming the member at fault.
std::optional<SiteSpec> ParseSite(std::string_view jsonText, std::string* error);
// The site in a file; none with *error when it cannot be read or parsed.
std::optional<SiteSpec> LoadSiteFile(const std::string& path, std::string* error);

// A fault rule in the site file's form: {"command": "EBSTS", "kind": "delay", …}.
std::optional<FaultRule> ParseFaultRule(std::string_view jsonText, std::string* error);

// The text of the demo site and the site it describes.
std::string_view DemoSiteText();
SiteSpec DemoSite();

// Channel-type codes a model records when the site file names none.
std::vector<int> DefaultChannelTypes(int modelCode, int subtype);

// Parses 8 hexadecimal digits (or fewer); none when not hexadecimal.
std::optional<std::uint32_t> ParseSerial(const std::string& text);
std::string SerialText(std::uint32_t serial);  // "%08X"

}  // namespace linkmeter::sim
