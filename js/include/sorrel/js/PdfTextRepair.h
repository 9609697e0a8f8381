#pragma once
// A printed PDF's text made searchable as the page wrote it. The print
// engine works out each glyph's character from the font's character map,
// and where a map gives one glyph to several characters it takes the
// lowest: the CJK face then turns 比, 日, 行 … into their radical forms
// (U+2F00 block), an en dash into a figure dash and the ff, fi, fl …
// ligatures into single characters. This rewrites those text maps and sets
// the document's title, author and subject, reading and writing the file's
// objects with libqpdf (the pages' streams stay as printed).

#include <string>

namespace Sorrel::Js {

struct PdfInfo {
  std::string title;
  std::string author;
  std::string subject;
};

// A ToUnicode CMap with the text of every bfchar and bfrange entry
// repaired; the same text when nothing needed it.
std::string RepairToUnicode(const std::string& cmap);

// The PDF `pdf` with its text maps repaired and `info` set (empty fields
// keep what was there), or `pdf` unchanged when nothing needed it or it is
// not a PDF the library can read.
std::string RepairPdf(const std::string& pdf, const PdfInfo& info);

// RepairPdf on the file at `path`, replaced atomically; the failure in
// words, or empty.
std::string RepairPdfFile(const std::string& path, const PdfInfo& info);

}  // namespace Sorrel::Js
