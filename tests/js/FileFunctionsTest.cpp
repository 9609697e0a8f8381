#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include <filesystem>
#include <fstream>
#include <memory>

#include "NativeTestSupport.h"
#include "sorrel/js/FileFunctions.h"

using namespace Sorrel::Js;
using js_test::CallNative;

namespace {

namespace fs = std::filesystem;

class FileFunctions : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("lm-js-files-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Quoted(const std::string& name) const { return "\"" + Path(name) + "\""; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(Path(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Opens and returns the handle object's text.
  std::string Open(const std::string& name, const std::string& mode) {
    auto o = CallNative(open_, {Quoted(name), "\"" + mode + "\""});
    EXPECT_EQ(o.exception, "");
    return lm::json::ToText(o.value);
  }
  std::string Run(const std::shared_ptr<FileNative>& f, const std::vector<std::string>& args) {
    return CallNative(f, args).Text();
  }

  fs::path dir_;
  std::shared_ptr<FileTable> table_ = std::make_shared<FileTable>();
  std::shared_ptr<FileOpen> open_ = std::make_shared<FileOpen>(table_);
  std::shared_ptr<FileClose> close_ = std::make_shared<FileClose>(table_);
  std::shared_ptr<FileWrite> write_ = std::make_shared<FileWrite>(table_);
  std::shared_ptr<FileRead> read_ = std::make_shared<FileRead>(table_);
  std::shared_ptr<FileGets> gets_ = std::make_shared<FileGets>(table_);
  std::shared_ptr<FilePuts> puts_ = std::make_shared<FilePuts>(table_);
  std::shared_ptr<FileSeek> seek_ = std::make_shared<FileSeek>(table_);
};

TEST_F(FileFunctions, HandlesCountUpAndAreNeverReused) {
  EXPECT_EQ(Open("a", "w"), R"({"handle":1,"type":"FILE"})");
  EXPECT_EQ(Run(close_, {R"({"handle":1,"type":"FILE"})"}), "undefined");
  EXPECT_EQ(Open("b", "w"), R"({"handle":2,"type":"FILE"})");
  EXPECT_EQ(Open("a", "r"), R"({"handle":3,"type":"FILE"})");
  // A second close of the same handle, and handles of the wrong shape.
  EXPECT_EQ(Run(close_, {R"({"handle":1,"type":"FILE"})"}), R"({"api":"app.fileClose","code1":-3,"msg":"method error"})");
  EXPECT_EQ(Run(close_, {R"({"handle":2,"type":"file"})"}), R"({"api":"app.fileClose","code1":-3,"msg":"method error"})");
  EXPECT_EQ(Run(close_, {R"({"handle":2})"}), R"({"api":"app.fileClose","code1":-3,"msg":"method error"})");
  EXPECT_EQ(Run(close_, {"2"}), R"({"api":"app.fileClose","code1":-2,"msg":"Invalid arguments"})");
  EXPECT_EQ(table_->OpenCount(), 2u);
}

TEST_F(FileFunctions, OpenChecksItsArgumentsAndReportsFailure) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"\"x\""}, R"({"api":"app.fileOpen","code1":-1,"msg":"Invalid arguments"})"},
      {{"1", "\"r\""}, R"({"api":"app.fileOpen","code1":-2,"msg":"Invalid arguments"})"},
      {{"\"x\"", "null"}, R"({"api":"app.fileOpen","code1":-3,"msg":"Invalid arguments"})"},
      {{"\"x\"", "\"\""}, R"({"api":"app.fileOpen","code1":-4,"msg":"Invalid arguments"})"},
      {{Quoted("missing/none"), "\"r\""}, R"({"api":"app.fileOpen","code1":-5,"msg":"method error"})"},
      // A folder opens with fopen but reads nothing: it is no file to open.
      {{"\"" + dir_.string() + "\"", "\"r\""}, R"({"api":"app.fileOpen","code1":-5,"msg":"method error"})"},
      {{"\"" + dir_.string() + "/\"", "\"rb\""}, R"({"api":"app.fileOpen","code1":-5,"msg":"method error"})"},
  };
  for (const auto& c : cases) EXPECT_EQ(CallNative(open_, c.args).Text(), c.expected) << c.args[0];
  EXPECT_EQ(table_->OpenCount(), 0u);
}

