#include <gtest/gtest.h>

#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uNotifyRecord.h"
#include "uTrayProgram.h"

namespace {

// Points the lookups at a scratch folder for one test and back afterwards.
class LanguageFolderScope {
public:
    explicit LanguageFolderScope(const std::string& folder, const std::string& language)
        : oldLanguage_(GetCurrentLanguage())
    {
        SetLanguageFolder(folder);
        SetCurrentLanguage(language);
    }
    ~LanguageFolderScope()
    {
        SetLanguageFolder("");
        SetCurrentLanguage(oldLanguage_);
    }

private:
    std::string oldLanguage_;
};

TEST(Language, LookupReadsTheFileEachTimeAndSaysErrorForWhatIsMissing)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "Test.lng", "[gui]\r\nhello=one|two\r\n[global]\r\nev_add=added\r\n"));
    LanguageFolderScope scope(dir.Path(), "Test.lng");

    EXPECT_EQ(GetLangText(kLangGui, "hello"), "one|two");
    EXPECT_EQ(GetLangText(kLangGui, "no_such_key"), "error");
    EXPECT_EQ(GetLangText(kLangGlobal, "hello"), "error") << "a key of another section";
    EXPECT_EQ(GetLangText(kLangInfo, "hello"), "error") << "a section the file lacks";
    EXPECT_EQ(GetLangText(7, "hello"), "error") << "no such section index";

    // not cached: a changed file is read again
    ASSERT_TRUE(WriteTextFile(dir / "Test.lng", "[gui]\r\nhello=three\r\n"));
    EXPECT_EQ(GetLangText(kLangGui, "hello"), "three");

    SetCurrentLanguage("");
    EXPECT_EQ(GetLangText(kLangGui, "hello"), "error") << "no language names the bare folder";
    SetCurrentLanguage("Missing.lng");
    EXPECT_EQ(GetLangText(kLangGui, "hello"), "error");
}

TEST(Language, BarsInATextBecomeLineBreaks)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "Test.lng", "[gui]\r\nabout=first|second\r\nplain=word\r\n"));
    LanguageFolderScope scope(dir.Path(), "Test.lng");
    EXPECT_EQ(BarsToLineBreaks(GetLangText(kLangGui, "about")), "first\r\nsecond");
    EXPECT_EQ(BarsToLineBreaks(GetLangText(kLangGui, "plain")), "word");
    EXPECT_EQ(BarsToLineBreaks("|a||"), "\r\na\r\n\r\n");
}

TEST(Language, ShippedFilesAnswerInTheirOwnLanguage)
{
    LanguageFolderScope scope("", "Russian.lng");  // beside the program
    EXPECT_EQ(GetLangText(kLangGui, "tray_stat"), "Состояние защиты");
    EXPECT_EQ(GetLangText(kLangInfo, "LanguageName"), "Русский");
    SetCurrentLanguage("English.lng");
    EXPECT_EQ(GetLangText(kLangGui, "tray_stat"), "Protection status");
}

TEST(Language, TheKillersPopupTextsFitTheirLines)
{
    // A pop-up line holds 43 characters and cuts the rest: a notice cut short
    // may say the opposite of what happened.
    for (const char* language : {"English.lng", "Russian.lng"}) {
        LanguageFolderScope scope("", language);
        for (const char* key : {"mes_kil5", "mes_killer", "mes_wrn", "mes_canckil", "mes_kilrrun", "mes_wait",
                                "mes_kilnoserv", "mes_kilend"}) {
            const std::string text = GetLangText(kLangGui, key);
            EXPECT_NE(text, "error") << language << " " << key;
            EXPECT_LE(text.size(), kNotifyTextMax) << language << " " << key << ": " << text;
        }
    }
}

TEST(Language, EventTextsAreLoadedInTheirOrderAndSelectedByCode)
{
    ScratchDir dir;
    // every key answers with its own name, so positions and sections show
    std::string file = "[global]\r\n";
    for (const TGlobMesField& f : kGlobMesFields)
        if (f.Section == kLangGlobal) file += std::string(f.Key) + "=" + f.Key + "\r\n";
    file += "es_change_mbr=from global\r\n[gui]\r\nes_change_mbr=mbr from gui\r\n";
    ASSERT_TRUE(WriteTextFile(dir / "Keys.lng", file));
    LanguageFolderScope scope(dir.Path(), "Keys.lng");

    TGlobMes record;
    LoadEventTexts(record);
    ASSERT_EQ(record.Texts.size(), 57u);
    EXPECT_EQ(record.Texts[0], "ev_delete");
    EXPECT_EQ(record.Texts[19], "ev_del_file");
    EXPECT_EQ(record.Texts[20], "es_winlogon_shell");
    EXPECT_EQ(record.Texts[29], "es_change_userinit");
    EXPECT_EQ(record.Texts[32], "es_polices_shell");
    EXPECT_EQ(record.Texts[43], "es_arn_run");
    EXPECT_EQ(record.Texts[53], "es_appinitdlls");
    EXPECT_EQ(record.Texts[54], "mbr from gui");
    EXPECT_EQ(record.Texts[55], "es_hosts");
    EXPECT_EQ(record.Texts[56], "eu_arn_str_load");

    EXPECT_EQ(EventCodeText(record, 903), "ev_change");
    EXPECT_EQ(EventCodeText(record, 171), "es_arn_run");
    EXPECT_EQ(EventCodeText(record, 172), "es_arn_run");
    EXPECT_EQ(EventCodeText(record, 176), "es_arn_runonceex");
    EXPECT_EQ(EventCodeText(record, 110), "mbr from gui");
    EXPECT_EQ(EventCodeText(record, 182), "eu_arn_runOne");
    EXPECT_EQ(EventCodeText(record, 201), "201");
    EXPECT_EQ(EventCodeText(record, 195), "195");
    EXPECT_EQ(EventCodeText(record, -5), "-5");
}

