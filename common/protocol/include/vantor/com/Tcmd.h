#pragma once
// The T command: a named request with text-keyed fields, answered by a T
// frame of the same name whose STATUS field says how the device took it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "vantor/com/Icmd.h"
#include "vantor/com/TFrame.h"

namespace com::vantor {

class Tcmd : public Icmd {
 public:
  static constexpr int kDefaultRecvTimeout = 5000;
  static constexpr int kDefaultInterval = 50;

  explicit Tcmd(std::string name);

  const std::string& GetName() const { return name_; }

  // Send fields, written in ascending byte order of key.
  void SetSendField(const std::string& key, Bytes value);
  // A numeric field, stored as its decimal text.
  void SetSendNumber(const std::string& key, std::int64_t value);
  void EraseSendField(const std::string& key);
  const FieldMap& GetSendFields() const { return sendFields_; }

  // Fields of the last accepted answer.
  const FieldMap& GetRecvFields() const { return recvFields_; }
  std::optional<std::string_view> GetRecvField(const std::string& key) const;

  // Whether the last answer passed the frame checks and carried this name,
  // i.e. whether ParseRecvData took it in (the fields above are its own).
  bool LastAnswerAccepted() const { return accepted_; }

  // STATUS of the last accepted answer that carried a well-formed one.
  std::uint16_t GetStatusGroup() const { return statusGroup_; }
  std::uint16_t GetStatusDetail() const { return statusDetail_; }
  bool IsStatus(std::uint16_t group, std::uint16_t detail) const {
    return statusGroup_ == group && statusDetail_ == detail;
  }
  // "%04d-%04d" of group and detail.
  std::string GetStatusText() const;

  void Reset() override;
  void OnFinish() override {}
  Bytes BuildSendData(int phase) override;
  void ParseRecvData(int phase, std::string_view answer) override;
  int GetRecvTimeout(int phase) const override;
  bool IsContinue(int phase) const override;
  int GetInterval() const override;

 protected:
  // The request frame of this command's name and the given fields. Throws
  // an error result when a value is too long to be framed.
  Bytes BuildFrame(const FieldMap& fields) const;

 private:
  void TakeStatus(std::string_view value);

  std::string name_;
  FieldMap sendFields_;
  FieldMap recvFields_;
  bool accepted_ = false;
  std::uint16_t statusGroup_ = 0;
  std::uint16_t statusDetail_ = 0;
};

}  // namespace com::vantor