// A full disk or an I/O error reaches the page as the failure the
// functions document, not as a short count or an empty array.
TEST_F(FileFunctions, WriteAndReadFailuresReachThePage) {
  auto openAt = [&](const std::string& path, const std::string& mode) {
    return lm::json::ToText(CallNative(open_, {"\"" + path + "\"", "\"" + mode + "\""}).value);
  };
  const std::string full = openAt("/dev/full", "wb");
  EXPECT_EQ(Run(write_, {full, "[1,2,3]"}), R"({"api":"app.fileWrite","code1":-5,"msg":"method error"})");
  EXPECT_EQ(Run(puts_, {full, "\"line\""}), R"({"api":"app.filePuts","code1":-5,"msg":"method error"})");
  EXPECT_EQ(Run(write_, {full, "[]"}), "0");  // nothing to write, nothing fails
  // A close that fails (as close(2) can on a network file system) is the
  // page's failure too; the handle is gone either way.
  cookie_io_functions_t failingClose{};
  failingClose.close = [](void*) {
    errno = EIO;
    return -1;
  };
  const std::string closing =
      R"({"handle":)" + std::to_string(table_->Add(fopencookie(nullptr, "w", failingClose))) + R"(,"type":"FILE"})";
  EXPECT_EQ(Run(close_, {closing}),
            R"({"api":"app.fileClose","code1":-4,"msg":"method error : the file could not be closed: Input/output error"})");
  EXPECT_EQ(Run(close_, {closing}), R"({"api":"app.fileClose","code1":-3,"msg":"method error"})");
  EXPECT_EQ(Run(close_, {full}), "undefined");
  const struct {
    std::string path, mode;
  } unreadable[] = {
      {"/proc/self/mem", "rb"},  // offset 0 is never mapped: EIO
      {Path("writeonly"), "wb"},  // a stream opened for writing only: EBADF
  };
  for (const auto& u : unreadable) {
    const std::string h = openAt(u.path, u.mode);
    EXPECT_EQ(Run(read_, {h, "16"}), R"({"api":"app.fileRead","code1":-6,"msg":"method error"})") << u.path;
    EXPECT_EQ(Run(read_, {h, "0"}), "[]") << u.path;  // a read of nothing cannot fail
  }
  // The error of one call does not stick to the next.
  Write("ok", "ab");
  const std::string h = Open("ok", "rb");
  EXPECT_EQ(Run(read_, {h, "8"}), "[97,98]");
  EXPECT_EQ(Run(read_, {h, "8"}), "[]");
}

TEST_F(FileFunctions, WriteChecksEveryByteBeforeWriting) {
  const std::string h = Open("bytes", "wb");
  EXPECT_EQ(Run(write_, {h, "[0,255]"}), "2");
  for (const char* bad : {"[1,256]", "[1,-1]", "[1.5]", "[\"1\"]", "7"})
    EXPECT_EQ(Run(write_, {h, bad}), R"({"api":"app.fileWrite","code1":-4,"msg":"Invalid arguments"})") << bad;
  EXPECT_EQ(Run(write_, {h, "[]"}), "0");
  EXPECT_EQ(Run(write_, {R"({"handle":99,"type":"FILE"})", "[1]"}),
            R"({"api":"app.fileWrite","code1":-3,"msg":"method error : invalid file handle"})");
  Run(close_, {h});
  EXPECT_EQ(Read("bytes"), std::string("\x00\xff", 2));
}

TEST_F(FileFunctions, ReadReturnsWhatTheFileHolds) {
  Write("r", "abc");
  const std::string h = Open("r", "rb");
  EXPECT_EQ(Run(read_, {h, "0"}), "[]");
  EXPECT_EQ(Run(read_, {h, "2"}), "[97,98]");
  // A size far beyond the file reads what is there.
  EXPECT_EQ(Run(read_, {h, "1e15"}), "[99]");
  EXPECT_EQ(Run(read_, {h, "5"}), "[]");
  EXPECT_EQ(Run(read_, {h, "1.5"}), R"({"api":"app.fileRead","code1":-4,"msg":"Invalid arguments"})");
  EXPECT_EQ(Run(read_, {h, "-1"}), R"({"api":"app.fileRead","code1":-5,"msg":"Invalid arguments"})");
  // A copy of the handle object with the same members works as well.
  EXPECT_EQ(Run(seek_, {R"({"type":"FILE","handle":1})", "0", "0"}), "0");
  EXPECT_EQ(Run(read_, {R"({"type":"FILE","handle":1})", "1"}), "[97]");
}

