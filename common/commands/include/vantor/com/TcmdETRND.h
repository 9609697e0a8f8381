#pragma once
// ETRND: the base unit's trend records. The first answer gives MAX (the
// bytes to fetch), INT, START and UTC with the first DATA; ACT "1" fetches
// the rest until MAX bytes arrived.

#include "vantor/com/RowCommand.h"

namespace com::vantor {

class TcmdETRND : public TcmdRow<"ETRND"> {
 public:
  void Reset() override;
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  bool IsContinue(int phase) const override;

  const std::string& Collected() const { return collected_; }

 private:
  std::string collected_;
  std::size_t max_ = 0;
  bool stalled_ = false;  // a block that brought nothing or was refused
};

}  // namespace com::vantor
