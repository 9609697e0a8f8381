#pragma once
// The page API documentation of the device commands, made from the
// catalogue rows: docs/commands.md is this text.

#include <string>

namespace com::vantor::catalogue {

std::string CatalogueMarkdown();

}  // namespace com::vantor::catalogue
