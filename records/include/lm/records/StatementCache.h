#pragma once
// The statements a connection runs again and again (a probe's insert, a
// seal's reads), each prepared once and lent out, so a call recording twenty
// rows does not parse and plan its SQL (and the triggers it fires) anew.
// A lent statement is reset and its bindings cleared when the loan ends, so
// no cached statement keeps a read open. A statement already lent (the same
// SQL asked for again inside a loan) is lent as a fresh one of its own.

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

#include "lm/records/Statement.h"

struct sqlite3;

namespace lm::records {

class StatementCache {
 public:
  class Loan {
   public:
    Loan(Statement& cached, bool& lent) : statement_(&cached), lent_(&lent) {}
    explicit Loan(Statement own) : own_(std::move(own)), statement_(&*own_) {}
    ~Loan();
    Loan(Loan&& other) noexcept;
    Loan(const Loan&) = delete;
    Loan& operator=(const Loan&) = delete;
    Loan& operator=(Loan&&) = delete;

    Statement& operator*() const { return *statement_; }
    Statement* operator->() const { return statement_; }

   private:
    std::optional<Statement> own_;
    Statement* statement_;
    bool* lent_ = nullptr;
  };

  explicit StatementCache(sqlite3* db) : db_(db) {}

  Loan Lend(const std::string& sql);

 private:
  struct Entry {
    Statement statement;
    bool lent = false;
  };
  sqlite3* db_;
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;
};

}  // namespace lm::records
