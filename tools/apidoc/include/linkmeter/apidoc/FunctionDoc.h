#pragma once
// The documentation of one page function, and the collection of every
// function the program registers: the registration gives the names, kinds
// and page texts; the command catalogue rows and the described tables give
// the arguments, results, failures and examples.

#include <string>
#include <vector>

namespace Sorrel::cef {
class Manager;
}

namespace linkmeter::apidoc {

struct ArgDoc {
  std::string name;
  std::string type;
  std::string need;      // "required" or "optional"
  std::string accepted;  // what passes the checks
};

struct FailureDoc {
  std::string code;  // code1, or a code range
  std::string cause;
};

struct FunctionDoc {
  std::string script;  // "app.com.open"
  std::string name;    // query or native name: "ComOpen", "FileOpen"
  std::string kind;    // "query" or "native"
  bool cancellable = false;
  std::string group;
  std::string call;  // the parameter list of the page call
  std::string summary;
  std::vector<ArgDoc> args;
  std::string result;
  std::vector<FailureDoc> failures;
  std::string example;
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
