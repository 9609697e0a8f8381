#pragma once
// What the generator writes: the documentation page and its data, and the
// catalogue's write checks for the page's forms.

#include <string>
#include <vector>

#include "linkmeter/apidoc/FunctionDoc.h"

namespace linkmeter::apidoc {

// The documentation package's index.html: every function with its call,
// arguments, result, failures and an example, and a filter box.
std::string ApiDocHtml(const std::vector<FunctionDoc>& docs);
// The same documents as JSON (an array of objects), for tools and tests.
std::string ApiDocJson(const std::vector<FunctionDoc>& docs);
// Every catalogue row's argument checks as JSON, with the settings blocks
// and the radio surveys:
// {"commands": {"WUINF": {"script", "success", "family", "args": [{key, reader, need, sent, check}]}},
//  "blocks": [{name, read, write, form}], "surveys": ["EWLEX", …]}.
std::string CatalogueRulesJson();

}  // namespace linkmeter::apidoc
