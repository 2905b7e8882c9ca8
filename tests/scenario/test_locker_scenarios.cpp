#include <gtest/gtest.h>

#include <shlobj.h>

#include "RegistryUtils.h"
#include "ScenarioSupport.h"
#include "SlotListener.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uServiceUtils.h"
#include "uWinLogonProcedures.h"

using namespace scenario;
using harness::Request;

namespace {

const char* const kSwitches[] = {"All_userinit", "All_shell", "All_gina", "All_taskman", "All_message",
                                 "All_parazite", "All_polices_shell", "hijack_all", "hijack_taskman",
                                 "arn_all_reg", "arn_all_run", "arn_all_runonce", "arn_all_polices",
                                 "arn_all_folder", "appinitdlls"};

std::string Winlogon() { return WinlogonKeyPath(); }

// One installed service for every scenario, switches on through its commands.
class LockerScenario : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        InstallAndStart();
        for (const char* name : kSwitches) SetSwitch(name, true);
        SetSwitch("hijack_all", false);
        Settle();
    }
    static void TearDownTestSuite() { harness::RemoveService(); }
    void SetUp() override
    {
        Settle();
        Sleep(300);  // let the watchers finish what the previous case left
        ClearReport();
    }
};

std::vector<TMSlotMessage> PopupsFor(SlotListener& tray, int32_t kind)
{
    std::vector<TMSlotMessage> found;
    for (const auto& m : tray.Drain(400))
        if (m.Type == 9 && m.A == kind) found.push_back(m);
    return found;
}

TEST_F(LockerScenario, ShellSetToARunningLocker)
{
    SlotListener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    std::string locker = PlaceLocker("locker.exe");
    ChildProcess process;
    ASSERT_TRUE(process.Start(locker));
    ASSERT_TRUE(WaitUntil([&] { return ProcessRunning(locker); }, 15000));

    TRegEngine shell = Ref(kRootHKLM, Winlogon(), "Shell");
    WriteRegString(shell, locker);
    EXPECT_TRUE(WaitForString(shell, "Explorer.exe"));
    EXPECT_TRUE(WaitUntil([&] { return !process.Running(); }, 30000)) << "the locker is ended";
    EXPECT_TRUE(WaitUntil([] { return JailHolds("locker.exe"); }, 5000)) << "and jailed";
    EXPECT_FALSE(FileExists(locker));
    Sleep(500);
    EXPECT_EQ(CountRecords(evkWinlogonShell, evmChange), 1);
    for (const auto& e : Records())
        if (e.Source == evkWinlogonShell) EXPECT_EQ(e.Path.Str(), locker) << "the record names the old value";
    EXPECT_TRUE(WaitUntil([&] { return !PopupsFor(tray, evkWinlogonShell).empty(); }, 15000))
        << "the tray slot gets the event as Type 9";
}

// A machine value is written by an administrator or by a locker that has
// become one: whatever it names is ended, approved or not. Lockers run through
// signed host programs and programs a user once approved.
TEST_F(LockerScenario, ShellNamingATrustedProgramEndsIt)
{
    std::string approved = PlaceLocker("approved.exe");
    std::string listed = PlaceLocker("listed.exe");
    // Each copy differs from the other lockers by its own bytes, so that no
    // later case finds its locker approved.
    for (const auto& [program, extra] : {std::pair{approved, "a"}, std::pair{listed, "l"}})
        ASSERT_TRUE(WriteTextFile(program, ReadTextFile(program) + extra));
    TStringList good;
    LoadLines(GoodListPath(), good);
    good.push_back(GetFileMD5(approved));
    SaveLines(GoodListPath(), good);
    TRegEngine list = SettingRef("trustList");
    WriteRegMultiString(list, TStringList{listed + "|" + GetFileMD5(listed)});
    SetSwitch("arn_use_trustlist", true);
    Settle();

    TRegEngine shell = Ref(kRootHKLM, Winlogon(), "Shell");
    for (const std::string& program : {approved, listed}) {
        ChildProcess process;
        ASSERT_TRUE(process.Start(program));
        ASSERT_TRUE(WaitUntil([&] { return ProcessRunning(program); }, 15000));
        // The repair before writes the value once more as it ends: a write
        // that falls before that is overwritten unseen, so it is repeated.
        for (int attempt = 0; attempt < 5 && process.Running(); ++attempt) {
            WriteRegString(shell, program);
            WaitUntil([&] { return !process.Running(); }, 6000);
        }
        EXPECT_FALSE(process.Running()) << program << " is ended";
        EXPECT_TRUE(WaitForString(shell, "Explorer.exe"));
    }
    EXPECT_TRUE(WaitUntil([] { return JailHolds("listed.exe"); }, 15000)) << "a trust-list entry is jailed";
    EXPECT_TRUE(FileExists(approved)) << "the jail spares a file of the good list";
    SetSwitch("arn_use_trustlist", false);
    DeleteRegValue(list);
    PrepareGoodList();
}

