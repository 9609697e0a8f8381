#include "sorrel/js/PdfTextRepair.h"

#include <fcntl.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

namespace Sorrel::Js {

namespace {

// Characters the print engine picks for a glyph shared with a more usual
// one: CJK radicals (by their compatibility decomposition) and the figure
// dash the page never writes, standing for its en dash.
constexpr std::pair<char16_t, char16_t> kRepairs[] = {
    {0x2012, 0x2013},
    {0x2E9F, 0x6BCD}, {0x2EF3, 0x9F9F}, {0x2F00, 0x4E00}, {0x2F01, 0x4E28}, {0x2F02, 0x4E36}, {0x2F03, 0x4E3F},
    {0x2F04, 0x4E59}, {0x2F05, 0x4E85}, {0x2F06, 0x4E8C}, {0x2F07, 0x4EA0}, {0x2F08, 0x4EBA}, {0x2F09, 0x513F},
    {0x2F0A, 0x5165}, {0x2F0B, 0x516B}, {0x2F0C, 0x5182}, {0x2F0D, 0x5196}, {0x2F0E, 0x51AB}, {0x2F0F, 0x51E0},
    {0x2F10, 0x51F5}, {0x2F11, 0x5200}, {0x2F12, 0x529B}, {0x2F13, 0x52F9}, {0x2F14, 0x5315}, {0x2F15, 0x531A},
    {0x2F16, 0x5338}, {0x2F17, 0x5341}, {0x2F18, 0x535C}, {0x2F19, 0x5369}, {0x2F1A, 0x5382}, {0x2F1B, 0x53B6},
    {0x2F1C, 0x53C8}, {0x2F1D, 0x53E3}, {0x2F1E, 0x56D7}, {0x2F1F, 0x571F}, {0x2F20, 0x58EB}, {0x2F21, 0x5902},
    {0x2F22, 0x590A}, {0x2F23, 0x5915}, {0x2F24, 0x5927}, {0x2F25, 0x5973}, {0x2F26, 0x5B50}, {0x2F27, 0x5B80},
    {0x2F28, 0x5BF8}, {0x2F29, 0x5C0F}, {0x2F2A, 0x5C22}, {0x2F2B, 0x5C38}, {0x2F2C, 0x5C6E}, {0x2F2D, 0x5C71},
    {0x2F2E, 0x5DDB}, {0x2F2F, 0x5DE5}, {0x2F30, 0x5DF1}, {0x2F31, 0x5DFE}, {0x2F32, 0x5E72}, {0x2F33, 0x5E7A},
    {0x2F34, 0x5E7F}, {0x2F35, 0x5EF4}, {0x2F36, 0x5EFE}, {0x2F37, 0x5F0B}, {0x2F38, 0x5F13}, {0x2F39, 0x5F50},
    {0x2F3A, 0x5F61}, {0x2F3B, 0x5F73}, {0x2F3C, 0x5FC3}, {0x2F3D, 0x6208}, {0x2F3E, 0x6236}, {0x2F3F, 0x624B},
    {0x2F40, 0x652F}, {0x2F41, 0x6534}, {0x2F42, 0x6587}, {0x2F43, 0x6597}, {0x2F44, 0x65A4}, {0x2F45, 0x65B9},
    {0x2F46, 0x65E0}, {0x2F47, 0x65E5}, {0x2F48, 0x66F0}, {0x2F49, 0x6708}, {0x2F4A, 0x6728}, {0x2F4B, 0x6B20},
    {0x2F4C, 0x6B62}, {0x2F4D, 0x6B79}, {0x2F4E, 0x6BB3}, {0x2F4F, 0x6BCB}, {0x2F50, 0x6BD4}, {0x2F51, 0x6BDB},
    {0x2F52, 0x6C0F}, {0x2F53, 0x6C14}, {0x2F54, 0x6C34}, {0x2F55, 0x706B}, {0x2F56, 0x722A}, {0x2F57, 0x7236},
    {0x2F58, 0x723B}, {0x2F59, 0x723F}, {0x2F5A, 0x7247}, {0x2F5B, 0x7259}, {0x2F5C, 0x725B}, {0x2F5D, 0x72AC},
    {0x2F5E, 0x7384}, {0x2F5F, 0x7389}, {0x2F60, 0x74DC}, {0x2F61, 0x74E6}, {0x2F62, 0x7518}, {0x2F63, 0x751F},
    {0x2F64, 0x7528}, {0x2F65, 0x7530}, {0x2F66, 0x758B}, {0x2F67, 0x7592}, {0x2F68, 0x7676}, {0x2F69, 0x767D},
    {0x2F6A, 0x76AE}, {0x2F6B, 0x76BF}, {0x2F6C, 0x76EE}, {0x2F6D, 0x77DB}, {0x2F6E, 0x77E2}, {0x2F6F, 0x77F3},
    {0x2F70, 0x793A}, {0x2F71, 0x79B8}, {0x2F72, 0x79BE}, {0x2F73, 0x7A74}, {0x2F74, 0x7ACB}, {0x2F75, 0x7AF9},
    {0x2F76, 0x7C73}, {0x2F77, 0x7CF8}, {0x2F78, 0x7F36}, {0x2F79, 0x7F51}, {0x2F7A, 0x7F8A}, {0x2F7B, 0x7FBD},
    {0x2F7C, 0x8001}, {0x2F7D, 0x800C}, {0x2F7E, 0x8012}, {0x2F7F, 0x8033}, {0x2F80, 0x807F}, {0x2F81, 0x8089},
    {0x2F82, 0x81E3}, {0x2F83, 0x81EA}, {0x2F84, 0x81F3}, {0x2F85, 0x81FC}, {0x2F86, 0x820C}, {0x2F87, 0x821B},
    {0x2F88, 0x821F}, {0x2F89, 0x826E}, {0x2F8A, 0x8272}, {0x2F8B, 0x8278}, {0x2F8C, 0x864D}, {0x2F8D, 0x866B},
    {0x2F8E, 0x8840}, {0x2F8F, 0x884C}, {0x2F90, 0x8863}, {0x2F91, 0x897E}, {0x2F92, 0x898B}, {0x2F93, 0x89D2},
    {0x2F94, 0x8A00}, {0x2F95, 0x8C37}, {0x2F96, 0x8C46}, {0x2F97, 0x8C55}, {0x2F98, 0x8C78}, {0x2F99, 0x8C9D},
    {0x2F9A, 0x8D64}, {0x2F9B, 0x8D70}, {0x2F9C, 0x8DB3}, {0x2F9D, 0x8EAB}, {0x2F9E, 0x8ECA}, {0x2F9F, 0x8F9B},
    {0x2FA0, 0x8FB0}, {0x2FA1, 0x8FB5}, {0x2FA2, 0x9091}, {0x2FA3, 0x9149}, {0x2FA4, 0x91C6}, {0x2FA5, 0x91CC},
    {0x2FA6, 0x91D1}, {0x2FA7, 0x9577}, {0x2FA8, 0x9580}, {0x2FA9, 0x961C}, {0x2FAA, 0x96B6}, {0x2FAB, 0x96B9},
    {0x2FAC, 0x96E8}, {0x2FAD, 0x9751}, {0x2FAE, 0x975E}, {0x2FAF, 0x9762}, {0x2FB0, 0x9769}, {0x2FB1, 0x97CB},
    {0x2FB2, 0x97ED}, {0x2FB3, 0x97F3}, {0x2FB4, 0x9801}, {0x2FB5, 0x98A8}, {0x2FB6, 0x98DB}, {0x2FB7, 0x98DF},
    {0x2FB8, 0x9996}, {0x2FB9, 0x9999}, {0x2FBA, 0x99AC}, {0x2FBB, 0x9AA8}, {0x2FBC, 0x9AD8}, {0x2FBD, 0x9ADF},
    {0x2FBE, 0x9B25}, {0x2FBF, 0x9B2F}, {0x2FC0, 0x9B32}, {0x2FC1, 0x9B3C}, {0x2FC2, 0x9B5A}, {0x2FC3, 0x9CE5},
    {0x2FC4, 0x9E75}, {0x2FC5, 0x9E7F}, {0x2FC6, 0x9EA5}, {0x2FC7, 0x9EBB}, {0x2FC8, 0x9EC3}, {0x2FC9, 0x9ECD},
    {0x2FCA, 0x9ED1}, {0x2FCB, 0x9EF9}, {0x2FCC, 0x9EFD}, {0x2FCD, 0x9F0E}, {0x2FCE, 0x9F13}, {0x2FCF, 0x9F20},
    {0x2FD0, 0x9F3B}, {0x2FD1, 0x9F4A}, {0x2FD2, 0x9F52}, {0x2FD3, 0x9F8D}, {0x2FD4, 0x9F9C}, {0x2FD5, 0x9FA0},
};

char16_t Repaired(char16_t c) {
  const auto* end = std::end(kRepairs);
  const auto* it = std::lower_bound(std::begin(kRepairs), end, c, [](const auto& p, char16_t v) { return p.first < v; });
  return it != end && it->first == c ? it->second : c;
}

// A Latin ligature's glyph (ff, fi, fl, ffi, ffl) stands for its letters:
// text searched for "office" must find them. Null for another character.
const char* LigatureLetters(char16_t c) {
  static const char* const kLetters[] = {"00660066", "00660069", "0066006C", "006600660069", "00660066006C"};
  return c >= 0xFB00 && c <= 0xFB04 ? kLetters[c - 0xFB00] : nullptr;
}

// A hex string of UTF-16 code units ("2F47", "D835DC00"), each repaired; a
// single code's text (not a range's) may become several characters.
std::string RepairedHex(const std::string& hex, bool single) {
  const bool plain = std::all_of(hex.begin(), hex.end(), [](unsigned char c) { return std::isxdigit(c); });
  if (!plain || hex.empty() || hex.size() % 4 != 0) return hex;
  std::string out;
  for (size_t i = 0; i < hex.size(); i += 4) {
    const auto unit = static_cast<char16_t>(std::stoul(hex.substr(i, 4), nullptr, 16));
    const char* letters = single ? LigatureLetters(unit) : nullptr;
    char buf[5];
    std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(Repaired(unit)));
    out += letters ? letters : buf;
  }
  return out;
}

// Where a CMap's tokens stand: outside the mapping blocks, or at the n-th
// token of a bfchar entry (code, text) or bfrange entry (low, high, text
// or [texts]).
struct CmapPlace {
  enum class Block { kNone, kChar, kRange } block = Block::kNone;
  int slot = 0;
  bool inArray = false;

