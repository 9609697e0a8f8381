#include "vantor/zip/ZipLoader.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ZipBuilder.h"

using lmtest::ZipBuilder;
using lmtest::ZipEntry;
using vantor::zip::ZipLoader;

namespace {

int OpenBytes(ZipLoader& zip, const std::string& bytes) {
  return zip.OpenStream(std::make_unique<std::istringstream>(bytes));
}

std::string ReadText(ZipLoader& zip, const std::string& name, int& rc) {
  std::vector<uint8_t> out;
  rc = zip.Read(name, out);
  return std::string(out.begin(), out.end());
}

std::string Repeated(size_t n) {
  std::string s;
  for (size_t i = 0; s.size() < n; ++i) s += "line " + std::to_string(i) + " of a resource\n";
  s.resize(n);
  return s;
}

}  // namespace

TEST(ZipLoader, ReadsStoredDeflatedAndDirectoryEntries) {
  const std::string big = Repeated(200000);
  ZipLoader zip;
  ASSERT_EQ(OpenBytes(zip, ZipBuilder()
                               .Add({"index.html", "<html>hi</html>", 0})
                               .Add({"js/app.js", big, 8})
                               .Add({"empty.txt", "", 8})
                               .Add({"css/", "", 0})
                               .Build()),
            0);
  int rc = 1;
  EXPECT_EQ(ReadText(zip, "index.html", rc), "<html>hi</html>");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadText(zip, "js/app.js", rc), big);
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadText(zip, "empty.txt", rc), "");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(ReadText(zip, "css/", rc), "");
  EXPECT_EQ(rc, 0);
  // Names compare exactly.
  ReadText(zip, "Index.html", rc);
  EXPECT_EQ(rc, -1);
  // A second Open of an open loader does nothing.
  EXPECT_EQ(zip.Open("/nonexistent"), 0);
}

TEST(ZipLoader, RejectsBadEntries) {
  ZipLoader zip;
  ASSERT_EQ(OpenBytes(zip, ZipBuilder()
                               .Add({"crc.txt", "payload", 8, 0xDEADBEEF})
                               .Add({"stored-crc.txt", "payload", 0, 0x12345678})
                               .Add({"uneven.txt", "payload", 0, std::nullopt, std::nullopt, 9})
                               .Add({"bzip.txt", "payload", 12})
                               .Add({"huge.txt", "payload", 8, std::nullopt, std::nullopt, 0xFFFFFFF0})
                               .Add({"past-end.txt", "payload", 0, std::nullopt, 0x7FFFFFFF, 0x7FFFFFFF})
                               .Add({"short.txt", "payload", 8, std::nullopt, std::nullopt, 3})
                               .Build()),
            0);
  int rc = 0;
  EXPECT_EQ(ReadText(zip, "crc.txt", rc), "");
  EXPECT_EQ(rc, -2);
  ReadText(zip, "stored-crc.txt", rc);
  EXPECT_EQ(rc, -2);
  for (const char* name : {"uneven.txt", "bzip.txt", "huge.txt", "past-end.txt", "short.txt"}) {
    EXPECT_EQ(ReadText(zip, name, rc), "") << name;
    EXPECT_EQ(rc, -1) << name;
  }
}

TEST(ZipLoader, FindsDirectoryBehindLongComments) {
  // A comment longer than the first window forces the search to widen, and
  // a fake signature inside the comment must not be taken for the record.
  std::string comment(40000, 'c');
  comment.replace(100, 4, std::string("PK\x05\x06", 4));
  for (size_t length : {size_t{0}, size_t{100}, size_t{130}, size_t{383}, comment.size()}) {
    ZipLoader zip;
    ASSERT_EQ(OpenBytes(zip, ZipBuilder().Add({"a.txt", "A", 0}).Comment(comment.substr(0, length)).Build()), 0)
        << length;
    int rc = 1;
    EXPECT_EQ(ReadText(zip, "a.txt", rc), "A");
  }
}

TEST(ZipLoader, CommentHoldingAnEndRecordDoesNotHideTheEntries) {
  // A comment may carry whole end records of its own (an archive of an
  // archive's tail, a signature pasted into a note). Each one would fit as
  // an empty archive; the record the comment belongs to comes first.
  const std::string fake = ZipBuilder().Build();  // an end record alone: 22 bytes, no entries
  for (const std::string& comment : {fake, "note " + fake + " more", std::string(300, 'c') + fake,
                                     std::string(60000, 'c') + fake + fake}) {
    ZipLoader zip;
    ASSERT_EQ(OpenBytes(zip, ZipBuilder().Add({"a.txt", "A", 0}).Comment(comment).Build()), 0) << comment.size();
    EXPECT_EQ(zip.EntryNames(), std::vector<std::string>{"a.txt"}) << comment.size();
  }
  // Bytes appended after a complete archive leave it readable.
  ZipLoader zip;
  ASSERT_EQ(OpenBytes(zip, ZipBuilder().Add({"a.txt", "A", 0}).Build() + "trailing"), 0);
  int rc = 1;
  EXPECT_EQ(ReadText(zip, "a.txt", rc), "A");
}

TEST(ZipLoader, ReportsEachDamagedDirectoryCode) {
  ZipLoader missing;
  EXPECT_EQ(missing.Open("/nonexistent/dir/x.appres"), ZipLoader::kCannotOpen);

  const std::string good = ZipBuilder().Add({"a.txt", "AAAA", 0}).Add({"b.txt", "BBBB", 0}).Build();
  struct Case {
    const char* what;
    std::string bytes;
    int expected;
  };
  std::string truncatedEnd = good.substr(0, good.size() - 4);
  std::string longCommentLength = good;
  longCommentLength[good.size() - 2] = 50;  // comment says 50 bytes, none follow
  std::string dirPastEnd = good;
  dirPastEnd[good.size() - 3] = '\x7F';  // directory offset far beyond the file
  std::string badSignature = good;
  badSignature[good.find(std::string("PK\x01\x02", 4)) + 1] = 'X';
  std::string shortRecord = ZipBuilder().Add({"a.txt", "AAAA", 0}).DeclaredCount(2).Build();
  const Case cases[] = {
      {"empty file", "", ZipLoader::kNoEndRecord},
      {"not a zip", std::string(5000, 'x'), ZipLoader::kNoEndRecord},
      {"end record cut", truncatedEnd, ZipLoader::kBadEndRecord},
      {"comment past end", longCommentLength, ZipLoader::kBadEndRecord},
      {"directory outside file", dirPastEnd, ZipLoader::kBadEndRecord},
      {"more entries than records", shortRecord, ZipLoader::kRecordPastEnd},
      {"bad record signature", badSignature, ZipLoader::kBadRecord},
  };
  for (const auto& c : cases) {
    ZipLoader zip;
    EXPECT_EQ(OpenBytes(zip, c.bytes), c.expected) << c.what;
    EXPECT_FALSE(zip.IsOpen()) << c.what;
  }

  // A record whose name runs past the directory.
  std::string second = ZipBuilder().Add({"a.txt", "AAAA", 0}).Build();
  second[second.find(std::string("PK\x01\x02", 4)) + 29] = '\x10';
  ZipLoader zip;
  EXPECT_EQ(OpenBytes(zip, second), ZipLoader::kBadRecord);
}
