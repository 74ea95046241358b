// Listing a folder, names whatever their spelling, paths and folders.
#include <algorithm>
#include <functional>
#include <map>

#include "platform/contract.h"

namespace qm::test {
namespace {

using ContractFiles = Contract;

TEST_F(ContractFiles, ListsRegularFilesHiddenOnesIncluded) {
    for (const char* file : {"b.txt", "A.TXT", "é.txt", "照片.jpg", "\U0001F600.txt", "Ａ", "sub/inner.txt"}) {
        dir.write(file, "x");
    }
    make(".hidden", "x", {0600, kHidden | kSystem});
    Names all{u".hidden", u"A.TXT", u"b.txt", u"é.txt", u"照片.jpg", u"\U0001F600.txt", u"Ａ"};
    std::vector<std::u16string> unlistable{dir.u16("missing"), dir.u16("b.txt"), u""};
    ASSERT_TRUE(dir.link("sub", "linkdir"));
    if (dir.link("b.txt", "linkfile")) all.push_back(u"linkfile");
    dir.link("gone", "broken");
#ifndef _WIN32
    // Only POSIX names tell case apart, only POSIX folders hold FIFOs, and
    // only POSIX closes a folder by permission bits (root reads it anyway).
    dir.write("B.TXT", "x");
    all.push_back(u"B.TXT");
    ASSERT_EQ(mkfifo(dir.native("pipe").c_str(), 0600), 0);
    fs::create_directory(dir.native("closed"));
    fs::permissions(dir.native("closed"), fs::perms::none);
    if (geteuid() != 0) unlistable.push_back(dir.u16("closed"));
#endif
    std::sort(all.begin(), all.end());
    EXPECT_EQ(list(dir.u16()), all);
    EXPECT_EQ(list(dir.u16() + kSep), all);
    EXPECT_TRUE(platform.canListFolder(dir.u16()));
    EXPECT_EQ(list(dir.u16("sub")), Names{u"inner.txt"});
    for (const std::u16string& folder : unlistable) {
        EXPECT_EQ(list(folder), std::nullopt) << text::toUtf8(folder);
        EXPECT_FALSE(platform.canListFolder(folder)) << text::toUtf8(folder);
    }
}

// An open folder tells its entries as they are, links not followed, and
// which folder it is, whatever path led to it.
TEST_F(ContractFiles, AFolderTellsItsEntriesAndWhichFolderItIs) {
    dir.write("in/file", "x");
    fs::create_directories(dir.native("in/folder"));
    std::map<std::string, EntryKind> expected{{"file", EntryKind::File}, {"folder", EntryKind::Folder}};
    if (dir.link("in/folder", "in/linked folder")) expected["linked folder"] = EntryKind::Link;
    auto in = folder("in");
    ASSERT_TRUE(in);
    std::map<std::string, EntryKind> seen;
    EXPECT_TRUE(platform.forEachEntry(*in, [&](NativeNameView entry, EntryKind kind) {
        seen[text::toUtf8(text::nameText(entry))] = kind;
        return true;
    }));
    EXPECT_EQ(seen, expected);
    int visits = 0;
    EXPECT_TRUE(platform.forEachEntry(*in, [&](NativeNameView, EntryKind) { return ++visits < 1; }));
    EXPECT_EQ(visits, 1);  // stopped when asked

    auto again = platform.openFolder(dir.u16("in") + kSep), other = folder("in/folder");
    ASSERT_TRUE(again && other);
    EXPECT_EQ(platform.identityOf(*in), platform.identityOf(*again));
    EXPECT_NE(platform.identityOf(*in), platform.identityOf(*other));
}

// A folder's version stays while its names stay and changes with any name
// added or taken away, whatever else is done to the folder's files.
TEST_F(ContractFiles, AFolderVersionChangesWithItsNames) {
    dir.write("in/a", "x");
    const FileTime past{1500000000, 0};
    auto settle = [&] { setTimes(dir.native("in"), {past, past}); };
    settle();
    const auto first = platform.folderVersion(dir.u16("in"));
    if (!first) GTEST_SKIP() << "this file system keeps no version of a folder";
    EXPECT_EQ(first->modified, past);
    dir.write("in/a", "written again");
    EXPECT_EQ(platform.folderVersion(dir.u16("in")), first);
    const std::vector<std::function<void()>> changes{
        [&] { dir.write("in/b", "added"); },
        [&] { fs::remove(dir.native("in/b")); },
        [&] { fs::rename(dir.native("in/a"), dir.native("in/c")); },
    };
    for (const auto& change : changes) {
        settle();
        const auto before = platform.folderVersion(dir.u16("in"));
        change();
        EXPECT_NE(platform.folderVersion(dir.u16("in")), before);
    }
    EXPECT_EQ(platform.folderVersion(dir.u16("missing")), std::nullopt);
}

// A name that is not valid text (bytes that are not UTF-8 on POSIX, lone
// surrogates on Windows) is carried as escapes, and leads back to its file.
TEST_F(ContractFiles, ANameThatIsNotTextSurvivesListingAndCopy) {
    fs::create_directories(dir.native("in"));
    fs::create_directories(dir.native("out"));
    const std::u16string odd = u"caf\xdce9-\xdc80\xdcff.dat";
    auto record = platform.createRecordFile(dir.u16() + spelt("/in/") + odd);
    if (!record && kWindows) GTEST_SKIP() << "no such name on this file system (Wine spells names in UTF-8)";
    ASSERT_TRUE(record && record->writeAt(0, "content") && record->close());
    FolderNames names;
    ASSERT_TRUE(platform.listFolder(dir.u16("in"), names));
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(text::nameText(names.name(0)), odd);
    auto in = folder("in"), out = folder("out");
    ASSERT_TRUE(in && out);
    EXPECT_EQ(platform.copyFile(*in, names.name(0), *out, nullptr).outcome, TransferOutcome::Copied);
    auto copied = platform.openInputFile(dir.u16() + spelt("/out/") + odd);
    ASSERT_TRUE(copied);
    char buffer[16];
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(copied->read(buffer, sizeof buffer))), "content");
}

