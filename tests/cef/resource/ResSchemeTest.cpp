#include "sorrel/cef/ResSchemeHandlerFactory.h"

#include <gtest/gtest.h>

#include <fstream>

#include "ZipBuilder.h"
#include "sorrel/cef/MimeTypes.h"
#include "sorrel/cef/ResUrl.h"

namespace fs = std::filesystem;
using Sorrel::cef::ResResponse;
using Sorrel::cef::ResSchemeHandlerFactory;
using lmtest::ZipBuilder;

namespace {

void WriteFile(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << text;
}

std::string Body(const ResResponse& r) { return std::string(r.body.begin(), r.body.end()); }

class ResScheme : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("lm-res-" + std::to_string(::getpid()) + "-" +
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    res_ = root_ / "res";
    WriteFile(res_ / "ApiDoc.appres", ZipBuilder().Add({"index.html", "<p>api</p>", 8}).Build());
    WriteFile(res_ / "main.appres", ZipBuilder()
                                        .Add({"index.html", "<p>main</p>", 8})
                                        .Add({"css/a b.css", "body{}", 0})
                                        .Add({"img/logo.png", "PNG", 0})
                                        .Add({"data.unknownext", "?", 0})
                                        .Add({"bad.js", "x", 0, 1})
                                        .Add({"\x95\x5c.txt", "cp932", 0})  // 表.txt in CP932
                                        .Add({"\xe6\x97\xa5.txt", "utf8", 0})  // 日.txt in UTF-8
                                        .Build());
    WriteFile(res_ / "broken.appres", "not a zip at all");
    WriteFile(res_ / "broken.appres.txt", "ignored");
    WriteFile(res_ / "dev.appres" / "index.html", "<p>dev</p>");
    WriteFile(res_ / "dev.appres" / "js" / "x.js", "1;");
    WriteFile(res_ / "dev.appres" / "README", "plain");
    WriteFile(res_ / "secret.txt", "top secret");
    fs::create_symlink(res_ / "secret.txt", res_ / "dev.appres" / "link.txt");
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path root_, res_;
};

}  // namespace

TEST(ResUrl, CutsDecodesAndSplits) {
  using namespace Sorrel::cef::res;
  EXPECT_EQ(CutQueryAndFragment("app://res/m/a.html?x=1#top"), "app://res/m/a.html");
  EXPECT_EQ(CutQueryAndFragment("app://res/m/a.html#t?x"), "app://res/m/a.html");
  EXPECT_EQ(PercentDecode("a%20b%2Fc%zz%4"), "a b/c%zz%4");
  auto t = SplitResUrl("app://res/main/css/a b.css");
  EXPECT_EQ(t.package, "main");
  EXPECT_EQ(t.path, "css/a b.css");
  t = SplitResUrl("app://res/main");
  EXPECT_EQ(t.package, "");
  EXPECT_EQ(t.path, "");
  EXPECT_EQ(ExtensionOf("a.b/c"), "");
  EXPECT_EQ(MimeTypeForExtension("CSS"), "text/css");
  EXPECT_EQ(MimeTypeForExtension(""), "");
}

TEST_F(ResScheme, ServesArchiveEntries) {
  ResSchemeHandlerFactory f(res_);
  EXPECT_EQ(f.Packages().size(), 2u);  // broken.appres and the folder are not packages

  ResResponse r = f.Create("app://res/ApiDoc/");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(Body(r), "<p>api</p>");
  EXPECT_EQ(r.mimeType, "text/html");

  r = f.Create("app://res/main/css/a%20b.css?x=1#top");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(Body(r), "body{}");
  EXPECT_EQ(r.mimeType, "text/css");

  EXPECT_EQ(f.Create("app://res/main/img/logo.png").mimeType, "image/png");
  r = f.Create("app://res/main/data.unknownext");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.mimeType, "");
  // Names in the ANSI code page and in UTF-8 are both found.
  EXPECT_EQ(Body(f.Create("app://res/main/%E8%A1%A8.txt")), "cp932");
  EXPECT_EQ(Body(f.Create("app://res/main/%E6%97%A5.txt")), "utf8");
  // An entry that exists but cannot be read, and a missing one.
  EXPECT_EQ(f.Create("app://res/main/bad.js").status, 404);
  EXPECT_EQ(f.Create("app://res/main/css/A b.css").status, 404);
}

