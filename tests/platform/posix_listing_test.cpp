// The file list and the folder helpers of the POSIX platform, on real folders.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"
#include "text/utf.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using Names = std::vector<std::u16string>;

class PosixListing : public ::testing::Test {
protected:
    TempDir dir;
    PosixPlatform platform;
};

TEST_F(PosixListing, TakesRegularFilesOnlyHiddenOnesIncluded) {
    dir.write("b.txt", "b");
    dir.write(".hidden", "h");
    dir.write("A.TXT", "a");
    dir.write("sub/inner.txt", "i");
    fs::create_symlink(dir.path() / "sub", dir.path() / "linkdir");
    fs::create_symlink(dir.path() / "b.txt", dir.path() / "linkfile");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");
    ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);

    EXPECT_EQ(platform.listFiles(dir.u16(), u"*.*"), (Names{u".hidden", u"A.TXT", u"b.txt", u"linkfile"}));
    EXPECT_EQ(platform.listFiles(dir.u16(), u"*.txt"), (Names{u"A.TXT", u"b.txt"}));
    EXPECT_EQ(platform.listFiles(dir.u16() + u"/", u"*.txt"), (Names{u"A.TXT", u"b.txt"}));
    EXPECT_EQ(platform.listFiles(dir.u16(), u"*.jpg"), Names{});
}

TEST_F(PosixListing, OrdersByTheBytesOfTheNames) {
    // UTF-16 order would put the emoji (a surrogate pair) before the
    // fullwidth letter and the escaped byte 0xFF before both.
    for (const char* name : {"\xff.bin", "\xf0\x9f\x98\x80", "\xef\xbc\xa1", "\xc3\xa9.txt", "z.txt", "Z.txt"}) {
        dir.write(name, "x");
    }
    EXPECT_EQ(platform.listFiles(dir.u16(), u"*.*"),
              (Names{u"Z.txt", u"z.txt", u"é.txt", u"Ａ", u"\U0001F600", u"\xdcff.bin"}));
}

TEST_F(PosixListing, NameThatIsNotUtf8SurvivesListingAndCopy) {
    const std::string raw = "caf\xe9-\x80\xff.dat";  // Latin-1 bytes, a stray continuation byte
    dir.write("in/" + raw, "content");
    fs::create_directory(dir.path() / "out");

    auto listed = platform.listFiles(dir.u16("in"), u"*.dat");
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1u);
    const std::u16string name = listed->front();
    EXPECT_EQ(platform.copyFile(dir.u16("in") + u"/" + name, dir.u16("out") + u"/" + name), TransferOutcome::Done);
    EXPECT_EQ(dir.list("out"), std::vector<std::string>{raw});
    EXPECT_EQ(dir.read("out/" + raw), "content");
}

TEST_F(PosixListing, UnusablePatternListsNothingButTheFolderIsListable) {
    dir.write("a.txt", "a");
    for (std::u16string_view pattern : {u"*/*", u"a:b", u"*.txt|*.doc"}) {
        EXPECT_EQ(platform.listFiles(dir.u16(), std::u16string(pattern)), Names{});
    }
}

TEST_F(PosixListing, FolderThatCannotBeListedGivesNothing) {
    dir.write("file.txt", "x");
    EXPECT_EQ(platform.listFiles(dir.u16("missing"), u"*.*"), std::nullopt);
    EXPECT_EQ(platform.listFiles(dir.u16("file.txt"), u"*.*"), std::nullopt);
    EXPECT_EQ(platform.listFiles(u"", u"*.*"), std::nullopt);
    EXPECT_EQ(platform.listFiles(dir.u16("missing"), u"a|b"), std::nullopt);
    if (geteuid() == 0) GTEST_SKIP() << "root reads any folder";
    fs::create_directory(dir.path() / "closed");
    fs::permissions(dir.path() / "closed", fs::perms::none);
    EXPECT_EQ(platform.listFiles(dir.u16("closed"), u"*.*"), std::nullopt);
}

TEST_F(PosixListing, ExistenceChecks) {
    dir.write("file", "x");
    fs::create_directory(dir.path() / "folder");
    fs::create_symlink(dir.path() / "folder", dir.path() / "to-folder");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");
    struct Case {
        const char* name;
        bool exists, folder;
    } cases[] = {
        {"file", true, false},     {"folder", true, true},   {"to-folder", true, true},
        {"broken", true, false},  // the name is taken even though nothing is behind it
        {"missing", false, false}, {"file/x", false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform.pathExists(dir.u16(c.name)), c.exists) << c.name;
        EXPECT_EQ(platform.folderExists(dir.u16(c.name)), c.folder) << c.name;
    }
}

TEST_F(PosixListing, MakeFoldersCreatesEveryLevelButNotTheLastName) {
    EXPECT_TRUE(platform.makeFolders(dir.u16("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));

    EXPECT_TRUE(platform.makeFolders(dir.u16() + u"//x//y///name.txt"));
    EXPECT_TRUE(fs::is_directory(dir.path() / "x/y"));
    EXPECT_EQ(dir.list("x/y"), std::vector<std::string>{});

    EXPECT_TRUE(platform.makeFolders(dir.u16("a/b/c/")));  // already there
    EXPECT_TRUE(platform.makeFolders(dir.u16("a/new/")));  // part already there
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/new"));
    EXPECT_TRUE(platform.makeFolders(u"/"));
}

TEST_F(PosixListing, MakeFoldersReportsAFolderThatCannotBe) {
    dir.write("plain", "x");
    EXPECT_FALSE(platform.makeFolders(dir.u16("plain/sub/")));
    EXPECT_FALSE(platform.makeFolders(dir.u16("plain/")));
    EXPECT_EQ(dir.read("plain"), "x");
}

TEST_F(PosixListing, MakeFoldersCreatesNonUtf8Names) {
    const std::string raw = "\xb7\xd6\xb7\xa2";  // GBK bytes
    const std::u16string name = text::fromUtf8(raw);
    EXPECT_TRUE(platform.makeFolders(dir.u16() + u"/" + name + u"/"));
    EXPECT_EQ(dir.list(), std::vector<std::string>{raw});
}

TEST_F(PosixListing, DeleteFile) {
    dir.write("doomed", "x");
    EXPECT_TRUE(platform.deleteFile(dir.u16("doomed")));
    EXPECT_FALSE(dir.exists("doomed"));
    EXPECT_FALSE(platform.deleteFile(dir.u16("doomed")));
}

}  // namespace
}  // namespace qm
