#include "linkmeter/cli/CliCatalogue.h"

#include "vantor/com/CommandCatalogue.h"

namespace linkmeter::cli {

namespace cat = com::vantor::catalogue;

std::string ListLine(const std::string& queryName) {
  constexpr std::string_view kPrefix = "ComTcmd";
  if (queryName.rfind(kPrefix, 0) != 0) return queryName;
  const cat::CommandRow* row = cat::FindRow(std::string_view(queryName).substr(kPrefix.size()));
  if (!row) return queryName;
  std::string line = queryName + "  " + std::string(row->summary);
  std::string keys;
  for (const cat::ArgDef& def : row->args) keys += (keys.empty() ? "" : ", ") + cat::DescribeArg(def);
  if (!keys.empty()) line += "; " + keys;
  return line;
}

std::string DemoSurveyRequest() {
  // ID: the far unit's number and parent in the group, then its serial 00BA0102.
  return R"(jsquery:ComTcmdEWLEX {"comInfo":{"com":1,"descr":"d","model":"VL-B1","name":"n","serial":"009A0011"},)"
         R"("CH":12,"ID":[254,2,1,7,2,1,186,0]})";
}

}  // namespace linkmeter::cli
