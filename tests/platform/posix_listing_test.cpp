// The file list and the folder helpers of the POSIX platform, on real folders.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "platform/posix/posix_system.h"
#include "support/listed_names.h"
#include "support/temp_dir.h"

namespace qm {
namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::u16string>;

class PosixListing : public ::testing::Test {
protected:
    std::optional<Names> list(const std::u16string& folder) { return test::listedNames(platform, folder); }

    test::TempDir dir;
    PosixSystem platform;
};

TEST_F(PosixListing, TakesRegularFilesHiddenOnesIncluded) {
    for (const char* name : {"b.txt", ".hidden", "A.TXT", "sub/inner.txt"}) dir.write(name, "x");
    fs::create_symlink(dir.path() / "sub", dir.path() / "linkdir");
    fs::create_symlink(dir.path() / "b.txt", dir.path() / "linkfile");
    fs::create_symlink(dir.path() / "gone", dir.path() / "broken");
    ASSERT_EQ(mkfifo((dir.path() / "pipe").c_str(), 0600), 0);
    EXPECT_EQ(list(dir.u16()), (Names{u".hidden", u"A.TXT", u"b.txt", u"linkfile"}));
    EXPECT_EQ(list(dir.u16() + u"/"), (Names{u".hidden", u"A.TXT", u"b.txt", u"linkfile"}));
    EXPECT_TRUE(platform.canListFolder(dir.u16()));
}

TEST_F(PosixListing, FindsEveryNameWhateverItsBytes) {
    for (const char* name : {"\xff.bin", "\xf0\x9f\x98\x80", "\xef\xbc\xa1", "\xc3\xa9.txt", "z.txt", "Z.txt"}) {
        dir.write(name, "x");
    }
    EXPECT_EQ(list(dir.u16()), (Names{u"Z.txt", u"z.txt", u"é.txt", u"\U0001F600", u"\xdcff.bin", u"Ａ"}));
}

TEST_F(PosixListing, NameThatIsNotUtf8SurvivesListingAndCopy) {
    const std::string raw = "caf\xe9-\x80\xff.dat";
    dir.write("in/" + raw, "content");
    fs::create_directory(dir.path() / "out");
    FolderNames names;
    ASSERT_TRUE(platform.listFolder(dir.u16("in"), names));
    ASSERT_EQ(names.size(), 1u);
    auto in = platform.openFolder(dir.u16("in")), out = platform.openFolder(dir.u16("out"));
    ASSERT_TRUE(in && out);
    EXPECT_EQ(platform.copyFile(*in, names.name(0), *out, nullptr).outcome, TransferOutcome::Copied);
    EXPECT_EQ(dir.read("out/" + raw), "content");
}

TEST_F(PosixListing, FolderThatCannotBeListed) {
    dir.write("file.txt", "x");
    for (const std::u16string& folder : {dir.u16("missing"), dir.u16("file.txt"), std::u16string()}) {
        EXPECT_EQ(list(folder), std::nullopt);
        EXPECT_FALSE(platform.canListFolder(folder));
    }
    if (geteuid() == 0) GTEST_SKIP() << "root reads any folder";
    fs::create_directory(dir.path() / "closed");
    fs::permissions(dir.path() / "closed", fs::perms::none);
    EXPECT_EQ(list(dir.u16("closed")), std::nullopt);
    EXPECT_FALSE(platform.canListFolder(dir.u16("closed")));
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