TEST_F(ContractFiles, FoldersAreMadeTopDownAndPathsTested) {
    EXPECT_TRUE(platform.makeFolders(dir.u16("a/b/c/")));
    EXPECT_TRUE(fs::is_directory(dir.native("a/b/c")));
    EXPECT_TRUE(platform.makeFolders(dir.u16() + spelt("//a//d///name.txt")));  // a part there already
    EXPECT_EQ(dir.list("a/d"), std::vector<std::string>{});
    const std::u16string root = dir.u16().substr(0, dir.u16().find(kSep) + 1);
    EXPECT_TRUE(platform.makeFolders(root));

    dir.write("plain", "x");
    EXPECT_FALSE(platform.makeFolders(dir.u16("plain/sub/")));
    EXPECT_FALSE(platform.makeFolders(dir.u16() + spelt("/plain/")));
    EXPECT_EQ(dir.read("plain"), "x");
    EXPECT_TRUE(platform.pathExists(dir.u16("plain")));
    EXPECT_FALSE(platform.folderExists(dir.u16("plain")));
    EXPECT_TRUE(platform.folderExists(dir.u16()));
    EXPECT_FALSE(platform.pathExists(dir.u16("missing")));
    if (dir.link("gone", "broken")) {
        EXPECT_TRUE(platform.pathExists(dir.u16("broken")));  // the name is taken, though by nothing
    }

    const std::pair<std::string, std::string> absolute[] = {
        {"a//b/./c/../d/", "a/b/d"}, {"", ""}, {"a/../..", ""}};
    for (const auto& [path, normal] : absolute) {
        EXPECT_EQ(platform.absolutePath(root + spelt(path)), root + spelt(normal)) << path;
    }
#ifdef _WIN32
    // Drive letters, "/" beside "\" and network shares are Windows's own.
    EXPECT_EQ(platform.absolutePath(u"C:/a//b"), u"C:\\a\\b");
    EXPECT_EQ(platform.absolutePath(u"\\\\server\\share\\\\x\\"), u"\\\\server\\share\\x");
#endif
    EXPECT_EQ(platform.absolutePath(u""), u"");
    const fs::path before = fs::current_path();
    fs::current_path(dir.path());
    EXPECT_EQ(platform.absolutePath(spelt("x/../y")), dir.u16("y"));
    fs::current_path(before);  // a current folder cannot be removed
}

// Windows's classic limit of 260 characters does not hold here.
TEST_F(ContractFiles, PathsBeyondTheClassicLimitWork) {
    std::string deep = "deep";
    while (deep.size() < 300) deep += "/文件夹文件夹文件夹文件夹";
    ASSERT_TRUE(platform.makeFolders(dir.u16(deep) + kSep));
    dir.write("a.txt", "long");
    EXPECT_EQ(copy("a.txt", deep), TransferOutcome::Copied);
    EXPECT_EQ(list(dir.u16(deep)), Names{u"a.txt"});
    EXPECT_TRUE(platform.deleteFile(dir.u16(deep + "/a.txt")));
}

}  // namespace
}  // namespace qm::test
