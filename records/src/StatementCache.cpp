#include "lm/records/StatementCache.h"

#include <utility>

namespace lm::records {

StatementCache::Loan::~Loan() {
  if (!statement_) return;
  statement_->Reset();
  if (lent_) *lent_ = false;
}

StatementCache::Loan::Loan(Loan&& other) noexcept
    : own_(std::move(other.own_)),
      statement_(own_ ? &*own_ : std::exchange(other.statement_, nullptr)),
      lent_(std::exchange(other.lent_, nullptr)) {
  other.statement_ = nullptr;
}

StatementCache::Loan StatementCache::Lend(const std::string& sql) {
  auto found = entries_.find(sql);
  if (found == entries_.end()) {
    found = entries_.emplace(sql, std::make_unique<Entry>(Entry{Statement(db_, sql)})).first;
  }
  Entry& entry = *found->second;
  if (entry.lent) return Loan(Statement(db_, sql));
  entry.lent = true;
  return Loan(entry.statement, entry.lent);
}

}  // namespace lm::records