TEST_F(FileFunctions, GetsSplitsLongLinesAndConvertsCp932) {
  const std::string longLine = std::string(1030, 'x') + "\n";
  // "日本" in CP932, then a line without a newline at the end.
  Write("lines", longLine + "\x93\xfa\x96\x7b\r\n" + "end");
  const std::string h = Open("lines", "r");
  EXPECT_EQ(Run(gets_, {h}), "\"" + std::string(1023, 'x') + "\"");
  EXPECT_EQ(Run(gets_, {h}), "\"" + std::string(7, 'x') + "\\n\"");
  EXPECT_EQ(Run(gets_, {h}), "\"日本\\r\\n\"");
  EXPECT_EQ(Run(gets_, {h, "3"}), "\"en\"");
  EXPECT_EQ(Run(gets_, {h}), "\"d\"");
  EXPECT_EQ(Run(gets_, {h}), "undefined");
  EXPECT_EQ(Run(gets_, {h, "0"}), R"({"api":"app.fileGets","code1":-5,"msg":"Invalid arguments"})");
  EXPECT_EQ(Run(gets_, {h, "\"2\""}), R"({"api":"app.fileGets","code1":-4,"msg":"Invalid arguments"})");
  // With three arguments the size is not looked at.
  EXPECT_EQ(Run(gets_, {h, "0", "0"}), "undefined");
}

TEST_F(FileFunctions, GetsNeverCutsADoubleByteCharacter) {
  // Two bytes of "ab" then "日": a size of 4 reads 3 bytes, which would end
  // inside the character.
  Write("cut", "ab\x93\xfa");
  const std::string h = Open("cut", "r");
  EXPECT_EQ(Run(gets_, {h, "4"}), "\"ab\"");
  EXPECT_EQ(Run(gets_, {h, "4"}), "\"日\"");
}

TEST_F(FileFunctions, PutsWritesCp932) {
  const std::string h = Open("puts", "w");
  EXPECT_EQ(Run(puts_, {h, "\"日本\\n\""}), "1");
  EXPECT_EQ(Run(puts_, {h, "\"\""}), "0");
  EXPECT_EQ(Run(puts_, {h, "5"}), R"({"api":"app.filePuts","code1":-4,"msg":"Invalid arguments"})");
  // A character CP932 cannot carry is refused, not replaced.
  EXPECT_EQ(Run(puts_, {h, "\"\xF0\x9F\x98\x80\""}), R"({"api":"app.filePuts","code1":-5,"msg":"method error"})");
  Run(close_, {h});
  EXPECT_EQ(Read("puts"), "\x93\xfa\x96\x7b\n");
}

TEST_F(FileFunctions, SeekOrigins) {
  Write("seek", "0123456789");
  const std::string h = Open("seek", "rb");
  EXPECT_EQ(Run(seek_, {h, "-2", "2"}), "0");
  EXPECT_EQ(Run(read_, {h, "5"}), "[56,57]");
  EXPECT_EQ(Run(seek_, {h, "3", "0"}), "0");
  EXPECT_EQ(Run(seek_, {h, "1", "1"}), "0");
  EXPECT_EQ(Run(read_, {h, "1"}), "[52]");
  EXPECT_EQ(Run(seek_, {h, "0", "3"}), R"({"api":"app.fileSeek","code1":-9,"msg":"Invalid arguments"})");
  EXPECT_EQ(Run(seek_, {h, "0", "-1"}), R"({"api":"app.fileSeek","code1":-10,"msg":"method error"})");
  EXPECT_EQ(Run(seek_, {h, "0.5", "0"}), R"({"api":"app.fileSeek","code1":-8,"msg":"Invalid arguments"})");
  EXPECT_EQ(Run(seek_, {h, "0"}), R"({"api":"app.fileSeek","code1":-1,"msg":"Invalid arguments"})");
}

TEST_F(FileFunctions, ExistenceOfFilesAndFolders) {
  Write("f", "x");
  auto file = std::make_shared<IsExistFile>();
  auto dir = std::make_shared<IsExistDir>();
  EXPECT_EQ(CallNative(file, {Quoted("f")}).Text(), "true");
  EXPECT_EQ(CallNative(file, {"\"" + dir_.string() + "\""}).Text(), "true");
  EXPECT_EQ(CallNative(file, {Quoted("none")}).Text(), "false");
  EXPECT_EQ(CallNative(dir, {Quoted("f")}).Text(), "false");
  EXPECT_EQ(CallNative(dir, {"\"" + dir_.string() + "\""}).Text(), "true");
  EXPECT_EQ(CallNative(dir, {}).Text(), R"({"api":"app.isExistDir","code1":-1,"msg":"Invalid arguments"})");
  EXPECT_EQ(CallNative(file, {"1"}).Text(), R"({"api":"app.isExistFile","code1":-2,"msg":"Invalid arguments"})");
}

}  // namespace
