#pragma once
// The program's string table in the page process: the program hands it over
// whole in the extension's initialisation data ("strings", a{us}), so both
// processes follow one table (docs/string-table.md).

#include <glib.h>

#include <cstdint>
#include <map>
#include <string>

namespace Sorrel::Js::webext {

// The texts by id; empty when the data holds no table.
std::map<uint32_t, std::string> StringTableFrom(GVariant* init);
// Takes the folder texts (ids 1001, 1003, 1004) for the host functions; an id
// the table leaves out keeps its built-in text.
void ApplyProgramStrings(GVariant* init);

}  // namespace Sorrel::Js::webext
