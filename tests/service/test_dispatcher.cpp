#include <gtest/gtest.h>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "md5.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uServiceMessThread.h"

using namespace harness;

namespace {

// One running service for all dispatcher cases.
class Dispatcher : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        folder_ = GetEnvVar("TEMP") + "\\qvsvc_dispatch";
        exe_ = StageServiceCopy(folder_, "ServiceQuorvane.exe");
        ForceDirectories(folder_ + "\\language");
        WriteTextFile(folder_ + "\\language\\English.lng",
                      "[info]\r\nname=English\r\n[gui]\r\ntray_exit=Exit\r\n[arun]\r\nar_title=Autorun\r\n[global]\r\nev_delete=deleted\r\n");
        WriteTextFile(folder_ + "\\language\\Russian.lng", "[info]\r\nname=Русский\r\n");
        WriteTextFile(folder_ + "\\language\\German.lng", "[info]\r\nname=Deutsch\r\n");
        ASSERT_TRUE(InstallService(exe_));
        ASSERT_TRUE(StartAndWaitRunning());
    }
    static void TearDownTestSuite() { RemoveService(); }

    static std::string folder_;
    static std::string exe_;
};
std::string Dispatcher::folder_;
std::string Dispatcher::exe_;

void WriteSetting(const std::string& name, bool value)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, value);
}

TEST_F(Dispatcher, MissingSettingsAnswerFalseMinusOneAndEmpty)
{
    TMSlotMessage m = Request(33, 0, "no_such_bool");
    m.Bool = true;
    ASSERT_TRUE(Ask(m));
    EXPECT_FALSE(m.Bool);
    EXPECT_EQ(m.Type, 33) << "the record comes back with its own fields";
    EXPECT_EQ(m.Mess.Str(), "no_such_bool");

    m = Request(46, 5, "no_such_int");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.A, -1);

    m = Request(37, 0, "no_such_text", "stale");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "");
}

TEST_F(Dispatcher, SettingsWrittenAndReadBack)
{
    TMSlotMessage w = Request(38, 0, "kb_cross");
    w.Bool = true;
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));
    w = Request(39, 0, "OEMinfo", "Контора");
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));
    w = Request(47, 2, "hosts_change");
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));

    TMSlotMessage r = Request(33, 0, "kb_cross");
    ASSERT_TRUE(Ask(r));
    EXPECT_TRUE(r.Bool);
    r = Request(37, 0, "OEMinfo");
    ASSERT_TRUE(Ask(r));
    EXPECT_EQ(r.Data.Str(), "Контора");
    r = Request(46, 0, "hosts_change");
    ASSERT_TRUE(Ask(r));
    EXPECT_EQ(r.A, 2);
}

TEST_F(Dispatcher, Command16WritesByKind)
{
    TMSlotMessage w = Request(16, 4, "hosts_delete");
    w.A = 4;
    w.B = 1;
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));
    w = Request(16, 3, "mbr_guard");
    w.Bool = true;
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));
    w = Request(16, 5, "proxy_server", "10.0.0.1:3128");
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));
    w = Request(16, 9, "ignored_kind", "x");
    ASSERT_TRUE(SendToMailSlot(w, kServiceSlot));

    TMSlotMessage r = Request(46, 0, "hosts_delete");
    ASSERT_TRUE(Ask(r));
    EXPECT_EQ(r.A, 1) << "A 4 writes B, not A";
    r = Request(33, 0, "mbr_guard");
    ASSERT_TRUE(Ask(r));
    EXPECT_TRUE(r.Bool);
    r = Request(37, 0, "proxy_server");
    ASSERT_TRUE(Ask(r));
    EXPECT_EQ(r.Data.Str(), "10.0.0.1:3128");
    TRegEngine rec = SettingRef("ignored_kind");
    EXPECT_FALSE(RegValueExists(rec));
}

// Fills the settings key with `count` values, with or without hosts_guard.
void FillSettings(int count, bool withHostsGuard)
{
    TRegEngine rec = SettingRef("");
    DeleteRegKey(rec);
    int written = 0;
    if (withHostsGuard) {
        WriteSetting("hosts_guard", true);
        ++written;
    }
    for (; written < count; ++written) WriteSetting("filler_" + std::to_string(written), true);
}

bool FirstRunAnswered(Listener& tray)
{
    tray.Drain(50);
    EXPECT_TRUE(SendToMailSlot(Request(13, 14), kServiceSlot));
    TMSlotMessage m;
    return tray.NextOfType(8, m, 1500);
}

