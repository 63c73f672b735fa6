#include "platform/FileSystem.h"
#include "platform/Drives.h"
#include "platform/Faults.h"
#include "platform/Text.h"

#include "TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;
using testsupport::TempDir;

namespace {

TEST(Attributes, ReadOnlyHiddenAndDirectoryOutsideFat) {
    TempDir dir;
    const auto file = dir / "song.adl";
    testsupport::WriteText(file, "x");
    EXPECT_EQ(GetFileAttributes(file), 0u);
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(GetFileAttributes(file), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(SetFileAttributes(file, 0));
    EXPECT_EQ(GetFileAttributes(file), 0u);
    ASSERT_TRUE(SetFileAttributes(file, FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributes(file), FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(CreateDirectory(dir / ".hidden"));
    EXPECT_EQ(GetFileAttributes(dir / ".hidden"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributes(dir / "nothing"), INVALID_FILE_ATTRIBUTES);
}

TEST(Listing, WildcardIsCaseInsensitiveAndSkipsDots) {
    TempDir dir;
    for (const char* name : {"a.wav", "B.WAV", "c.Wav", "d.wavx", "e.adl"})
        testsupport::WriteText(dir / name, "");
    CreateDirectory(dir / "folder.wav");
    std::vector<std::string> names;
    for (const auto& e : FindFiles(dir.Path(), "*.wav"))
        names.push_back(e.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"B.WAV", "a.wav", "c.Wav", "folder.wav"}));
    const auto all = FindFiles(dir.Path(), "*");
    EXPECT_EQ(all.size(), 6u);
    EXPECT_TRUE(FindFiles(dir / "missing", "*").empty());
    EXPECT_TRUE(WildcardMatch("tr??.wav", "TR01.WAV"));
}

TEST(Folders, CreateFailsWhenPresentAndRemoveOnlyEmpty) {
    TempDir dir;
    EXPECT_TRUE(CreateDirectory(dir / "chk"));
    EXPECT_FALSE(CreateDirectory(dir / "chk"));
    EXPECT_TRUE(IsDirectory(dir / "chk"));
    testsupport::WriteText(dir / "chk/x", "");
    EXPECT_FALSE(RemoveDirectory(dir / "chk"));
    EXPECT_TRUE(DeleteFile(dir / "chk/x"));
    EXPECT_TRUE(RemoveDirectory(dir / "chk"));
    EXPECT_FALSE(PathExists(dir / "chk"));
    EXPECT_FALSE(DeleteFile(dir.Path()));
}

TEST(Folders, RemoveTreeTakesReadOnlyEntriesAndNeverFollowsLinks) {
    TempDir dir;
    const auto tree = dir / "song", outside = dir / "outside";
    ASSERT_TRUE(CreateDirectory(tree) && CreateDirectory(tree + "/2mix") && CreateDirectory(outside));
    testsupport::WriteText(tree + "/2mix/mix.wav", "x");
    testsupport::WriteText(outside + "/keep.wav", "x");
    ASSERT_EQ(::symlink(outside.c_str(), (tree + "/link").c_str()), 0);
    SetFileAttributes(tree + "/2mix/mix.wav", FILE_ATTRIBUTE_READONLY);
    SetFileAttributes(tree + "/2mix", FILE_ATTRIBUTE_READONLY);
    SetFileAttributes(outside + "/keep.wav", FILE_ATTRIBUTE_READONLY);

    EXPECT_TRUE(RemoveTree(tree));
    EXPECT_FALSE(PathExists(tree));
    EXPECT_EQ(GetFileAttributes(outside + "/keep.wav"), FILE_ATTRIBUTE_READONLY)
        << "the link's target is untouched";
    EXPECT_TRUE(RemoveTree(tree)) << "nothing there is nothing left";
}

TEST(Folders, RenameReplaceSwapsContent) {
    TempDir dir;
    testsupport::WriteText(dir / "new.tmp", "new");
    testsupport::WriteText(dir / "song.adl", "old");
    EXPECT_TRUE(RenameReplace(dir / "new.tmp", dir / "song.adl"));
    EXPECT_EQ(testsupport::ReadText(dir / "song.adl"), "new");
    EXPECT_FALSE(PathExists(dir / "new.tmp"));
}

TEST(Folders, SwapAndNoReplaceRenamesNeverLoseAName) {
    TempDir dir;
    ASSERT_TRUE(CreateDirectory(dir / "song") && CreateDirectory(dir / "copy"));
    testsupport::WriteText(dir / "song/a.adl", "old");
    testsupport::WriteText(dir / "copy/a.adl", "new");

    EXPECT_FALSE(RenameNoReplace(dir / "copy", dir / "song")) << "never over a song";
    EXPECT_EQ(testsupport::ReadText(dir / "song/a.adl"), "old");
    const ExchangeResult swapped = ExchangeNames(dir / "copy", dir / "song");
    ASSERT_NE(swapped, ExchangeResult::Failed);
    if (swapped == ExchangeResult::Exchanged) {
        EXPECT_EQ(testsupport::ReadText(dir / "song/a.adl"), "new");
        EXPECT_EQ(testsupport::ReadText(dir / "copy/a.adl"), "old");
    }
    {
        faults::Plan plan;
        plan.noExchange = true;
        faults::ScopedPlan armed(plan);
        EXPECT_EQ(ExchangeNames(dir / "copy", dir / "song"), ExchangeResult::Unsupported);
    }
    EXPECT_EQ(ExchangeNames(dir / "copy", dir / "missing"), ExchangeResult::Failed);
    EXPECT_TRUE(RenameNoReplace(dir / "copy", dir / "moved"));
    EXPECT_TRUE(IsDirectory(dir / "moved") && !PathExists(dir / "copy"));

    // A folder that cannot be read is told apart from an empty one.
    std::vector<FindEntry> entries;
    EXPECT_FALSE(ListFolder(dir / "missing", &entries));
    ASSERT_TRUE(CreateDirectory(dir / "empty"));
    EXPECT_TRUE(ListFolder(dir / "empty", &entries) && entries.empty());
}

TEST(Paths, JoinExtensionAndNames) {
    EXPECT_EQ(JoinPath("/media/card", "Song"), "/media/card/Song");
    EXPECT_EQ(JoinPath("/", "Song"), "/Song");
    EXPECT_EQ(JoinPath("/media/card/", "Song"), "/media/card/Song");
    EXPECT_EQ(Extension("/a.b/c.adl"), "adl");
    EXPECT_EQ(Extension("noext"), "");
    EXPECT_EQ(BaseName("/a/b/c.wav"), "c.wav");
    EXPECT_EQ(DirName("/a/b/c.wav"), "/a/b");
    EXPECT_EQ(DirName("c.wav"), ".");
}

TEST(Space, FreeSpaceOfATemporaryFolder) {
    TempDir dir;
    uint64_t free = 0;
    EXPECT_TRUE(GetDiskFreeSpace(dir.Path(), &free));
    EXPECT_GT(free, 0u);
    EXPECT_FALSE(GetDiskFreeSpace("", &free));
}

TEST(Text, FormatAndCompare) {
    EXPECT_EQ(Format("ZT to PC   Track%d", 3), "ZT to PC   Track3");
    EXPECT_EQ(Format("file : %s", std::string(5000, 'x').c_str()).size(), 5007u);
    EXPECT_EQ(CompareNoCase("abc", "ABC"), 0);
    EXPECT_LT(CompareNoCase("abc", "ABD"), 0);
}

TEST(Text, NaturalOrderIsTotal) {
    const struct {
        const char* a;
        const char* b;
    } less[] = {
        {"tr2.wav", "tr10.wav"},
        {"tr09.wav", "tr10.wav"},
        {"a.wav", "B.wav"},
        {"TAKE2.wav", "take10.wav"},
        {"tr01.wav", "tr1.wav"},
        {"A.wav", "a.wav"},
        {"x9", "x10y"},
        {"tr", "tr1"},
        {"1.wav", "a.wav"},
        {"9.wav", "_.wav"},
        {"Z.wav", "\xC3\xA4.wav"},
        {"take99999999999999999999.wav", "take100000000000000000000.wav"},
    };
    for (const auto& c : less) {
        SCOPED_TRACE(std::string(c.a) + " < " + c.b);
        EXPECT_TRUE(NaturalLess(c.a, c.b));
        EXPECT_FALSE(NaturalLess(c.b, c.a));
    }
    EXPECT_FALSE(NaturalLess("tr1.wav", "tr1.wav"));
    // Any sort gives one order, whatever order the names came in.
    std::vector<std::string> names = {"tr10.wav", "Tr1.wav", "tr2.wav", "tr01.wav",
                                      "TR02.wav", "b.wav",   "A.wav"};
    const std::vector<std::string> sorted = {"A.wav",    "b.wav",   "Tr1.wav", "tr01.wav",
                                             "TR02.wav", "tr2.wav", "tr10.wav"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, sorted);
    std::reverse(names.begin(), names.end());
    std::stable_sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names, sorted);
}

TEST(Drives, MountInfoKeepsRealFileSystemsSortedAndUnescaped) {
    const std::string text = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "23 22 0:5 / /proc rw - proc proc rw\n"
                             "24 22 0:6 / /tmp rw - tmpfs tmpfs rw\n"
                             "25 22 8:17 / /media/me/ZT\\0405 rw,nosuid - vfat /dev/sdb1 rw\n"
                             "26 22 7:0 / /snap/core rw - squashfs /dev/loop0 ro\n"
                             "27 22 8:2 / /boot rw shared:1 - ext4 /dev/sda2 rw\n";
    const auto mounts = ParseMountInfo(text);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[0].path, "/");
    EXPECT_EQ(mounts[1].path, "/boot");
    EXPECT_EQ(mounts[2].path, "/media/me/ZT 5");
    EXPECT_EQ(mounts[2].fsType, "vfat");
    EXPECT_EQ(mounts[2].device, "/dev/sdb1");
}

TEST(Drives, TheSystemRootIsNeverRemovable) {
    for (const auto& d : ListRemovableDrives())
        EXPECT_NE(d, "/");
}

} // namespace
