#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "sorrel/js/PdfTextRepair.h"

namespace fs = std::filesystem;
using Sorrel::Js::PdfInfo;
using Sorrel::Js::RepairPdf;
using Sorrel::Js::RepairPdfFile;
using Sorrel::Js::RepairToUnicode;

namespace {

std::string Cmap(const std::string& entries) {
  return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n1 begincodespacerange\n<00> <FF>\n"
         "endcodespacerange\n" + entries + "endcmap\nend\nend\n";
}

TEST(PdfTextRepair, TextMapsGiveIdeographsNotRadicals) {
  struct Case {
    const char* entries;
    const char* repaired;
  };
  const Case cases[] = {
      // 比 日 行 as the engine wrote them, beside text that stays.
      {"3 beginbfchar\n<4B> <2F50>\n<4C> <2F47>\n<D6> <6642>\nendbfchar\n",
       "3 beginbfchar\n<4B> <6BD4>\n<4C> <65E5>\n<D6> <6642>\nendbfchar\n"},
      // Two-byte codes: a code is never taken for a text.
      {"2 beginbfchar\n<0001> <2F8F>\n<2F47> <0041>\nendbfchar\n", "2 beginbfchar\n<0001> <884C>\n<2F47> <0041>\nendbfchar\n"},
      // A range's first text; an en dash the engine wrote as a figure dash.
      {"1 beginbfrange\n<10> <12> <002F>\nendbfrange\n1 beginbfchar\n<D3> <2012>\nendbfchar\n",
       "1 beginbfrange\n<10> <12> <002F>\nendbfrange\n1 beginbfchar\n<D3> <2013>\nendbfchar\n"},
      // A ligature's glyph is its letters again; in a range it stays as it is.
      {"2 beginbfchar\n<20> <FB00>\n<21> <FB03>\nendbfchar\n1 beginbfrange\n<30> <31> <FB01>\nendbfrange\n",
       "2 beginbfchar\n<20> <00660066>\n<21> <006600660069>\nendbfchar\n1 beginbfrange\n<30> <31> <FB01>\nendbfrange\n"},
      // A character outside the basic plane (two code units) stays.
      {"1 beginbfchar\n<05> <D840DC0B>\nendbfchar\n", "1 beginbfchar\n<05> <D840DC0B>\nendbfchar\n"},
      // A range's texts as a list: each maps one code, ligatures included;
      // entries need not stand one a line.
      {"1 beginbfrange\n<40> <41> [<FB01> <2F47>]\nendbfrange\n2 beginbfchar <06> <2F50> <07> <0041> endbfchar\n",
       "1 beginbfrange\n<40> <41> [<00660069> <65E5>]\nendbfrange\n2 beginbfchar <06> <6BD4> <07> <0041> endbfchar\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(RepairToUnicode(Cmap(c.entries)), Cmap(c.repaired)) << c.entries;
}

std::string Deflate(const std::string& in) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  std::string out(size, '\0');
  compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(in.data()), static_cast<uLong>(in.size()));
  out.resize(size);
  return out;
}

// A one-page PDF as the print engine writes one: a font whose text map
// gives 比 and 日 their radicals and "ffi" its ligature, and a page that
// shows "比日" and "office" in it.
std::string SmallPdf() {
  const std::string map = Deflate(Cmap(
      "6 beginbfchar\n<01> <2F50>\n<02> <2F47>\n<03> <006F>\n<04> <FB03>\n<05> <0063>\n<06> <0065>\nendbfchar\n"));
  const std::string page = "BT /F1 24 Tf 72 700 Td <0102> Tj 0 -40 Td <03040506> Tj ET";
  std::vector<std::string> objects = {
      "<</Title (Linkmeter)>>",
      "<</Type /Catalog /Pages 3 0 R>>",
      "<</Type /Pages /Kids [4 0 R] /Count 1>>",
      "<</Type /Page /Parent 3 0 R /MediaBox [0 0 595 842] /Resources <</Font <</F1 5 0 R>>>> /Contents 6 0 R>>",
      "<</Type /Font /Subtype /Type1 /BaseFont /Helvetica /ToUnicode 7 0 R>>",
      "<</Length " + std::to_string(page.size()) + ">>\nstream\n" + page + "\nendstream",
      "<</Filter /FlateDecode\n/Length " + std::to_string(map.size()) + ">> stream\n" + map + "\nendstream",
  };
  std::string pdf = "%PDF-1.4\n";
  std::vector<size_t> offsets;
  for (size_t i = 0; i < objects.size(); i++) {
    offsets.push_back(pdf.size() + 1);
    pdf += "\n" + std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
  }
  const size_t xref = pdf.size();
  pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
  char entry[24];
  for (size_t off : offsets) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", off);
    pdf += entry;
  }
  pdf += "trailer\n<</Size 8\n/Root 2 0 R\n/Info 1 0 R>>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  return pdf;
}

std::string Output(const std::string& command) {
  std::array<char, 4096> buf{};
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  while (pipe && fgets(buf.data(), buf.size(), pipe.get())) out += buf.data();
  return out;
}

// The repaired file as a reader sees it: one page, the metadata given
// (Japanese included), and the text read back as the page wrote it in both
// languages: ideographs, not radicals; letters, not a ligature.
TEST(PdfTextRepair, FileGetsMetadataAndItsTextReadsBackInBothLanguages) {
  const fs::path path = fs::temp_directory_path() / ("lm-pdf-repair-" + std::to_string(::getpid()) + ".pdf");
  const std::string original = SmallPdf();
  std::ofstream(path, std::ios::binary) << original;
  if (Output("command -v pdftotext").empty()) GTEST_SKIP() << "poppler-utils missing";
  const std::string printed = Output("pdftotext " + path.string() + " - 2>&1");
  EXPECT_NE(printed.find("\u2F50\u2F47"), std::string::npos) << "the file as printed gives radicals: " << printed;
  ASSERT_EQ(RepairPdfFile(path.string(), {"RIVERSIDE 受入判定", "K. Sato", "Site acceptance"}), "");
  const std::string text = Output("pdftotext " + path.string() + " - 2>&1");
  EXPECT_NE(text.find("比日"), std::string::npos) << text;
  EXPECT_NE(text.find("office"), std::string::npos) << text;
  EXPECT_EQ(text.find("\u2F47"), std::string::npos) << text;
  const std::string info = "\n" + Output("pdfinfo " + path.string() + " 2>&1");
  const auto field = [&info](const std::string& key) {
    const size_t at = info.find("\n" + key + ":");
    if (at == std::string::npos) return std::string();
    const size_t from = info.find_first_not_of(' ', at + key.size() + 2);
    return info.substr(from, info.find('\n', from) - from);
  };
  EXPECT_EQ(field("Title"), "RIVERSIDE 受入判定") << info;
  EXPECT_EQ(field("Author"), "K. Sato") << info;
  EXPECT_EQ(field("Subject"), "Site acceptance") << info;
  EXPECT_EQ(field("Pages"), "1") << info;
  EXPECT_EQ(info.find("Syntax"), std::string::npos) << info;
  std::ifstream in(path, std::ios::binary);
  const std::string repaired((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(RepairPdf(repaired, {}), repaired) << "nothing left to repair";
  fs::remove(path);
}

TEST(PdfTextRepair, NotAPdfItUnderstandsIsLeftAlone) {
  for (const std::string& text : {std::string(), std::string("%PDF-1.7\n"), std::string("trailer <</Root 1 0 R>>")})
    EXPECT_EQ(RepairPdf(text, {"title", "", ""}), text);
}

}  // namespace