  void Word(const std::string& word) {
    if (word == "beginbfchar") *this = {Block::kChar, 0, false};
    else if (word == "beginbfrange") *this = {Block::kRange, 0, false};
    else if (word == "endbfchar" || word == "endbfrange") *this = {};
  }
  // Whether the hex string here is a text, and whether it maps one code.
  bool AtText() const { return (block == Block::kChar && slot == 1) || (block == Block::kRange && (slot == 2 || inArray)); }
  bool Single() const { return block == Block::kChar || inArray; }
  void Next() {
    if (!inArray) slot = (slot + 1) % (block == Block::kChar ? 2 : 3);
  }
};

// The page's metadata in the document's information dictionary (made when
// the file has none); false when nothing is given.
bool SetInfo(QPDF& pdf, const PdfInfo& info) {
  if (info.title.empty() && info.author.empty() && info.subject.empty()) return false;
  QPDFObjectHandle trailer = pdf.getTrailer();
  QPDFObjectHandle dict = trailer.getKey("/Info");
  if (!dict.isDictionary()) {
    dict = pdf.makeIndirectObject(QPDFObjectHandle::newDictionary());
    trailer.replaceKey("/Info", dict);
  }
  dict.replaceKey("/Producer", QPDFObjectHandle::newUnicodeString("Linkmeter"));
  const std::pair<const char*, const std::string*> fields[] = {
      {"/Title", &info.title}, {"/Author", &info.author}, {"/Subject", &info.subject}};
  for (const auto& [key, value] : fields) {
    if (!value->empty()) dict.replaceKey(key, QPDFObjectHandle::newUnicodeString(*value));
  }
  return true;
}

// Every font's text map repaired in place; whether any changed.
bool RepairTextMaps(QPDF& pdf) {
  bool changed = false;
  std::set<QPDFObjGen> seen;
  for (QPDFObjectHandle object : pdf.getAllObjects()) {
    if (!object.isDictionary() || !object.hasKey("/ToUnicode")) continue;
    QPDFObjectHandle map = object.getKey("/ToUnicode");
    if (!map.isStream() || !seen.insert(map.getObjGen()).second) continue;
    const auto data = map.getStreamData(qpdf_dl_generalized);
    const std::string text(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
    const std::string fixed = RepairToUnicode(text);
    if (fixed == text) continue;
    // Unfiltered here; the writer compresses it.
    map.replaceStreamData(fixed, QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    changed = true;
  }
  return changed;
}

}  // namespace

std::string RepairToUnicode(const std::string& cmap) {
  std::string out;
  out.reserve(cmap.size());
  CmapPlace place;
  for (size_t i = 0; i < cmap.size();) {
    const char c = cmap[i];
    if (std::isalpha(static_cast<unsigned char>(c))) {
      size_t end = i;
      while (end < cmap.size() && std::isalnum(static_cast<unsigned char>(cmap[end]))) ++end;
      place.Word(cmap.substr(i, end - i));
      out.append(cmap, i, end - i);
      i = end;
    } else if (c == '<' && place.block != CmapPlace::Block::kNone) {
      const size_t end = cmap.find('>', i);
      if (end == std::string::npos) {
        out.append(cmap, i, std::string::npos);
        break;
      }
      const std::string hex = cmap.substr(i + 1, end - i - 1);
      out += "<" + (place.AtText() ? RepairedHex(hex, place.Single()) : hex) + ">";
      place.Next();
      i = end + 1;
    } else {
      if (c == '[' && place.block == CmapPlace::Block::kRange && place.slot == 2) place.inArray = true;
      if (c == ']' && place.inArray) place.inArray = false, place.slot = 0;
      out += c;
      ++i;
    }
  }
  return out;
}

std::string RepairPdf(const std::string& pdf, const PdfInfo& info) {
  try {
    QPDF doc;
    doc.setSuppressWarnings(true);
    doc.processMemoryFile("printed report", pdf.data(), pdf.size());
    const bool maps = RepairTextMaps(doc);
    if (!SetInfo(doc, info) && !maps) return pdf;
    QPDFWriter writer(doc);
    writer.setOutputMemory();
    // Streams are never decoded: the printed pages' stay as they are, and
    // those without a filter (the repaired maps) are compressed.
    writer.setDecodeLevel(qpdf_dl_none);
    writer.setDeterministicID(true);
    writer.write();
    const auto buffer = writer.getBufferSharedPointer();
    return std::string(reinterpret_cast<const char*>(buffer->getBuffer()), buffer->getSize());
  } catch (const std::exception&) {
    // Not a PDF the library can read: left as printed.
    return pdf;
  }
}

std::string RepairPdfFile(const std::string& path, const PdfInfo& info) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot read " + path;
  const std::string pdf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  const std::string fixed = RepairPdf(pdf, info);
  if (fixed == pdf) return {};
  const std::string temp = path + ".part";
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    out.write(fixed.data(), static_cast<std::streamsize>(fixed.size()));
    out.flush();
    if (!out) {
      std::remove(temp.c_str());
      return "cannot write " + temp;
    }
  }
  // On the disk before it replaces the printed file, so a crash leaves one or the other whole.
  const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC);
  const bool synced = fd >= 0 && ::fsync(fd) == 0;
  if (fd >= 0) ::close(fd);
  if (!synced) {
    std::remove(temp.c_str());
    return "cannot write " + temp;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    std::remove(temp.c_str());
    return "cannot replace " + path;
  }
  return {};
}

}  // namespace Sorrel::Js
