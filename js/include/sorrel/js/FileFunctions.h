#pragma once
// app.fileOpen … app.isExistDir: the page's files over C streams, named by
// handle objects {"type":"FILE","handle":n}. All but the two existence tests
// share one open-file table.

#include <memory>

#include "sorrel/js/FileTable.h"
#include "sorrel/js/HostNative.h"

namespace Sorrel::Js {

// A function that works on the open-file table.
class FileNative : public HostNative {
 public:
  FileNative(std::string scriptName, std::string nativeName, std::shared_ptr<FileTable> table)
      : HostNative(std::move(scriptName), std::move(nativeName)), table_(std::move(table)) {}

 protected:
  // The stream the handle object at position 0 names: not an object -2,
  // not an open file -3 (execution error with `detail`).
  Stream StreamAt0(const Args& args, const std::string& detail) const;
  FileTable& Table() const { return *table_; }

 private:
  std::shared_ptr<FileTable> table_;
};

class FileOpen : public FileNative {
 public:
  explicit FileOpen(std::shared_ptr<FileTable> t) : FileNative("app.fileOpen", "FileOpen", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FileClose : public FileNative {
 public:
  explicit FileClose(std::shared_ptr<FileTable> t) : FileNative("app.fileClose", "FileClose", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FileWrite : public FileNative {
 public:
  explicit FileWrite(std::shared_ptr<FileTable> t) : FileNative("app.fileWrite", "FileWrite", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FileRead : public FileNative {
 public:
  explicit FileRead(std::shared_ptr<FileTable> t) : FileNative("app.fileRead", "FileRead", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FileGets : public FileNative {
 public:
  explicit FileGets(std::shared_ptr<FileTable> t) : FileNative("app.fileGets", "FileGets", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FilePuts : public FileNative {
 public:
  explicit FilePuts(std::shared_ptr<FileTable> t) : FileNative("app.filePuts", "FilePuts", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class FileSeek : public FileNative {
 public:
  explicit FileSeek(std::shared_ptr<FileTable> t) : FileNative("app.fileSeek", "FileSeek", std::move(t)) {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class IsExistFile : public HostNative {
 public:
  IsExistFile() : HostNative("app.isExistFile", "IsExistFile") {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

class IsExistDir : public HostNative {
 public:
  IsExistDir() : HostNative("app.isExistDir", "IsExistDir") {}
  void Run(const Args& args, Call& call) override;
  const HostDoc& Doc() const override;
};

}  // namespace Sorrel::Js