TEST_F(ResScheme, NotFoundPageNamesTheUrl) {
  ResSchemeHandlerFactory f(res_);
  for (const char* url : {"app://res/nosuch/index.html", "app://res/broken/index.html", "app://res"}) {
    ResResponse r = f.Create(url);
    EXPECT_EQ(r.status, 404) << url;
    EXPECT_EQ(r.statusText, "resource not found.");
    EXPECT_EQ(r.mimeType, "text/html");
    EXPECT_EQ(Body(r), std::string("<html><body>resource not found.<br>") + url + "</body></html>");
  }
  // Markup in the URL is not echoed as markup.
  EXPECT_EQ(Body(f.Create("app://res/x/<b>")), "<html><body>resource not found.<br>app://res/x/&lt;b&gt;</body></html>");
}

TEST_F(ResScheme, PackageNamesCompareExactlyButFoldersFallBack) {
  ResSchemeHandlerFactory f(res_);
  EXPECT_EQ(f.Packages().count("apidoc"), 0u);
  EXPECT_EQ(f.Create("app://res/apidoc/").status, 404);
  // No archive named dev: the unpacked folder serves, with the default document.
  ResResponse r = f.Create("app://res/dev/");
  EXPECT_EQ(Body(r), "<p>dev</p>");
  r = f.Create("app://res/dev/js/x.js?v=2");
  EXPECT_EQ(Body(r), "1;");
  EXPECT_EQ(r.mimeType, "text/javascript");
  EXPECT_EQ(f.Create("app://res/dev/README").mimeType, "text/html");
  EXPECT_EQ(f.Create("app://res/dev/js").status, 404);  // a folder, not a file
}

TEST_F(ResScheme, RefusesPathsLeavingThePackageFolder) {
  ResSchemeHandlerFactory f(res_);
  for (const char* url :
       {"app://res/dev/../secret.txt", "app://res/dev/%2e%2e/secret.txt", "app://res/dev/js/..%2F..%2Fsecret.txt",
        "app://res/dev//etc/passwd", "app://res/dev/link.txt", "app://res/../res/dev/index.html",
        "app://res/dev/./index.html"}) {
    EXPECT_EQ(f.Create(url).status, 404) << url;
  }
}

TEST_F(ResScheme, ServesOnlyTheResHostAndPlainPackageNames) {
  WriteFile(res_ / "signed.appres",
            ZipBuilder().Add({"index.html", "<p>signed</p>", 8}).Comment("x" + ZipBuilder().Build()).Build());
  ResSchemeHandlerFactory f(res_);
  EXPECT_EQ(Body(f.Create("app://res/signed/")), "<p>signed</p>");  // a comment holding an end record
  EXPECT_EQ(f.Create("app://res/main/index.html").status, 200);
  EXPECT_EQ(f.Create("app://res/dev/index.html").status, 200);
  for (const char* url : {"app://other/main/index.html", "app://other/dev/index.html", "app://RES/main/index.html",
                          "app://re%73/main/index.html", "app://x@res/main/index.html", "app://res:80/main/",
                          "app:///res/main/index.html", "app://res/secret.txt%00/x", "app://res/secret.txt%00/",
                          "app://res/dev%00/index.html", "app://res/dev%5C..%5C/secret.txt",
                          "app://res/..%5Csecret.txt/x", "app://res/%2E%2E/res/dev/index.html"}) {
    ResResponse r = f.Create(url);
    EXPECT_EQ(r.status, 404) << url;
    EXPECT_EQ(Body(r).find("top secret"), std::string::npos) << url;
  }
}

TEST(ResSchemeFolder, MissingFolderServesNothing) {
  ResSchemeHandlerFactory f("/nonexistent/res");
  EXPECT_TRUE(f.Packages().empty());
  EXPECT_EQ(f.Create("app://res/main/index.html").status, 404);
}
