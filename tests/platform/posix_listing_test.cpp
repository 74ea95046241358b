// The file list and the folder helpers of the POSIX platform, on real folders.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/posix/posix_platform.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::u16string>;

// The listing's names in one order to compare them; which order a folder
// lists in is the file list's business, not the platform's.
std::optional<Names> sorted(std::optional<Names> names) {
    if (names) std::sort(names->begin(), names->end());
    return names;
}

class PosixListing : public ::testing::Test {
protected:
    test::TempDir dir;
    PosixPlatform platform;
};

TEST_F(PosixListing, TakesRegularFilesHiddenOnesIncluded) {
    for (const char* name : {"b.txt", ".hidden", "A.TXT", "sub/inner.txt"}) dir.write(name, "x");
    fs::create_symlink(dir.path() / "sub", dir.path() / "linkdir");
    fs::create_symlink(dir.path() / "b.txt", dir.path() / "linkfile");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");
    ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(sorted(platform.listFiles(dir.u16(), u"*.*")), (Names{u".hidden", u"A.TXT", u"b.txt", u"linkfile"}));
    EXPECT_EQ(sorted(platform.listFiles(dir.u16() + u"/", u"*.txt")), (Names{u"A.TXT", u"b.txt"}));
    EXPECT_EQ(platform.listFiles(dir.u16(), u"*.jpg|"), Names{});  // unusable, yet the folder is listable
}

TEST_F(PosixListing, FindsEveryNameWhateverItsBytes) {
    for (const char* name : {"\xff.bin", "\xf0\x9f\x98\x80", "\xef\xbc\xa1", "\xc3\xa9.txt", "z.txt", "Z.txt"}) {
        dir.write(name, "x");
    }
    EXPECT_EQ(sorted(platform.listFiles(dir.u16(), u"*.*")),
              (Names{u"Z.txt", u"z.txt", u"é.txt", u"\U0001F600", u"\xdcff.bin", u"Ａ"}));
}

TEST_F(PosixListing, NameThatIsNotUtf8SurvivesListingAndCopy) {
    const std::string raw = "caf\xe9-\x80\xff.dat";
    dir.write("in/" + raw, "content");
    fs::create_directory(dir.path() / "out");
    auto listed = platform.listFiles(dir.u16("in"), u"*.dat");
    ASSERT_TRUE(listed && listed->size() == 1);
    const std::u16string& name = listed->front();
    EXPECT_EQ(platform.copyFile(dir.u16("in") + u"/" + name, dir.u16("out") + u"/" + name), TransferOutcome::Copied);
    EXPECT_EQ(dir.read("out/" + raw), "content");
}

TEST_F(PosixListing, FolderThatCannotBeListed) {
    dir.write("file.txt", "x");
    for (const std::u16string& folder : {dir.u16("missing"), dir.u16("file.txt"), std::u16string()}) {
        EXPECT_EQ(platform.listFiles(folder, u"*.*"), std::nullopt);
    }
    if (geteuid() == 0) GTEST_SKIP() << "root reads any folder";
    fs::create_directory(dir.path() / "closed");
    fs::permissions(dir.path() / "closed", fs::perms::none);
    EXPECT_EQ(platform.listFiles(dir.u16("closed"), u"*.*"), std::nullopt);
}

TEST_F(PosixListing, ExistenceChecks) {
    dir.write("file", "x");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");
    EXPECT_TRUE(platform.pathExists(dir.u16("broken")));  // takes the name though nothing is behind it
    EXPECT_FALSE(platform.pathExists(dir.u16("missing")));
    EXPECT_TRUE(platform.folderExists(dir.u16()));
    EXPECT_FALSE(platform.folderExists(dir.u16("file")));
}

TEST_F(PosixListing, MakeFolders) {
    EXPECT_TRUE(platform.makeFolders(dir.u16("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a/b/c"));
    EXPECT_TRUE(platform.makeFolders(dir.u16() + u"//a//d///name.txt"));  // part there already
    EXPECT_EQ(dir.list("a/d"), std::vector<std::string>{});
    EXPECT_TRUE(platform.makeFolders(u"/"));

    dir.write("plain", "x");
    EXPECT_FALSE(platform.makeFolders(dir.u16("plain/sub/")));
    EXPECT_FALSE(platform.makeFolders(dir.u16("plain/")));
    EXPECT_EQ(dir.read("plain"), "x");
}

}  // namespace
}  // namespace qm