TEST_F(Dispatcher, FirstRunRules)
{
    Listener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    FillSettings(29, true);
    EXPECT_TRUE(FirstRunAnswered(tray)) << "29 values with hosts_guard";
    FillSettings(30, false);
    EXPECT_TRUE(FirstRunAnswered(tray)) << "30 values without hosts_guard";
    FillSettings(30, true);
    EXPECT_FALSE(FirstRunAnswered(tray)) << "30 values with hosts_guard";
    TRegEngine rec = SettingRef("");
    DeleteRegKey(rec);
}

TEST_F(Dispatcher, MessagesToTheTray)
{
    Listener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    ASSERT_TRUE(SendToMailSlot(Request(13, 16, "", "C:\\temp\\h.qrv.~tmp"), kServiceSlot));
    TMSlotMessage m;
    do {
        ASSERT_TRUE(tray.NextOfType(13, m));
    } while (m.A != 15);
    EXPECT_EQ(m.Type, 13);
    EXPECT_EQ(m.A, 15);
    EXPECT_EQ(m.B, 777);
    EXPECT_EQ(m.Data.Str(), "C:\\temp\\h.qrv.~tmp");

    ASSERT_TRUE(SendToMailSlot(Request(40, 7, "x", "y"), kServiceSlot));
    ASSERT_TRUE(tray.NextOfType(40, m));
    EXPECT_EQ(m.Type, 40);
    EXPECT_EQ(m.A, 0) << "a cleared message";
    EXPECT_EQ(m.Data.Str(), "");
}

TEST_F(Dispatcher, VersionPingStateAndGuiLog)
{
    TMSlotMessage m = Request(13, 20);
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "2.6.9");
    m = Request(13, 19);
    ASSERT_TRUE(Ask(m));
    EXPECT_TRUE(m.Bool);

    ASSERT_TRUE(SendToMailSlot(Request(12, 0, "", "tray line 42"), kServiceSlot));
    EXPECT_TRUE(WaitUntil([] { return ReadTextFile(DataFolder() + "gui.log").find("tray line 42") != std::string::npos; }, 15000));
}

TEST_F(Dispatcher, FileDigestOnlyForLocalPaths)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "f.txt", "abc"));
    TMSlotMessage m = Request(42, 0, "", dir / "f.txt");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Mess.Str(), "900150983CD24FB0D6963F7D28E17F72");
    m = Request(42, 0, "stale", dir / "missing.txt");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Mess.Str(), "");
    m = Request(42, 0, "stale", "\\\\?\\" + (dir / "f.txt"));
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Mess.Str(), "") << "paths starting with \\\\ are refused";
}

TEST_F(Dispatcher, LanguageLookup)
{
    TRegEngine language = SettingRef("language");
    WriteRegString(language, "German.lng");
    TMSlotMessage m = Request(31, 0, "InitLanguage");
    ASSERT_TRUE(Ask(m));
    TStringList list = SplitLines(m.Data.Str());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], "German.lng") << "the current language comes first";

    WriteRegString(language, "English.lng");
    const char* expected[] = {"English", "Exit", "Autorun", "deleted"};
    const char* keys[] = {"name", "tray_exit", "ar_title", "ev_delete"};
    for (int a = 0; a < 4; ++a) {
        m = Request(31, a, keys[a]);
        ASSERT_TRUE(Ask(m));
        EXPECT_EQ(m.Data.Str(), expected[a]);
    }

    m = Request(31, 1, "mes_kilend");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "");
    std::string file = ReadTextFile(folder_ + "\\language\\English.lng");
    EXPECT_NE(file.find("mes_kilend="), std::string::npos) << "the missing key is added with an empty value";
    EXPECT_LT(file.find("[gui]"), file.find("mes_kilend=")) << "in the asked section";
    EXPECT_GT(file.find("[arun]"), file.find("mes_kilend="));
    m = Request(31, 1, "tray_exit");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "Exit") << "the file still reads after the addition";
}

TEST_F(Dispatcher, LanguageLookupRefusesUnsafeNamesAndKeys)
{
    TRegEngine language = SettingRef("language");
    WriteRegString(language, "..\\..\\x.lng");
    TMSlotMessage m = Request(31, 1, "some_key");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "");
    EXPECT_FALSE(FileExists(folder_ + "\\..\\x.lng"));
    EXPECT_FALSE(FileExists(GetEnvVar("TEMP") + "\\..\\x.lng"));

    Listener reply(MakeReplySlotName());
    EXPECT_TRUE(NoReplyBefore(Request(31, 0, "initlanguage"), reply)) << "initlanguage with an unusable name";

    WriteRegString(language, "Missing.lng");
    m = Request(31, 1, "another_key");
    ASSERT_TRUE(Ask(m));
    EXPECT_FALSE(FileExists(folder_ + "\\language\\Missing.lng")) << "no file is created for a missing language";

    WriteRegString(language, "English.lng");
    m = Request(31, 1, "bad=key");
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(ReadTextFile(folder_ + "\\language\\English.lng").find("bad"), std::string::npos);
    EXPECT_FALSE(IsSafeLanguageFileName("a.txt"));
    EXPECT_FALSE(IsSafeLanguageFileName("C:x.lng"));
    EXPECT_TRUE(IsSafeLanguageFileName("English.LNG"));
}

