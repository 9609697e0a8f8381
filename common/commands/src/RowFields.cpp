#include "vantor/com/RowCommand.h"

namespace com::vantor {

int RowFields::SetArg(std::string_view key, const catalogue::ArgValue& value) {
  const catalogue::ArgDef* def = catalogue::FindArg(row_, key);
  if (!def || !catalogue::Accepts(*def, value)) return -1;
  given_[std::string(key)] = true;
  if (def->encoding == catalogue::Encoding::kKept) {
    kept_.insert_or_assign(std::string(key), value);
    return 0;
  }
  Command().SetSendField(std::string(def->field), catalogue::Encode(*def, value));
  if (!def->alsoSets.field.empty()) {
    Command().SetSendField(std::string(def->alsoSets.field), std::string(def->alsoSets.value));
  }
  return 0;
}

std::int64_t RowFields::KeptNumber(std::string_view key, std::int64_t fallback) const {
  auto it = kept_.find(key);
  if (it == kept_.end()) return fallback;
  const auto* n = std::get_if<std::int64_t>(&it->second);
  return n ? *n : fallback;
}

const std::string* RowFields::KeptBytes(std::string_view key) const {
  auto it = kept_.find(key);
  return it == kept_.end() ? nullptr : std::get_if<std::string>(&it->second);
}

void RowFields::SetFixedFields() {
  for (const catalogue::FixedField& f : row_.fixed) Command().SetSendField(std::string(f.field), std::string(f.value));
}

bool AnswerAccepted(std::string_view answer, std::string_view name) {
  auto body = ParseFrame(answer);
  return body && body->name == name;
}

}  // namespace com::vantor
