#include <gtest/gtest.h>

#include "uLanguageFile.h"

namespace {

TEST(LanguageFile, OnlyKeysTheProgramsLookUp)
{
    EXPECT_TRUE(IsProgramLanguageKey("gui", "mes_kilend"));
    EXPECT_TRUE(IsProgramLanguageKey("GUI", "MES_KILEND")) << "INI names ignore case";
    EXPECT_TRUE(IsProgramLanguageKey("global", "ev_add"));
    EXPECT_FALSE(IsProgramLanguageKey("global", "mes_kilend")) << "a key counts only in its own section";
    EXPECT_FALSE(IsProgramLanguageKey("gui", "flood_key_1"));
    EXPECT_FALSE(IsProgramLanguageKey("", ""));
}

TEST(LanguageFile, MissingKeyGoesBelowItsSectionHeader)
{
    const std::string text = "[info]\r\nname=English\r\n[gui]\r\ntray_exit=Exit\r\n";
    auto added = WithEmptyIniKey(text, "gui", "mes_kilend");
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, "[info]\r\nname=English\r\n[gui]\r\nmes_kilend=\r\ntray_exit=Exit\r\n");

    // no such section: it is added at the end, behind a line break
    added = WithEmptyIniKey("[info]\r\nname=English", "global", "ev_add");
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, "[info]\r\nname=English\r\n[global]\r\nev_add=\r\n");
    // the header is the file's last line, without a line break
    added = WithEmptyIniKey("[ gui ]", "gui", "k");
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, "[ gui ]\r\nk=\r\n");
    added = WithEmptyIniKey("", "gui", "k");
    ASSERT_TRUE(added);
    EXPECT_EQ(*added, "[gui]\r\nk=\r\n");
}

TEST(LanguageFile, KeyAlreadyThereIsNotAddedAgain)
{
    EXPECT_FALSE(WithEmptyIniKey("[gui]\r\nmes_kilend=\r\n", "gui", "mes_kilend"));
    EXPECT_FALSE(WithEmptyIniKey("[GUI]\n  MES_KILEND = x\n", "gui", "mes_kilend"));
    // in a second copy of the section too
    EXPECT_FALSE(WithEmptyIniKey("[gui]\r\na=1\r\n[info]\r\n[gui]\r\nk=\r\n", "gui", "k"));
    // the same name in another section, or in a comment, does not count
    EXPECT_TRUE(WithEmptyIniKey("[info]\r\nk=1\r\n[gui]\r\n;k=\r\n", "gui", "k"));
}

TEST(LanguageFile, DamagedTextIsKeptWhole)
{
    std::string garbage;
    for (int i = 0; i < 2000; ++i) garbage += static_cast<char>((i * 91 + 7) % 256);
    garbage += std::string("\0[gui\0]=\r\n", 10);
    auto added = WithEmptyIniKey(garbage, "gui", "k");
    ASSERT_TRUE(added);
    EXPECT_GT(added->size(), garbage.size());
    EXPECT_EQ(added->compare(0, garbage.size(), garbage), 0);
}

}  // namespace