TEST_F(LockerScenario, UserinitWithASecondProgramAndEmptied)
{
    std::string evil = PlaceLocker("evil.exe");
    ChildProcess process;
    ASSERT_TRUE(process.Start(evil));
    TRegEngine userinit = Ref(kRootHKLM, Winlogon(), "Userinit");
    WriteRegString(userinit, ExpectedUserinit() + "," + evil);
    EXPECT_TRUE(WaitForString(userinit, ExpectedUserinit()));
    EXPECT_TRUE(WaitForRecord(evkWinlogonUserinit, evmAdd));
    EXPECT_TRUE(WaitUntil([&] { return !process.Running(); }, 15000));
    EXPECT_TRUE(WaitUntil([] { return JailHolds("evil.exe"); }, 15000));

    // The repair above writes the value once more as it ends; an emptying
    // that falls before that write is overwritten unseen, so it is repeated.
    bool recorded = false;
    for (int attempt = 0; attempt < 5 && !recorded; ++attempt) {
        WriteRegString(userinit, "");
        recorded = WaitForRecord(evkWinlogonUserinit, evmDelete, 5000);
    }
    EXPECT_TRUE(recorded) << "an emptied value is recorded as deleted";
    EXPECT_TRUE(WaitForString(userinit, ExpectedUserinit())) << "now: [" << ReadRegString(userinit) << "]";
    for (const auto& e : Records())
        if (e.Source == evkWinlogonUserinit && e.Event == evmDelete) EXPECT_EQ(e.Path.Str(), "");
}

// 64-bit Winlogon reads its key in the 64-bit view, where Windows writes
// "explorer.exe" and the system folder's userinit.exe with a trailing comma.
TEST_F(LockerScenario, WinlogonKeyOfThe64BitView)
{
    ASSERT_TRUE(IsWin64System());
    TRegEngine userinit = Ref(kRootHKLM, kWinlogon64Key, "Userinit");
    const std::string windowsForm = UpperCase(GetSpecialFolder(37)) + "\\userinit.exe,";
    WriteRegString(userinit, windowsForm, RegView::Key64);
    TRegEngine shell = Ref(kRootHKLM, kWinlogon64Key, "Shell");
    const std::string locker = "explorer.exe,C:\\x\\l.exe";
    WriteRegString(shell, locker, RegView::Key64);
    EXPECT_TRUE(WaitForString(shell, "explorer.exe"));
    EXPECT_TRUE(WaitForRecord(evkWinlogonShell, evmAdd));
    // Userinit is examined before Shell in the same call.
    EXPECT_EQ(ReadRegString(userinit, RegView::Key64), windowsForm) << "Windows' own form is left alone";
    for (const auto& e : Records()) {
        EXPECT_NE(e.Source, evkWinlogonUserinit);
        if (e.Source == evkWinlogonShell) {
            EXPECT_EQ(e.Path.Str(), locker);
        }
    }

    WriteRegString(userinit, "", RegView::Key64);
    EXPECT_TRUE(WaitForString(userinit, GetSpecialFolder(37) + "\\userinit.exe,"));
    EXPECT_TRUE(WaitForRecord(evkWinlogonUserinit, evmDelete));
}

