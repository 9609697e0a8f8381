#pragma once
// The answer of every command a simulated base unit knows, by mnemonic.
// Families of alike commands are registered from tables in their own files.
// A process's main builds the table once and hands it to every simulator
// it starts; the table does not change after that.

#include <map>
#include <string>
#include <vector>

#include "linkmeter/sim/Exchange.h"

namespace linkmeter::sim {

class CommandTable {
 public:
  // A table with every command.
  static CommandTable WithEveryCommand();

  void Add(const std::string& name, Handler handler);
  const Handler* Find(const std::string& name) const;
  std::vector<std::string> Names() const;
  // Catalogue rows without an answer table.
  std::vector<std::string> Unanswered() const;

 private:
  std::map<std::string, Handler> handlers_;
};

void AddSettingsCommands(CommandTable& table);      // R…/W… settings blocks, clock
void AddRegistrationCommands(CommandTable& table);  // RSETF, WSETF
void AddRadioCommands(CommandTable& table);         // EW… radio operations, VLB1
void AddOpticalCommands(CommandTable& table);       // EI… the logger on the optical port
void AddRecordCommands(CommandTable& table);        // EISUC, EWSUC recorded data
void AddBaseCommands(CommandTable& table);          // EBSTS, ELOGS, ETRND, ETLAN, KENSA

// Settings blocks as a unit leaves the factory (by read mnemonic), before
// the site file's own values are laid over them.
std::map<std::string, com::vantor::FieldMap> FactorySettings(const BaseUnitSpec& design);

// The 64-byte settings record of a far unit or logger before anything was
// written, and the record as the unit reports it back (serial at 36,
// subtype at 62).
std::string DefaultSettingsRecord(const RemoteUnitSpec& unit);
std::string ReceiveRecord(const RemoteUnitSpec& unit, const std::string& settings);

}  // namespace linkmeter::sim
