#pragma once
// ETRND: the base unit's trend records. The first answer gives MAX (the
// bytes to fetch), INT, START and UTC, usually with the first DATA; ACT "1"
// fetches the rest until MAX bytes arrived. The result's DATA is every
// block's bytes in order, and each of MAX, INT, START and UTC comes from the
// answer that carried it. A refused block ends the read; so do three answers
// in a row without new bytes.

#include <map>
#include <optional>

#include "vantor/com/BlockProgress.h"
#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdETRND : public TcmdRow<"ETRND"> {
 public:
  void Reset() override;
  void OnFinish() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;
  // Success also needs the MAX bytes announced.
  bool IsSuccess() const override;

  // Every block's bytes; none when no accepted answer carried DATA.
  const std::optional<std::string>& Collected() const { return collected_; }
  // MAX, INT, START and UTC as the answers that carried them gave them.
  const std::map<std::string, std::string>& TrendFields() const { return fields_; }

 private:
  // Without copying the bytes, as value_or would on every phase.
  std::size_t CollectedSize() const { return collected_ ? collected_->size() : 0; }

  std::optional<std::string> collected_;
  std::map<std::string, std::string> fields_;
  std::size_t max_ = 0;
  bool refused_ = false;
  BlockProgress progress_;
};

}  // namespace com::vantor