// 32-bit programs on 64-bit Windows load the libraries of the Wow6432Node key.
TEST_F(LockerScenario, AppInitDllsOfThe32BitView)
{
    const std::string key = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::string dll = PlaceLocker("hook32.dll");
    TRegEngine value = Ref(kRootHKLM, key, "Appinit_Dlls");
    WriteRegString(value, dll);
    EXPECT_TRUE(WaitForString(value, ""));
    EXPECT_TRUE(WaitForRecord(evkAppInitDlls, evmAddFile));
    TRegEngine disabled = Ref(kRootHKLM, key + "\\AutorunsDisabled", "Appinit_Dlls");
    EXPECT_EQ(ReadRegString(disabled), dll) << "moved to AutorunsDisabled";
    DeleteRegKey(disabled);
}

TEST_F(LockerScenario, ValuesThatMustBeAbsentOrEmpty)
{
    std::string gina = PlaceLocker("gina.exe");
    TRegEngine ginaDll = Ref(kRootHKLM, Winlogon(), "GinaDll");
    WriteRegString(ginaDll, gina);
    EXPECT_TRUE(WaitForValueGone(ginaDll));
    EXPECT_TRUE(WaitForRecord(evkWinlogonGina, evmSet));

    TRegEngine taskman = Ref(kRootHKLM, Winlogon(), "Taskman");
    WriteRegString(taskman, PlaceLocker("taskman.exe"));
    EXPECT_TRUE(WaitForValueGone(taskman));
    EXPECT_TRUE(WaitForRecord(evkWinlogonTaskman, evmSet));

    TRegEngine usrinit = Ref(kRootHKLM, Winlogon(), "usrinit");
    WriteRegString(usrinit, "");
    EXPECT_TRUE(WaitForValueGone(usrinit)) << "usrinit goes even when empty";
    EXPECT_TRUE(WaitForRecord(evkWinlogonUsrinit, evmSet));

    TRegEngine text = Ref(kRootHKLM, Winlogon(), "LegalNoticeText");
    WriteRegString(text, "Ваш компьютер заблокирован");
    EXPECT_TRUE(WaitForString(text, ""));
    EXPECT_TRUE(WaitForRecord(evkWinlogonText, evmSet));
    TRegEngine caption = Ref(kRootHKLM, Winlogon(), "LegalNoticeCaption");
    WriteRegString(caption, "Оплатите");
    EXPECT_TRUE(WaitForString(caption, ""));
    EXPECT_TRUE(WaitForRecord(evkWinlogonCaption, evmSet));
}

