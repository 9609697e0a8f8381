#include "vantor/detail/SeriousError.h"

#include "lm/Text.h"

namespace vantor::detail {
namespace {

std::string Describe(const std::string& file, int line, const std::string& message) {
  std::string text = lm::text::Format("serious error:%s(%d)", file.c_str(), line);
  if (!message.empty()) text += " " + message;
  return text;
}

}  // namespace

SeriousError::SeriousError(std::string file, int line, std::string message)
    : std::runtime_error(Describe(file, line, message)),
      file_(std::move(file)),
      line_(line),
      message_(std::move(message)) {}

std::string SeriousError::FileName() const {
  auto pos = file_.find_last_of("/\\");
  return pos == std::string::npos ? file_ : file_.substr(pos + 1);
}

}  // namespace vantor::detail
