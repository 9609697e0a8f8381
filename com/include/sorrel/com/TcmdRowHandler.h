#pragma once
// The page handler of a catalogue command: its names come from the row, its
// arguments are read key by key in the row's order with the row's readers and
// handed to the command's row setters, and its result members are made from
// the row's result list. Not cancellable from the page wrapper; a running
// command still stops on "jsquery:cancel" and navigation through Cancel.

#include <memory>
#include <string>
#include <string_view>

#include "sorrel/cef/ArgReader.h"
#include "sorrel/com/TcmdHandler.h"
#include "vantor/com/RecordedTimes.h"
#include "vantor/com/RowCommand.h"
#include "vantor/com/TcmdClock.h"
#include "vantor/com/TcmdELOGS.h"
#include "vantor/com/TcmdETRND.h"
#include "vantor/com/TcmdRSETFAnalyze.h"
#include "vantor/com/TcmdWSETF.h"

namespace Sorrel::Com {

namespace row_handler {
inline constexpr int32_t kNotCancellable = 0;

// Reads every argument key of the row and stores it in the command; a
// refused value fails with the argument error "'KEY'" (code 0).
void ReadArguments(const Sorrel::cef::ArgReader& reader, com::vantor::RowFields& command);
// The members the row lists that come straight from the last answer.
void AddAnswerMembers(const com::vantor::Tcmd& command, const com::vantor::catalogue::CommandRow& row,
                      lm::json::Object& result);
void AddLogs(const std::vector<com::vantor::LogEntry>& logs, lm::json::Object& result);
void AddRecorded(const com::vantor::RecordedData& recorded, lm::json::Object& result);
bool Succeeded(const com::vantor::Tcmd& command);
// The row's model codes, or the usual rule when the row lists none.
bool RowSupports(const com::vantor::catalogue::CommandRow& row, const ComInfo& info, bool usual);

// Checks of a command's arguments taken together, after each key was read:
// a WSETF needs bytes (SendData, regInfo) or a SAVE.
void CheckArguments(const com::vantor::TcmdWSETF& command);
// Members a conversation works out itself: RSETF's regInfo, RDTIM's
// TimeOffset, ETRND's trend fields and the bytes of all its blocks.
void AddOwnMembers(com::vantor::TcmdRSETFAnalyze& command, lm::json::Object& result);
void AddOwnMembers(const com::vantor::TcmdETRND& command, lm::json::Object& result);
void AddOwnMembers(const com::vantor::TcmdRDTIM& command, lm::json::Object& result);
}  // namespace row_handler

template <class T>
class TcmdFromRow : public Tcmd<T> {
 public:
  explicit TcmdFromRow(ComExecutorTable& table)
      : Tcmd<T>(com::vantor::catalogue::QueryName(T::kRow), com::vantor::catalogue::ScriptName(T::kRow),
                row_handler::kNotCancellable, table) {}

  bool IsSupported(const ComInfo& info) const override {
    return row_handler::RowSupports(T::kRow, info, Tcmd<T>::IsSupported(info));
  }

  std::shared_ptr<T> MakeCommand(const lm::json::Value& args) override {
    Sorrel::cef::ArgReader reader(args);
    std::shared_ptr<T> command = NewCommand(reader);
    row_handler::ReadArguments(reader, *command);
    if constexpr (requires { row_handler::CheckArguments(*command); }) row_handler::CheckArguments(*command);
    return command;
  }

  void AddResult(T& command, lm::json::Object& result) override {
    row_handler::AddAnswerMembers(command, T::kRow, result);
    if constexpr (requires { command.Logs(); }) row_handler::AddLogs(command.Logs(), result);
    if constexpr (requires { row_handler::AddOwnMembers(command, result); }) row_handler::AddOwnMembers(command, result);
    if constexpr (requires { command.Recorded(); }) {
      if (row_handler::Succeeded(command)) row_handler::AddRecorded(command.Recorded(), result);
    }
  }

 private:
  static std::shared_ptr<T> NewCommand(const Sorrel::cef::ArgReader& reader) {
    auto given = [&reader](std::string_view key) { return reader.Has(std::string(key)); };
    if constexpr (requires { T::ForArguments(given); }) {
      return T::ForArguments(given);
    } else {
      return std::make_shared<T>();
    }
  }
};

}  // namespace Sorrel::Com