TEST_F(LockerScenario, MachinePolicies)
{
    TRegEngine shell = Ref(kRootHKLM, kMachinePoliciesSystemKey, "Shell");
    WriteRegString(shell, PlaceLocker("policy.exe"));
    EXPECT_TRUE(WaitForValueGone(shell));
    EXPECT_TRUE(WaitForRecord(evkPoliciesShell, evmSet));

    TRegEngine caption = Ref(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticecaption");
    WriteRegString(caption, "Locked");
    EXPECT_TRUE(WaitForString(caption, ""));
    EXPECT_TRUE(WaitForRecord(evkPoliciesCaption, evmSet));
}

TEST_F(LockerScenario, ImageFileExecutionOptionsDebugger)
{
    TRegEngine debugger = Ref(kRootHKLM, std::string(kIfeoKey) + "\\taskmgr.exe", "debugger");
    WriteRegString(debugger, "C:\\locker\\block.exe");
    EXPECT_TRUE(WaitForValueGone(debugger)) << "hijack_taskman on, hijack_all off";
    EXPECT_TRUE(WaitForRecord(evkHijackTaskmgr, evmHijack));
    EXPECT_EQ(CountRecords(evkHijackAll, evmHijack), 0);

    SetSwitch("hijack_all", true);
    Settle();
    WriteRegString(debugger, "C:\\locker\\block.exe");
    EXPECT_TRUE(WaitForValueGone(debugger));
    EXPECT_TRUE(WaitForRecord(evkHijackAll, evmHijack));
    bool found = false;
    for (const auto& e : Records())
        if (e.Source == evkHijackAll) found = e.Path.Str() == "taskmgr.exe на C:\\locker\\block.exe";
    EXPECT_TRUE(found);
    SetSwitch("hijack_all", false);
}

TEST_F(LockerScenario, RunValueOfAnUntrustedProgramInBothViews)
{
    for (bool view64 : {false, true}) {
        SCOPED_TRACE(view64 ? "64-bit view" : "normal view");
        ClearReport();
        std::string program = PlaceLocker(view64 ? "run64.exe" : "run32.exe");
        std::string key = view64 || !IsWin64System() ? "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
                                                     : "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
        TRegEngine value = Ref(kRootHKLM, key, "Updater");
        if (view64)
            WriteRegString(value, program, RegView::Key64);
        else
            WriteRegString(value, program);
        EXPECT_TRUE(WaitForValueGone(value, 8000));
        int32_t kind = view64 ? evkRun64 : evkRun;
        EXPECT_TRUE(WaitForRecord(kind, evmAddFile));
        TRegEngine disabled = Ref(kRootHKLM, key + "\\AutorunsDisabled", "Updater");
        EXPECT_EQ(ReadRegString(disabled), program) << "moved to AutorunsDisabled";
        TRegEngine cleanup = Ref(kRootHKLM, key + "\\AutorunsDisabled", "");
        DeleteRegKey(cleanup);
    }
}

TEST_F(LockerScenario, ProgramDroppedIntoTheCommonStartupFolder)
{
    const std::string startup = GetSpecialFolder(CSIDL_COMMON_STARTUP);
    const std::string dropped = startup + "\\dropper.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_waiter.exe").c_str(), dropped.c_str(), FALSE));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dropped); }, 15000));
    EXPECT_TRUE(FileExists(startup + "\\AutorunsDisabled\\dropper.exe"));
    EXPECT_TRUE(GetFileAttributesA((startup + "\\AutorunsDisabled").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_TRUE(WaitForRecord(evkCommonStartup, evmDangerExt));
    RemoveFile(startup + "\\AutorunsDisabled\\dropper.exe");
}

TEST_F(LockerScenario, ChangeMadeWhileStoppedIsRepairedAtStart)
{
    ASSERT_TRUE(harness::StopAndWaitStopped());
    TRegEngine shell = Ref(kRootHKLM, Winlogon(), "Shell");
    WriteRegString(shell, "C:\\locker\\offline.exe");
    ClearReport();
    ASSERT_TRUE(harness::StartAndWaitRunning());
    EXPECT_TRUE(WaitForString(shell, "Explorer.exe"));
    EXPECT_TRUE(WaitForRecord(evkWinlogonShell, evmChange));
}

TEST_F(LockerScenario, WithEverySwitchOffOnlyThePolicyTextsAreRepaired)
{
    for (const char* name : kSwitches) SetSwitch(name, false);
    Settle();
    Sleep(500);
    ClearReport();
    TRegEngine shell = Ref(kRootHKLM, Winlogon(), "Shell");
    WriteRegString(shell, "C:\\locker\\ignored.exe");
    TRegEngine gina = Ref(kRootHKLM, Winlogon(), "GinaDll");
    WriteRegString(gina, "C:\\locker\\gina.dll");
    TRegEngine policyText = Ref(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticetext");
    WriteRegString(policyText, "Pay now");
    EXPECT_TRUE(WaitForString(policyText, ""));
    EXPECT_TRUE(WaitForRecord(evkPoliciesText, evmSet));
    Sleep(1500);
    EXPECT_EQ(ReadRegString(shell), "C:\\locker\\ignored.exe");
    EXPECT_TRUE(RegValueExists(gina));
    for (const auto& e : Records()) EXPECT_EQ(e.Source, evkPoliciesText) << "only the policy text was repaired";

    DeleteRegValue(gina);
    WriteRegString(shell, "Explorer.exe");
    for (const char* name : kSwitches) SetSwitch(name, true);
    SetSwitch("hijack_all", false);
}

}  // namespace