TEST_F(Dispatcher, UnknownCodesAndBadReplySlotsGetNoAnswer)
{
    Listener reply(MakeReplySlotName());
    ASSERT_TRUE(reply.Active());
    EXPECT_TRUE(NoReplyBefore(Request(0, 0), reply));
    EXPECT_TRUE(NoReplyBefore(Request(99, 0), reply));
    EXPECT_TRUE(NoReplyBefore(Request(13, 99), reply));

    Listener tray(kTraySlot);
    TMSlotMessage toTray = Request(33, 0, "kb_cross");
    toTray.Mess1.Set(kTraySlot);
    EXPECT_TRUE(NoReplyBefore(toTray, reply));
    for (const auto& m : tray.Drain(100))
        EXPECT_NE(m.Type, 33) << "a reply never goes to a slot that is not a reply slot";
}

TEST_F(Dispatcher, BadInputDoesNotStopTheService)
{
    for (size_t size : {0u, 1u, 10u, 424u, 200u}) {
        HANDLE slot = CreateFileA((std::string(kMailslotPrefix) + kServiceSlot).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(slot, INVALID_HANDLE_VALUE);
        std::string junk(size, '\xFF');
        DWORD wrote = 0;
        WriteFile(slot, junk.data(), static_cast<DWORD>(junk.size()), &wrote, nullptr);
        CloseHandle(slot);
    }
    // Extreme records: every length byte at its maximum, every number at its limits.
    MSlotPacket packet;
    packet.fill(0xFF);
    for (uint8_t type : {13, 16, 31, 33, 37, 42, 12}) {
        packet[0] = type;
        HANDLE slot = CreateFileA((std::string(kMailslotPrefix) + kServiceSlot).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(slot, INVALID_HANDLE_VALUE);
        DWORD wrote = 0;
        WriteFile(slot, packet.data(), static_cast<DWORD>(packet.size()), &wrote, nullptr);
        CloseHandle(slot);
    }
    TMSlotMessage m = Request(13, 20);
    ASSERT_TRUE(Ask(m));
    EXPECT_EQ(m.Data.Str(), "2.6.9");
    EXPECT_EQ(State(), SERVICE_RUNNING);
}

TEST_F(Dispatcher, SettingOfTheWrongTypeReadsAsOffAndIsLoggedOnce)
{
    TRegEngine text = SettingRef("hosts_guard");
    WriteRegString(text, "1");
    TRegEngine number = SettingRef("hosts_change");
    WriteRegString(number, "2");
    for (int i = 0; i < 3; ++i) {
        TMSlotMessage m = Request(33, 0, "hosts_guard");
        ASSERT_TRUE(Ask(m));
        EXPECT_FALSE(m.Bool);
        m = Request(46, 0, "hosts_change");
        ASSERT_TRUE(Ask(m));
        EXPECT_EQ(m.A, -1);
    }
    TMSlotMessage missing = Request(33, 0, "no_such_switch");
    ASSERT_TRUE(Ask(missing));

    TStringList lines;
    ASSERT_TRUE(LoadLines(DataFolder() + "service.log", lines));
    int guardLines = 0, changeLines = 0, missingLines = 0;
    for (const auto& line : lines) {
        guardLines += line.find("\"hosts_guard\"") != std::string::npos;
        changeLines += line.find("\"hosts_change\"") != std::string::npos;
        missingLines += line.find("no_such_switch") != std::string::npos;
    }
    EXPECT_EQ(guardLines, 1);
    EXPECT_EQ(changeLines, 1);
    EXPECT_EQ(missingLines, 0) << "a missing value is the ordinary default";
    DeleteRegValue(text);
    DeleteRegValue(number);
}

TEST_F(Dispatcher, StopCommandStopsTheService)
{
    ASSERT_TRUE(SendToMailSlot(Request(13, 6), kServiceSlot));
    EXPECT_TRUE(WaitUntil([] { return State() == SERVICE_STOPPED; }, 15000));
    ASSERT_TRUE(StartAndWaitRunning());
}

}  // namespace
