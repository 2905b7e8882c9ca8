// The files a program with system rights works on where a user may have put
// a link: every read, write, rename and delete stops at a link or a second
// hard link, and a dangling link never has its target made.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "qvFiles.h"
#include "qvPlainFiles.h"
#include "qvWideText.h"
#include "uCommonUtils.h"

namespace {

TEST(PlainFiles, LinksAndHardLinksAreRefusedForEveryAct)
{
    ScratchDir dir, victims;
    const std::string victim = victims / "victim.txt";
    ASSERT_TRUE(WriteTextFile(victim, "protected"));
    ASSERT_TRUE(MakeLink(dir / "soft.txt", victim));
    ASSERT_TRUE(MakeHardLink(dir / "hard.txt", victim));
    // Dangling: made to a file that then goes.
    ASSERT_TRUE(WriteTextFile(victims / "absent.txt", "soon gone"));
    ASSERT_TRUE(MakeLink(dir / "dangling.txt", victims / "absent.txt"));
    ASSERT_TRUE(RemoveLink(victims / "absent.txt"));

    for (const char* name : {"soft.txt", "hard.txt"}) {
        const std::string link = dir / name;
        std::string bytes;
        EXPECT_FALSE(ReadPlainFile(link, bytes)) << name;
        EXPECT_EQ(GetLastError(), kNotPlainError) << name;
        EXPECT_FALSE(WritePlainFile(link, "user's text")) << name;
        EXPECT_FALSE(AppendPlainFile(link, "user's line")) << name;
        EXPECT_FALSE(DeletePlainFile(link)) << name;
        EXPECT_FALSE(RenamePlainFile(link, dir / "moved.txt")) << name;
        ASSERT_TRUE(WriteTextFile(dir / "plain.txt", "x"));
        EXPECT_FALSE(RenamePlainFile(dir / "plain.txt", link)) << "a link is not replaced: " << name;
        EXPECT_EQ(ReadTextFile(victim), "protected") << name;
    }
    EXPECT_FALSE(AppendPlainFile(dir / "dangling.txt", "x"));
    EXPECT_FALSE(FileExists(victims / "absent.txt")) << "the target of a dangling link was made";
    // A whole write replaces the link itself with a file of its own.
    EXPECT_TRUE(WritePlainFile(dir / "dangling.txt", "x"));
    EXPECT_FALSE(FileExists(victims / "absent.txt")) << "the target of a dangling link was made";

    for (const char* name : {"soft.txt", "hard.txt", "dangling.txt"}) RemoveLink(dir / name);
}

TEST(PlainFiles, PlainFilesAreReplacedWholeAndMovedThroughTheirHandle)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "list.txt", "old"));
    EXPECT_TRUE(WritePlainFile(dir / "list.txt", "new"));
    EXPECT_TRUE(AppendPlainFile(dir / "list.txt", " line"));
    EXPECT_EQ(ReadTextFile(dir / "list.txt"), "new line");
    EXPECT_TRUE(RenamePlainFile(dir / "list.txt", dir / "kept.txt"));
    ASSERT_TRUE(WriteTextFile(dir / "list.txt", "newer"));
    EXPECT_TRUE(RenamePlainFile(dir / "list.txt", dir / "kept.txt")) << "a plain file is replaced";
    EXPECT_EQ(ReadTextFile(dir / "kept.txt"), "newer");
    TStringList names;
    ListFolderFiles(dir.Path(), names);
    EXPECT_EQ(names, TStringList{"kept.txt"}) << "no file left beside it";
    EXPECT_TRUE(DeletePlainFile(dir / "kept.txt"));
    EXPECT_TRUE(DeletePlainFile(dir / "kept.txt")) << "nothing there is gone too";

    std::string why;
    ScratchDir other;
    ASSERT_TRUE(WriteTextFile(dir / "program.exe", "MZ"));
    EXPECT_TRUE(MoveFileHeldW(AnsiToWide(dir / "program.exe"), AnsiToWide(other / "program.exe"), why)) << why;
    EXPECT_TRUE(CopyFileHeld(other / "program.exe", dir / "copy.exe", why)) << why;
    EXPECT_EQ(ReadTextFile(dir / "copy.exe"), "MZ");
}

TEST(PlainFolders, ALinkAsTheFolderOrOnTheWayIsRefusedAndAHeldFolderStays)
{
    ScratchDir dir, real;
    ASSERT_TRUE(CreateDirectoryA((real / "inner").c_str(), nullptr));
    ASSERT_TRUE(WriteTextFile(real / "file.txt", "x"));
    ASSERT_TRUE(MakeLink(dir / "linked", real.Path()));
    ASSERT_TRUE(MakeLink(dir / "soft.txt", real / "file.txt"));

    EXPECT_FALSE(OpenPlainFolder(dir / "linked")) << "the folder itself a link";
    EXPECT_FALSE(OpenPlainFolder(dir / "linked\\inner")) << "a link on the way";
    EXPECT_FALSE(OpenPlainFolder(real / "inner\\..\\inner"));
    EXPECT_FALSE(IsPlainFolderInside(dir / "linked\\inner", dir.Path()));
    EXPECT_FALSE(IsPlainFolderInside(real / "inner", dir.Path())) << "outside";
    EXPECT_FALSE(IsPlainFolderInside(real.Path(), real.Path())) << "not below itself";
    EXPECT_TRUE(IsPlainFolderInside(real / "inner\\", real.Path()));
    {
        UniqueHandle held = OpenPlainFolder(real / "inner");
        ASSERT_TRUE(held);
        EXPECT_FALSE(MoveFileA((real / "inner").c_str(), (real / "moved").c_str())) << "a held folder stays in place";
    }
    EXPECT_TRUE(MoveFileA((real / "inner").c_str(), (real / "moved").c_str())) << "and moves once let go";

    EXPECT_TRUE(IsMissingOrPlainFile(dir / "absent.txt"));
    EXPECT_TRUE(IsMissingOrPlainFile(real / "file.txt"));
    EXPECT_FALSE(IsMissingOrPlainFile(dir / "soft.txt"));
    for (const char* name : {"linked", "soft.txt"}) RemoveLink(dir / name);
}

}  // namespace
