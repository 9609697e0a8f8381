#pragma once
// The description of a host function, kept in the file of the class that
// does the work, so its documented failures sit beside the checks that
// raise them. The API documents are made from these.

#include <string>
#include <vector>

namespace Sorrel::Js {

struct HostArgDoc {
  std::string name;
  std::string type;
  std::string need;      // "required" or "optional"
  std::string accepted;  // what passes the checks
};

struct HostFailureDoc {
  std::string code;  // "-3", "-3 … -5", "-20 … -23, -25"
  std::string cause;
};

struct HostDoc {
  std::string group;
  std::string call;  // the page call's parameters, "(handle, bytes)"; empty: one argument object
  std::string summary;
  std::vector<HostArgDoc> args;
  std::string result;
  std::vector<HostFailureDoc> failures;
  std::string example;
  // The files whose checks raise the failures: the class's own (__FILE__)
  // and any helper's beside it, by name.
  std::vector<std::string> sources;
};

// A host function that describes itself: what the page is told about its
// arguments, result and every failure it raises. Defined beside the checks.
class Described {
 public:
  virtual ~Described() = default;
  virtual const HostDoc& Doc() const = 0;
};

// The codes one failure entry names: "-3 … -5, -8" is -3, -4, -5, -8.
// Text that is not a code (e.g. "code1") names none.
std::vector<int> FailureCodes(const std::string& code);

}  // namespace Sorrel::Js
