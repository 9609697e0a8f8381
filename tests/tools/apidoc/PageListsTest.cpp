// The lists the page keeps of the program's names and codes, against the
// program's own: the records functions and their failure codes
// (records/records.js), the library's error numbers and calls and the
// measurement failure (device/failures.js), and every page-function name
// the page's modules write out, which must be registered.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "linkmeter/Registration.h"
#include "linkmeter/apidoc/Outputs.h"
#include "sorrel/cef/Manager.h"
#include "sorrel/com/ComServices.h"
#include "sorrel/com/TcmdGetRsLevel.h"
#include "sorrel/js/HostDoc.h"
#include "sorrel/js/RecordsFailures.h"
#include "vantor/vcomm/VcommError.h"

namespace fs = std::filesystem;

namespace {

Sorrel::cef::Manager& ProgramRegistration() {
  static auto* devices = new Sorrel::Com::ComServices();
  static Sorrel::cef::Manager manager;
  static bool done = (linkmeter::RegisterPageFunctions(manager, *devices), true);
  (void)done;
  return manager;
}

// Query and native names of every registered page function.
std::set<std::string> RegisteredNames() {
  std::set<std::string> names;
  for (const auto& native : ProgramRegistration().NativeHandlers()) names.insert(native->NativeName());
  for (const auto& [query, handler] : ProgramRegistration().Factory()) names.insert(query);
  return names;
}

std::string PageFile(const std::string& relative) {
  std::ifstream in(fs::path(LM_PAGE_SRC) / relative);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The body of `export const NAME = Object.freeze(...)` in `text`.
std::string ExportedBody(const std::string& text, const std::string& name) {
  const std::string start = "export const " + name + " = Object.freeze(";
  const auto at = text.find(start);
  if (at == std::string::npos) return "";
  const auto end = text.find(");", at);
  return text.substr(at + start.size(), end - at - start.size());
}

// `key: number` pairs of an object literal (comments left out).
std::map<std::string, int> NumberPairs(const std::string& body) {
  std::map<std::string, int> out;
  const std::regex pair(R"(([A-Za-z_]\w*)\s*:\s*(-?\d+))");
  std::string text = std::regex_replace(body, std::regex("//[^\n]*"), "");
  for (std::sregex_iterator it(text.begin(), text.end(), pair), end; it != end; ++it) out[(*it)[1]] = std::stoi((*it)[2]);
  return out;
}

}  // namespace

TEST(PageLists, TheRecordsFunctionsAreTheRegisteredOnes) {
  const std::string records = PageFile("records/records.js");
  std::set<std::string> page;
  const std::regex quoted("'(\\w+)'");
  const std::string body = ExportedBody(records, "RECORDS_FUNCTIONS");
  for (std::sregex_iterator it(body.begin(), body.end(), quoted), end; it != end; ++it) {
    std::string name = (*it)[1];
    name[0] = static_cast<char>(std::toupper(name[0]));
    page.insert("LmRecords" + name);
  }
  std::set<std::string> registered;
  for (const std::string& name : RegisteredNames()) {
    if (name.rfind("LmRecords", 0) == 0) registered.insert(name);
  }
  EXPECT_GT(registered.size(), 20u);
  EXPECT_EQ(page, registered);
}

TEST(PageLists, TheRecordsFailureCodesAreTheProgramsAndCoverEveryDocumentedOne) {
  std::map<std::string, int> program;
  std::set<int> codes;
  for (const auto& f : Sorrel::Js::kRecordsFailures) {
    program[std::string(f.name)] = f.code;
    codes.insert(f.code);
  }
  EXPECT_EQ(NumberPairs(ExportedBody(PageFile("records/records.js"), "RECORDS_FAILURE")), program);
  // What each records function says it may fail with is in the table.
  for (const auto& d : linkmeter::apidoc::CollectFunctions(ProgramRegistration())) {
    if (d.script.rfind("linkmeter.records.", 0) != 0) continue;
    for (const auto& failure : d.failures) {
      for (int code : Sorrel::Js::FailureCodes(failure.code)) EXPECT_TRUE(codes.count(code)) << d.script << " " << code;
    }
  }
}

TEST(PageLists, TheLibraryNumbersTheFailuresTellApartAreTheLibrarys) {
  const std::string failures = PageFile("device/failures.js");
  for (const auto& [name, number] : NumberPairs(ExportedBody(failures, "LIBRARY_ERRORS"))) {
    EXPECT_STREQ(com::vantor::VcommErrorName(number), name.c_str()) << number;
  }
  const std::map<std::string, int> calls{{"Vcomm_OpenUSBComm", com::vantor::kCodeOpenUSB},
                                         {"Vcomm_SendComm", com::vantor::kCodeSend},
                                         {"Vcomm_RecvComm", com::vantor::kCodeRecv},
                                         {"Vcomm_OpenLANComm", com::vantor::kCodeOpenLAN}};
  const std::string body = ExportedBody(failures, "LIBRARY_CALLS");
  const std::regex pair(R"((\d+)\s*:\s*'(\w+)')");
  std::map<std::string, int> page;
  for (std::sregex_iterator it(body.begin(), body.end(), pair), end; it != end; ++it) page[(*it)[2]] = std::stoi((*it)[1]);
  EXPECT_EQ(page, calls);
  EXPECT_NE(failures.find("export const MEASURE_FAILED = " + std::to_string(Sorrel::Com::TcmdGetRsLevel::kMeasureFailed) + ";"),
            std::string::npos);
}

TEST(PageLists, EveryPageFunctionNameThePageWritesIsRegistered) {
  const std::set<std::string> registered = RegisteredNames();
  // The leading word of the registered names ("Com", "Lm", …): a quoted
  // word starting with one of them names a page function, unless it is
  // only the start of names made in the code ('ComTcmd' + mnemonic).
  std::set<std::string> prefixes;
  for (const std::string& name : registered) prefixes.insert(std::regex_replace(name, std::regex("^([A-Z][a-z]+).*"), "$1"));
  const std::regex quoted(R"(['"`]([A-Z][a-z]+[A-Z]\w*)['"`])");
  std::vector<std::string> unknown;
  for (const auto& entry : fs::recursive_directory_iterator(LM_PAGE_SRC)) {
    if (entry.path().extension() != ".js") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    for (std::sregex_iterator it(s.begin(), s.end(), quoted), end; it != end; ++it) {
      const std::string word = (*it)[1];
      const std::string lead = std::regex_replace(word, std::regex("^([A-Z][a-z]+).*"), "$1");
      if (!prefixes.count(lead) || registered.count(word)) continue;
      const bool start = std::any_of(registered.begin(), registered.end(), [&](const std::string& n) { return n.rfind(word, 0) == 0; });
      if (!start) unknown.push_back(entry.path().filename().string() + ": " + word);
    }
  }
  EXPECT_TRUE(unknown.empty()) << ::testing::PrintToString(unknown);
}
