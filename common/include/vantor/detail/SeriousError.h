#pragma once
// An internal fault: a broken invariant inside the program rather than a bad
// argument or a device failure. The bridge reports it to the page as code -99
// with the source file name and line.

#include <stdexcept>
#include <string>

namespace vantor::detail {

class SeriousError : public std::runtime_error {
 public:
  SeriousError(std::string file, int line, std::string message = {});

  const std::string& File() const { return file_; }
  // The file name without its folders, as reported to the page.
  std::string FileName() const;
  int Line() const { return line_; }
  const std::string& Message() const { return message_; }

 private:
  std::string file_;
  int line_;
  std::string message_;
};

}  // namespace vantor::detail

#define VANTOR_SERIOUS_ERROR(...) ::vantor::detail::SeriousError(__FILE__, __LINE__ __VA_OPT__(, ) __VA_ARGS__)
