#include "vantor/com/CatalogueDoc.h"

#include <sstream>

#include "vantor/com/CommandCatalogue.h"
#include "vantor/com/KindText.h"

namespace com::vantor::catalogue {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return out;
}

std::string Sentence(std::string_view s) {
  std::string out(s);
  if (!out.empty() && out[0] >= 'a' && out[0] <= 'z') out[0] = static_cast<char>(out[0] - 'a' + 'A');
  return out;
}

void WriteArgs(std::ostream& out, const CommandRow& row) {
  if (row.args.empty()) {
    out << "Arguments: `comInfo` only.\n\n";
    return;
  }
  out << "| key | reader | need | accepted | sent as |\n|---|---|---|---|---|\n";
  for (const ArgDef& a : row.args) {
    out << "| `" << a.key << "` | " << ReaderText(a.reader) << " | "
        << (a.need == Need::kRequired ? "required" : "optional") << " | " << DescribeCheck(a) << " | ";
    if (a.encoding == Encoding::kKept) {
      out << EncodingText(a.encoding);
    } else {
      out << a.field << ", " << EncodingText(a.encoding);
      if (a.encoding == Encoding::kPacked) out << ": " << PackedWidths(a.packing);
    }
    if (!a.alsoSets.field.empty()) out << "; also " << a.alsoSets.field << " = \"" << a.alsoSets.value << "\"";
    out << " |\n";
  }
  out << "\n";
}

void WriteRow(std::ostream& out, const CommandRow& row) {
  out << "## " << row.name << "\n\n" << Sentence(row.summary) << ".\n\n";
  out << "`" << ScriptName(row) << "` (query \"" << QueryName(row) << "\"), family " << FamilyName(row.family)
      << ", success STATUS " << row.success.Text() << ".\n\n";
  WriteArgs(out, row);
  if (!row.fixed.empty()) {
    out << "Always sent:";
    for (const FixedField& f : row.fixed) out << " " << f.field << " = \"" << f.value << "\"";
    out << " (unless an argument sets it).\n\n";
  }
  if (!row.results.empty()) {
    out << "Result members:\n\n";
    for (const ResultDef& r : row.results) {
      out << "- " << MemberText(r, "`") << (r.when == When::kSuccess ? ", only on success" : ", when present") << "\n";
    }
    out << "\n";
  }
  if (!row.conversation.empty()) out << "Exchanges: " << row.conversation << ".\n\n";
}

}  // namespace

std::string CatalogueMarkdown() {
  std::ostringstream out;
  out << "# Device commands\n\n"
         "Generated from the command catalogue by `lm-catalogue-doc`; rebuild the `docs-commands` target "
         "after changing a row.\n\n"
         "Every command is a page function `app.com.tcmd` + mnemonic taking `{comInfo, keys…}` and answering "
         "the device result object (`cmdName`, `comInfo`, `STATUS`, `isSuccess`, `isCancel`, `isTimeout`, "
         "`msg`) plus the members listed. None is cancellable from its wrapper; \"jsquery:cancel\" and "
         "navigation stop a running command between exchanges.\n\n"
         "A missing required key or a value of the wrong kind fails with the usual argument errors (-1, -2); "
         "a value outside what is accepted fails with code 0 and the message `'KEY'`, for the first such key "
         "in reading order, and nothing is sent.\n\n"
         "Text members are decoded from the ANSI code page (CP932). A field that does not decode is never "
         "dropped: its member is still given, each byte that does not decode shown as U+FFFD, and the "
         "member `undecoded` maps the member's name to the field's bytes as the unit sent them. A packed "
         "field (EVT…) that is not made of its digits is left out, its bytes given under `undecoded` the "
         "same way. The rest of the answer is unaffected.\n\n"
         "Radio commands (family wireless) are started with ACT \"0\", polled with ACT \"1\" every 500 ms "
         "while the base unit answers 0004-0001, and cancelled with ACT \"2\".\n\n"
         "Transfers in blocks (ETRND, EISUC, EWSUC) never ask for ever: three answers in a row that bring no "
         "new bytes end them with isSuccess false, and `msg` then says how many of the announced bytes "
         "arrived.\n\n"
         "`app.com.tcmdGetRsLevel` ({comInfo, freqs}) measures each channel with one VLB1 and then always sends "
         "the closing VLB1 (DATA 01 AF 00 02 00 00 00), also after a cancel: a cancel stops the remaining "
         "channels, never the closing, and the call then fails with `{\"code1\":0,\"msg\":\"cancel\"}`. A "
         "measurement answer without its 7 DATA bytes fails with code 0 and a msg naming the channel.\n\n";
  out << "| mnemonic | family | success | what |\n|---|---|---|---|\n";
  for (const CommandRow& row : kCatalogue) {
    out << "| [" << row.name << "](#" << Lower(row.name) << ") | " << FamilyName(row.family) << " | "
        << row.success.Text() << " | " << row.summary << " |\n";
  }
  out << "\n";
  for (const CommandRow& row : kCatalogue) WriteRow(out, row);
  return out.str();
}

}  // namespace com::vantor::catalogue
