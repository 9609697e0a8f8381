#include "sorrel/js/FileFunctions.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "lm/Text.h"
#include "sorrel/cef/Exception.h"
#include "sorrel/js/FileNames.h"

namespace Sorrel::Js {

using cef::Ensure;
using cef::EnsureExecuted;
using lm::json::Value;

namespace {

constexpr const char* kInvalidHandle = "invalid file handle";
// Reads grow their buffer in steps of this size, so a huge size asks for no
// more memory than the file can fill.
constexpr size_t kReadChunk = 64 * 1024;
constexpr double kMaxSafeInteger = 9007199254740991.0;

std::optional<uint32_t> HandleNumber(const Value& v) {
  if (!v.is<lm::json::Object>()) return std::nullopt;
  const auto& o = v.get<lm::json::Object>();
  auto type = o.find("type");
  auto handle = o.find("handle");
  if (type == o.end() || handle == o.end()) return std::nullopt;
  if (!type->second.is<std::string>() || type->second.get<std::string>() != "FILE") return std::nullopt;
  if (!IsInteger(handle->second, 0, 4294967295.0)) return std::nullopt;
  return static_cast<uint32_t>(handle->second.get<double>());
}

void ArgCount(const Args& args, size_t n) { Ensure(args.size() == n, -1, ""); }

// Opens the named file; null for a name the file system cannot carry, and
// for a folder, which fopen accepts but nothing can be read from.
std::FILE* OpenFile(const std::string& text, const std::string& mode) {
  auto name = TextToFileName(text);
  if (!name) return nullptr;
  std::FILE* file = std::fopen(name->c_str(), mode.c_str());
  struct stat st;
  if (file && (::fstat(::fileno(file), &st) != 0 || S_ISDIR(st.st_mode))) {
    std::fclose(file);
    return nullptr;
  }
  return file;
}

// Whether the path names something, as stat sees it.
bool Stat(const Value& path, struct stat& st) {
  auto name = TextToFileName(path.get<std::string>());
  return name && ::stat(name->c_str(), &st) == 0;
}

// Writes and flushes, so a full disk or an I/O error is this call's failure
// and not a later one's.
bool WriteAll(std::FILE* f, const void* data, size_t size) {
  std::clearerr(f);
  return std::fwrite(data, 1, size, f) == size && std::fflush(f) == 0;
}

}  // namespace

Stream FileNative::StreamAt0(const Args& args, const std::string& detail) const {
  Ensure(args[0].is<lm::json::Object>(), -2, "");
  auto handle = HandleNumber(args[0]);
  Stream stream = handle ? table_->Find(*handle) : nullptr;
  EnsureExecuted(stream != nullptr, -3, detail);
  return stream;
}

void FileOpen::Run(const Args& args, Call& call) {
  ArgCount(args, 2);
  Ensure(args[0].is<std::string>(), -2, "");
  Ensure(args[1].is<std::string>(), -3, "");
  const std::string& mode = args[1].get<std::string>();
  Ensure(!mode.empty(), -4, "");
  std::FILE* file = OpenFile(args[0].get<std::string>(), mode);
  EnsureExecuted(file != nullptr, -5, "");
  const uint32_t handle = Table().Add(file);
  call.returnValue = lm::json::MakeObject({{"handle", lm::json::Number(handle)}, {"type", lm::json::String("FILE")}});
}

void FileClose::Run(const Args& args, Call& call) {
  ArgCount(args, 1);
  Ensure(args[0].is<lm::json::Object>(), -2, "");
  auto handle = HandleNumber(args[0]);
  int error = 0;
  const FileTable::Closed closed = handle ? Table().Close(*handle, &error) : FileTable::Closed::kNotOpen;
  EnsureExecuted(closed != FileTable::Closed::kNotOpen, -3, "");
  EnsureExecuted(closed == FileTable::Closed::kDone, -4, std::string("the file could not be closed: ") + std::strerror(error));
  ReturnUndefined(call);
}

void FileWrite::Run(const Args& args, Call& call) {
  ArgCount(args, 2);
  Stream stream = StreamAt0(args, kInvalidHandle);
  // Every byte is checked before anything is written.
  Ensure(args[1].is<lm::json::Array>(), -4, "");
  std::vector<unsigned char> bytes;
  for (const Value& e : args[1].get<lm::json::Array>()) {
    Ensure(IsInteger(e, 0, 255), -4, "");
    bytes.push_back(static_cast<unsigned char>(e.get<double>()));
  }
  EnsureExecuted(bytes.empty() || WriteAll(stream.get(), bytes.data(), bytes.size()), -5, "");
  call.returnValue = lm::json::Number(static_cast<double>(bytes.size()));
}

void FileRead::Run(const Args& args, Call& call) {
  ArgCount(args, 2);
  Stream stream = StreamAt0(args, kInvalidHandle);
  Ensure(IsInteger(args[1], -kMaxSafeInteger, kMaxSafeInteger), -4, "");
  const double size = args[1].get<double>();
  Ensure(size >= 0, -5, "");
  lm::json::Array out;
  std::vector<unsigned char> buffer;
  std::clearerr(stream.get());
  for (double left = size; left > 0;) {
    const size_t want = static_cast<size_t>(std::min<double>(left, kReadChunk));
    buffer.resize(want);
    const size_t got = std::fread(buffer.data(), 1, want, stream.get());
    for (size_t i = 0; i < got; ++i) out.push_back(lm::json::Number(static_cast<int>(buffer[i])));
    if (got < want) break;
    left -= static_cast<double>(got);
  }
  // A short read is the end of the file only when the stream says so.
  EnsureExecuted(!std::ferror(stream.get()), -6, "");
  call.returnValue = Value(std::move(out));
}

void FileGets::Run(const Args& args, Call& call) {
  Ensure(!args.empty(), -1, "");
  Stream stream = StreamAt0(args, kInvalidHandle);
  double size = 1024;
  if (args.size() == 2) {
    Ensure(IsInteger(args[1], -kMaxSafeInteger, kMaxSafeInteger), -4, "");
    size = args[1].get<double>();
    Ensure(size > 0, -5, "");
  }
  // At most size - 1 bytes, up to and including a newline.
  std::string line;
  std::FILE* f = stream.get();
  int c = 0;
  while (static_cast<double>(line.size()) < size - 1 && (c = std::getc(f)) != EOF) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  if (line.empty() || (c == EOF && std::ferror(f))) {
    ReturnUndefined(call);
    return;
  }
  // A line cut inside a double-byte character leaves its lead byte for the
  // next read, so neither part is damaged.
  if (line.back() != '\n') {
    const size_t whole = lm::text::WholeAnsiLength(line);
    if (whole < line.size() && whole > 0) {
      std::ungetc(static_cast<unsigned char>(line.back()), f);
      line.pop_back();
    }
  }
  call.returnValue = lm::json::String(lm::text::AnsiToUtf8Lenient(line));
}

void FilePuts::Run(const Args& args, Call& call) {
  ArgCount(args, 2);
  Stream stream = StreamAt0(args, kInvalidHandle);
  Ensure(args[1].is<std::string>(), -4, "");
  // A character the code page cannot carry fails the write rather than
  // being written as something else.
  auto ansi = lm::text::TryUtf8ToAnsi(args[1].get<std::string>());
  EnsureExecuted(ansi.has_value(), -5, "");
  int result = 0;
  if (!ansi->empty()) {
    std::clearerr(stream.get());
    result = std::fputs(ansi->c_str(), stream.get());
    if (result >= 0 && std::fflush(stream.get()) != 0) result = -1;  // a full disk fails this call
  }
  EnsureExecuted(result >= 0, -5, "");
  call.returnValue = lm::json::Number(result);
}

void FileSeek::Run(const Args& args, Call& call) {
  ArgCount(args, 3);
  Stream stream = StreamAt0(args, kInvalidHandle);
  // Offsets beyond 32 bits reach large files instead of wrapping.
  Ensure(IsInteger(args[1], -kMaxSafeInteger, kMaxSafeInteger), -8, "");
  const int64_t offset = static_cast<int64_t>(args[1].get<double>());
  const int64_t origin = ToInteger(args[2]);
  Ensure(origin <= 2, -9, "");
  int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
  const bool ok = origin >= 0 && fseeko(stream.get(), static_cast<off_t>(offset), whence) == 0;
  EnsureExecuted(ok, -10, "");
  call.returnValue = lm::json::Number(0);
}

void IsExistFile::Run(const Args& args, Call& call) {
  ArgCount(args, 1);
  Ensure(args[0].is<std::string>(), -2, "");
  struct stat st;
  call.returnValue = lm::json::Bool(Stat(args[0], st));
}

void IsExistDir::Run(const Args& args, Call& call) {
  ArgCount(args, 1);
  Ensure(args[0].is<std::string>(), -2, "");
  struct stat st;
  call.returnValue = lm::json::Bool(Stat(args[0], st) && S_ISDIR(st.st_mode));
}

// ---- descriptions ---------------------------------------------------------

namespace {

constexpr const char* kFiles = "Files";
const HostArgDoc kHandleArg{"handle", "file-handle object {type: \"FILE\", handle}", "required", "from app.fileOpen"};
const HostFailureDoc kCount{"-1", "wrong number of arguments"};
const HostFailureDoc kBadHandle{"-2", "handle is not an object"};
const HostFailureDoc kNotOpen{"-3", "the handle names no open file (\"method error : invalid file handle\")"};

}  // namespace

const HostDoc& FileOpen::Doc() const {
  static const HostDoc doc{
      kFiles, "(filename, mode)", "Opens a file.",
      {{"filename", "string", "required", "a path"}, {"mode", "string", "required", "a C mode text: \"r\", \"w\", \"a\", \"r+\", \"wb\" …"}},
      "A file-handle object {type: \"FILE\", handle}; handles count up from 1 and are never reused.",
      {kCount, {"-2", "filename not a string"}, {"-3", "mode not a string"}, {"-4", "mode empty"},
       {"-5", "the file cannot be opened, is a folder, or its name cannot be a file name here"}},
      "const f = app.fileOpen(path, 'w');", {__FILE__}};
  return doc;
}

const HostDoc& FileClose::Doc() const {
  static const HostDoc doc{kFiles, "(handle)", "Closes a file.", {kHandleArg}, "undefined.",
                           {kCount, kBadHandle, {"-3", "the file is not open (also when closed twice)"},
                            {"-4", "the close failed (what was written may not be in the file); the handle is closed"}},
                           "app.fileClose(f);", {__FILE__}};
  return doc;
}

const HostDoc& FileWrite::Doc() const {
  static const HostDoc doc{
      kFiles, "(handle, bytes)", "Writes bytes.",
      {kHandleArg, {"bytes", "array of integers", "required", "each 0..255; at most 199996 per call (argument limits)"}},
      "The number of bytes written (all of them; the bytes are on their way to the disk when it returns).",
      {kCount, kBadHandle, kNotOpen, {"-4", "bytes is not an array of 0..255, or longer than 199996; nothing is written"},
       {"-5", "the write failed: a full disk or an I/O error"}},
      "app.fileWrite(f, [0x4c, 0x4d]);", {__FILE__}};
  return doc;
}

const HostDoc& FileRead::Doc() const {
  static const HostDoc doc{kFiles, "(handle, size)", "Reads up to size bytes.",
                           {kHandleArg, {"size", "integer", "required", ">= 0"}},
                           "An array of bytes, shorter at the end of the file.",
                           {kCount, kBadHandle, kNotOpen, {"-4", "size not an integer"}, {"-5", "size negative"},
                            {"-6", "the read failed: an I/O error, or a file opened for writing only"}},
                           "const bytes = app.fileRead(f, 64);", {__FILE__}};
  return doc;
}

const HostDoc& FileGets::Doc() const {
  static const HostDoc doc{
      kFiles, "(handle[, size])", "Reads one line (CP932 text), the newline kept.",
      {kHandleArg, {"size", "integer", "optional", "> 0; at most size − 1 bytes are read (default 1024)"}},
      "The line as a string, or undefined at the end of the file.",
      {{"-1", "no argument"}, kBadHandle, kNotOpen, {"-4", "size not an integer"}, {"-5", "size not positive"}},
      "for (let line; (line = app.fileGets(f)) !== undefined;) lines.push(line);", {__FILE__}};
  return doc;
}

const HostDoc& FilePuts::Doc() const {
  static const HostDoc doc{
      kFiles, "(handle, text)", "Writes text in CP932; no newline is added.",
      {kHandleArg, {"text", "string", "required", "characters CP932 can carry"}}, "A non-negative number.",
      {kCount, kBadHandle, kNotOpen, {"-4", "text not a string"},
       {"-5", "the write failed (a full disk, an I/O error), or a character CP932 cannot carry"}},
      "app.filePuts(f, 'time,level\\r\\n');", {__FILE__}};
  return doc;
}

const HostDoc& FileSeek::Doc() const {
  static const HostDoc doc{
      kFiles, "(handle, offset, origin)", "Moves the file position.",
      {kHandleArg, {"offset", "integer", "required", ""}, {"origin", "integer", "required", "0 start, 1 current, 2 end"}},
      "0.",
      {kCount, kBadHandle, kNotOpen, {"-8", "offset not an integer"}, {"-9", "origin above 2"},
       {"-10", "the seek failed (also for a negative origin)"}},
      "app.fileSeek(f, 0, 2);", {__FILE__}};
  return doc;
}

const HostDoc& IsExistFile::Doc() const {
  static const HostDoc doc{kFiles, "(path)", "Whether a file or folder exists.", {{"path", "string", "required", ""}},
                           "true or false.", {kCount, {"-2", "path not a string"}}, "if (!app.isExistFile(path)) …",
                           {__FILE__}};
  return doc;
}

const HostDoc& IsExistDir::Doc() const {
  static const HostDoc doc{kFiles, "(path)", "Whether a folder exists.", {{"path", "string", "required", ""}},
                           "true or false (false for a file).", {kCount, {"-2", "path not a string"}},
                           "if (app.isExistDir(folder)) …", {__FILE__}};
  return doc;
}

}  // namespace Sorrel::Js
