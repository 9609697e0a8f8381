#pragma once
// The documentation of one page function, and the collection of every
// function the program registers: the registration gives the names, kinds
// and page texts; the command catalogue rows and the described tables give
// the arguments, results, failures and examples.

#include <string>
#include <vector>

#include "sorrel/js/HostDoc.h"

namespace Sorrel::cef {
class Manager;
}

namespace linkmeter::apidoc {

// One definition of a description, the host functions' (sorrel/js/HostDoc.h).
using ArgDoc = Sorrel::Js::HostArgDoc;
using FailureDoc = Sorrel::Js::HostFailureDoc;

// A function's description (group, call, summary, args, result, failures,
// example) with the names and kind its registration gives it.
struct FunctionDoc : Sorrel::Js::HostDoc {
  std::string script;  // "app.com.open"
  std::string name;    // query or native name: "ComOpen", "FileOpen"
  std::string kind;    // "query" or "native"
  bool cancellable = false;
  bool described = true;  // false: registered, but no description exists yet
};

// The descriptions written for functions that have no catalogue row (host
// and unit functions), keyed by script name.
const std::vector<FunctionDoc>& DescribedFunctions();
// The description made from the catalogue row of a mnemonic; nullptr-like
// empty script when there is no row.
FunctionDoc CommandDoc(const std::string& mnemonic);

// Every page function registered with the manager (query handlers that have
// a page text, and native functions), in the page script's order: natives
// by native name, then queries by query name; then sorted by group.
std::vector<FunctionDoc> CollectFunctions(const Sorrel::cef::Manager& manager);

}  // namespace linkmeter::apidoc
