// Descriptions of the file functions and the sibling application's.
#include "DescribedTables.h"
#include "DocBuilder.h"

namespace linkmeter::apidoc::detail {
namespace {

constexpr const char* kFiles = "Files";
constexpr const char* kSibling = "Sibling application";
const ArgDoc kHandle{"handle", "file-handle object {type: \"FILE\", handle}", "required", "from app.fileOpen"};
const FailureDoc kCount{"-1", "wrong number of arguments"};
const FailureDoc kBadHandle{"-2", "handle is not an object"};
const FailureDoc kNotOpen{"-3", "the handle names no open file (\"method error : invalid file handle\")"};

}  // namespace

std::vector<FunctionDoc> FileAndSiblingDocs() {
  return {
      Doc("app.fileOpen", kFiles, "(filename, mode)", "Opens a file.",
          {{"filename", "string", "required", "a path"}, {"mode", "string", "required", "a C mode text: \"r\", \"w\", \"a\", \"r+\", \"wb\" …"}},
          "A file-handle object {type: \"FILE\", handle}; handles count up from 1 and are never reused.",
          {kCount, {"-2", "filename not a string"}, {"-3", "mode not a string"}, {"-4", "mode empty"},
           {"-5", "the file cannot be opened, is a folder, or its name cannot be a file name here"}},
          "const f = app.fileOpen(path, 'w');"),
      Doc("app.fileClose", kFiles, "(handle)", "Closes a file.", {kHandle}, "undefined.",
          {kCount, kBadHandle, {"-3", "the file is not open (also when closed twice)"}}, "app.fileClose(f);"),
      Doc("app.fileWrite", kFiles, "(handle, bytes)", "Writes bytes.",
          {kHandle, {"bytes", "array of integers", "required", "each 0..255; at most 199996 per call (argument limits)"}},
          "The number of bytes written (all of them; the bytes are on their way to the disk when it returns).",
          {kCount, kBadHandle, kNotOpen,
           {"-4", "bytes is not an array of 0..255, or longer than 199996; nothing is written"},
           {"-5", "the write failed: a full disk or an I/O error"}},
          "app.fileWrite(f, [0x4c, 0x4d]);"),
      Doc("app.fileRead", kFiles, "(handle, size)", "Reads up to size bytes.",
          {kHandle, {"size", "integer", "required", ">= 0"}}, "An array of bytes, shorter at the end of the file.",
          {kCount, kBadHandle, kNotOpen, {"-4", "size not an integer"}, {"-5", "size negative"},
           {"-6", "the read failed: an I/O error, or a file opened for writing only"}},
          "const bytes = app.fileRead(f, 64);"),
      Doc("app.fileGets", kFiles, "(handle[, size])", "Reads one line (CP932 text), the newline kept.",
          {kHandle, {"size", "integer", "optional", "> 0; at most size − 1 bytes are read (default 1024)"}},
          "The line as a string, or undefined at the end of the file.",
          {kCount, kBadHandle, kNotOpen, {"-4", "size not an integer"}, {"-5", "size not positive"}},
          "for (let line; (line = app.fileGets(f)) !== undefined;) lines.push(line);"),
      Doc("app.filePuts", kFiles, "(handle, text)", "Writes text in CP932; no newline is added.",
          {kHandle, {"text", "string", "required", "characters CP932 can carry"}}, "A non-negative number.",
          {kCount, kBadHandle, kNotOpen, {"-4", "text not a string"},
           {"-5", "the write failed (a full disk, an I/O error), or a character CP932 cannot carry"}},
          "app.filePuts(f, 'time,level\\r\\n');"),
      Doc("app.fileSeek", kFiles, "(handle, offset, origin)", "Moves the file position.",
          {kHandle, {"offset", "integer", "required", ""}, {"origin", "integer", "required", "0 start, 1 current, 2 end"}}, "0.",
          {kCount, kBadHandle, kNotOpen, {"-8", "offset not an integer"}, {"-9", "origin above 2"}, {"-10", "the seek failed"}},
          "app.fileSeek(f, 0, 2);"),
      Doc("app.isExistFile", kFiles, "(path)", "Whether a file or folder exists.", {{"path", "string", "required", ""}},
          "true or false.", {kCount, {"-2", "path not a string"}}, "if (!app.isExistFile(path)) …"),
      Doc("app.isExistDir", kFiles, "(path)", "Whether a folder exists.", {{"path", "string", "required", ""}},
          "true or false (false for a file).", {kCount, {"-2", "path not a string"}}, "if (app.isExistDir(folder)) …"),
      Doc("app.isRunningVlb1Tool", kSibling, "([oem])", "Whether the sibling application is running for this user.",
          {{"oem", "boolean", "optional", "true: its OEM edition"}}, "true or false.", {{"-2", "oem is not a boolean"}},
          "if (app.isRunningVlb1Tool()) warn('Close the other application before writing.');"),
      Doc("app.getSettingsVlb1Tool", kSibling, "([oem])", "The base-unit settings the sibling application saved for this user.",
          {{"oem", "boolean", "optional", "true: its OEM edition"}},
          "{RSETF: {groups: […]}} with the registration's groups, repeaters and remote units; {RSETF: {}} without "
          "registration data; {} without settings.",
          {{"-2", "oem is not a boolean"}, {"-1", "no Documents folder"}, {"-5", "no settings file"},
           {"-11", "the file is not a plain settings document"}, {"-20 … -23, -25, -26, -40, -41", "the document cannot be read"},
           {"-24", "bytes that are no text in the declared encoding (Shift_JIS is read as CP932)"},
           {"-27", "the document is not well-formed XML (what was read is not returned)"},
           {"-42", "DATA is not Base64"}, {"-43, -44", "DATA is not a registration image"}},
          "try { const s = app.getSettingsVlb1Tool(); show(s.RSETF && s.RSETF.groups); }\ncatch (e) { const err = JSON.parse(e.message); if (err.code1 !== -5) throw e; }"),
  };
}

}  // namespace linkmeter::apidoc::detail
