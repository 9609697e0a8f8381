#pragma once
// A transaction on one connection: committed by Commit(), rolled back when
// destroyed uncommitted (an exception on the way). Writes take the write
// lock at once (BEGIN IMMEDIATE), so two writers queue on the busy timeout
// rather than meeting as two readers that both want to write.

namespace lm::records {

class Database;

class Transaction {
 public:
  enum class Mode { kRead, kWrite };
  explicit Transaction(Database& db, Mode mode = Mode::kWrite);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  Database& db_;
  bool open_ = true;
};

}  // namespace lm::records