TEST(Language, EventPlacesAreRegistryPathsOrLanguageTexts)
{
    std::string place;
    ASSERT_TRUE(EventRegistryPlace(107, false, place));
    EXPECT_EQ(place, "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\usrinit");
    ASSERT_TRUE(EventRegistryPlace(175, true, place));
    EXPECT_EQ(place, "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx");
    ASSERT_TRUE(EventRegistryPlace(175, false, place));
    EXPECT_EQ(place, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx");
    ASSERT_TRUE(EventRegistryPlace(174, true, place));
    EXPECT_EQ(place, "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce") << "the 64-bit view has no Wow6432Node";
    EXPECT_FALSE(EventRegistryPlace(110, false, place));

    LanguageFolderScope scope("", "English.lng");
    std::string text;
    EventPlaceText(171, text);
    EXPECT_EQ(text.find("Wow6432Node") != std::string::npos, IsWin64System());
    text = "as passed";
    EventPlaceText(195, text);
    EXPECT_EQ(text, "as passed");
    EventPlaceText(110, text);
    EXPECT_EQ(text, GetLangText(kLangGui, "es_change_mbr"));
    EventPlaceText(111, text);
    EXPECT_EQ(text, GetLangText(kLangGlobal, "es_hosts"));
    EventPlaceText(184, text);
    EXPECT_EQ(text, GetLangText(kLangGui, "eu_arn_files"));
}

TEST(Language, CurrentLanguageIsSwappedToTheFront)
{
    TStringList list{"A.lng", "B.lng", "C.lng"};
    PutLanguageFirst(list, "b.LNG");
    EXPECT_EQ(list, (TStringList{"B.lng", "A.lng", "C.lng"}));
    list = {"A.lng", "B.lng", "C.lng"};
    PutLanguageFirst(list, "C.lng");
    EXPECT_EQ(list, (TStringList{"C.lng", "B.lng", "A.lng"})) << "swapped, not moved";
    list = {"A.lng", "B.lng", "C.lng"};
    PutLanguageFirst(list, "X.lng");
    EXPECT_EQ(list, (TStringList{"A.lng", "B.lng", "C.lng"})) << "an unknown language leaves the order";
    PutLanguageFirst(list, "");
    EXPECT_EQ(list.front(), "A.lng");
    TStringList empty;
    PutLanguageFirst(empty, "A.lng");
    EXPECT_TRUE(empty.empty());
}

TEST(Language, ListOfThreeFilesStartsWithTheLanguageSetting)
{
    ScratchDir dir;
    for (const char* name : {"Deutsch.lng", "Francais.lng", "Polski.lng"})
        ASSERT_TRUE(WriteTextFile(dir / name, "[info]\r\n"));
    ASSERT_TRUE(WriteTextFile(dir / "notes.txt", "x"));
    ForceDirectories(dir / "Folder.lng");
    const TStringList found = ListLanguageFiles(dir.Path());
    ASSERT_EQ(found.size(), 3u);

    ASSERT_TRUE(traytest::ServiceUp());
    ASSERT_TRUE(WriteStrSetting("language", UpperCase(found[1])));
    std::string stored;
    ASSERT_TRUE(WaitUntil([&] { return ReadStrSetting("language", stored) && stored == UpperCase(found[1]); }, 5000));

    LanguageFolderScope scope(dir.Path(), "Deutsch.lng");
    TStringList list;
    GetLanguageList(list);
    EXPECT_EQ(list, (TStringList{found[1], found[0], found[2]}));
}

TEST(Language, EmptyLanguageSettingMeansRussian)
{
    ASSERT_TRUE(traytest::ServiceUp());
    ASSERT_TRUE(WriteStrSetting("language", "English.lng"));
    EXPECT_TRUE(WaitUntil([] { return LanguageFromSetting() == "English.lng"; }, 5000));
    ASSERT_TRUE(WriteStrSetting("language", ""));
    std::string stored = "x";
    ASSERT_TRUE(WaitUntil([&] { return ReadStrSetting("language", stored) && stored.empty(); }, 5000));
    EXPECT_EQ(LanguageFromSetting(), "Russian.lng");
}

}  // namespace
