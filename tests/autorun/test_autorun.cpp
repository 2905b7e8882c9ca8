// The autorun guard under Wine: Run-type keys, comma-separated values, the
// Startup folders, quarantine into "AutorunsDisabled", and the jail. A
// listener stands in for the autorun manager; the command thread runs in this
// process so that approvals of signed files reach "goodlist.arn".
#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <shlobj.h>

#include "ProgramCopies.h"
#include "RegistryUtils.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "Trust.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvWideText.h"
#include "md5.h"
#include "uAutorunProcedures.h"
#include "uDispatcherThread.h"
#include "uJail.h"
#include "uPIDProcessing.h"
#include "uRegEventThread.h"
#include "uRunFileFromSrv.h"
#include "uServiceMessThread.h"

namespace {

const char* kTestKey = "SOFTWARE\\QuorvaneTest";
const char* kRunKey = "SOFTWARE\\QuorvaneTest\\Run";
const char* kWindowsKey = "SOFTWARE\\QuorvaneTest\\Windows";

std::string ConsoleUserSid()
{
    std::string sid, name;
    GetConsoleUserSidAndName(sid, name);
    return sid;
}

// The test keys lie in the console user's hive: a user guard ends only the
// programs of the user whose key it is, a machine guard does not look where
// the key lies.
TRegEngine Ref(const std::string& key, const std::string& value = {})
{
    static const std::string sid = ConsoleUserSid();
    TRegEngine rec;
    rec.Root = kRootHKU;
    rec.Key = sid + "\\" + key;
    rec.Value = value;
    return rec;
}

void SetValue(const std::string& key, const std::string& value, const std::string& text)
{
    TRegEngine rec = Ref(key, value);
    WriteRegString(rec, text);
}

std::string GetValue(const std::string& key, const std::string& value)
{
    TRegEngine rec = Ref(key, value);
    return ReadRegString(rec);
}

bool HasValue(const std::string& key, const std::string& value)
{
    TRegEngine rec = Ref(key, value);
    return RegValueExists(rec);
}

void Switch(const std::string& name, bool on)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, on);
}

bool MakeShellLink(const std::string& linkPath, const std::string& target, const std::string& workDir)
{
    ComScope com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())))
        return false;
    link->SetPath(target.c_str());
    link->SetWorkingDirectory(workDir.c_str());
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return false;
    std::wstring wide(linkPath.begin(), linkPath.end());
    return SUCCEEDED(file->Save(wide.c_str(), TRUE));
}

std::string gAnsweredOwner;
std::string AnsweredOwner(uint32_t) { return gAnsweredOwner; }

std::vector<TReportEvent> Events()
{
    std::vector<TReportEvent> events;
    for (const auto& entry : QueueSnapshot()) events.insert(events.begin(), entry.Event);  // oldest first
    return events;
}

class Autorun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcess addRoot;
        ASSERT_TRUE(addRoot.Start(HelperPath("qv_addroot.exe"), "\"" + HelperPath("qv_testroot.cer") + "\""));
        ASSERT_EQ(addRoot.Wait(30000), 0u) << "the test root did not go into the ROOT store";
        gServiceMessThread = std::make_unique<TServiceMessThread>();
    }
    static void TearDownTestSuite() { StopAndFree(gServiceMessThread); }

    void SetUp() override
    {
        ASSERT_TRUE(WaitUntil([] { return gServiceMessThread->SlotCreated(); }, 15000));
        TRegEngine settings = SettingRef("");
        DeleteRegKey(settings);
        TRegEngine test = Ref(kTestKey);
        DeleteRegKey(test);
        ForceDirectories(GetDataFolder());
        RemoveFile(GoodListPath());
        RemoveFile(ReportFilePath());
        ClearEventQueue();
    }
    void TearDown() override
    {
        SetProcessOwnerLookup(nullptr);
        TRegEngine test = Ref(kTestKey);
        DeleteRegKey(test);
    }

    size_t Notifications() { return manager_.Drain(300).size(); }

    SlotListener manager_{kAutorunSlot};
};

TEST_F(Autorun, RunKeyValuesAreQuarantinedAndTheirProgramsEnded)
{
    ScratchDir dir;
    ASSERT_TRUE(CopyWaiter(dir / "locker.exe", "1"));
    ASSERT_TRUE(CopyWaiter(dir / "other.exe", "2"));
    ASSERT_TRUE(CopyWaiter(dir / "approved.exe", "3"));
    ASSERT_TRUE(WriteTextFile(GoodListPath(), GetFileMD5(dir / "approved.exe") + "\r\n"));
    ChildProcess locker, other, approved;
    ASSERT_TRUE(StartAndSettle(locker, dir / "locker.exe"));
    ASSERT_TRUE(StartAndSettle(other, dir / "other.exe"));
    ASSERT_TRUE(StartAndSettle(approved, dir / "approved.exe"));
    const std::string lockerText = "\"" + dir / "locker.exe" + "\" /hide";
    SetValue(kRunKey, "locker", lockerText);
    SetValue(kRunKey, "", dir / "other.exe");  // the unnamed value
    SetValue(kRunKey, "missing", "C:\\nowhere\\absent.exe");
    SetValue(kRunKey, "approved", dir / "approved.exe");
    Switch("arn_all_reg", true);
    Switch("arn_all_run", true);

    TRegEngine key = Ref(kRunKey);
    CheckRunKey(evkRun, key, RegView::Default);

    auto events = Events();
    ASSERT_EQ(events.size(), 2u);
    for (const auto& event : events) {
        EXPECT_EQ(event.Source, evkRun);
        EXPECT_EQ(event.Event, evmAddFile);
    }
    std::vector<std::string> details = {events[0].Detail.Str(), events[1].Detail.Str()};
    std::sort(details.begin(), details.end());
    EXPECT_EQ(details, (std::vector<std::string>{kDefaultValueName, "locker"}));
    const TReportEvent& lockerEvent = events[0].Detail.Str() == "locker" ? events[0] : events[1];
    EXPECT_TRUE(SameFile(lockerEvent.Path.Str(), dir / "locker.exe")) << lockerEvent.Path.Str();
    EXPECT_EQ(lockerEvent.Md5.Str(), GetFileMD5(dir / "locker.exe"));

    EXPECT_TRUE(Ended(locker));
    EXPECT_TRUE(Ended(other));
    EXPECT_TRUE(approved.Running());
    EXPECT_TRUE(FileExists(dir / "locker.exe"));
    const std::string disabled = std::string(kRunKey) + "\\AutorunsDisabled";
    EXPECT_FALSE(HasValue(kRunKey, "locker"));
    EXPECT_FALSE(HasValue(kRunKey, ""));
    EXPECT_EQ(GetValue(disabled, "locker"), lockerText);
    EXPECT_TRUE(SameFile(GetValue(disabled, ""), dir / "other.exe"));
    EXPECT_TRUE(HasValue(kRunKey, "missing"));
    EXPECT_TRUE(HasValue(kRunKey, "approved"));
    EXPECT_EQ(Notifications(), 2u);

    CheckRunKey(evkRun, key, RegView::Default);  // what the watcher's next call finds: nothing
    EXPECT_EQ(Events().size(), 2u);
}

TEST_F(Autorun, RunValueWhoseProgramComesLaterIsQuarantinedWhenItAppears)
{
    ScratchDir dir;
    SetValue(kRunKey, "later", dir / "later.exe");
    SetValue(kRunKey, "never", dir / "never.exe");
    Switch("arn_user_reg", true);
    Switch("arn_user_run", true);
    std::atomic<int> passes{0};
    auto watcher = std::make_unique<TRegEventThread>(Ref(kRunKey), RegView::Default, [&](TRegEngine& key) {
        CheckRunKey(evkUserRun, key, RegView::Default);
        ++passes;
    });
    ASSERT_TRUE(WaitUntil([&] { return passes >= 1; }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return HasPendingEntries(Ref(kRunKey)); }, 5000));
    ASSERT_TRUE(WaitUntil([&] { return passes >= 2; }, 5000)) << "the key looked at again without a change";
    ASSERT_TRUE(CopyWaiter(dir / "later.exe", "1"));  // no change in the key: only the looks again see it
    EXPECT_TRUE(WaitUntil([&] { return !HasValue(kRunKey, "later"); }, 10000));
    EXPECT_EQ(GetValue(std::string(kRunKey) + "\\AutorunsDisabled", "later"), dir / "later.exe");
    EXPECT_TRUE(HasValue(kRunKey, "never")) << "a program that is not there leaves its value";
    StopAndFree(watcher);
}

TEST_F(Autorun, SignedRunValueIsSparedAndItsDigestApprovedThroughTheService)
{
    const std::string signedExe = HelperPath("qv_signed.exe");
    SetValue(kRunKey, "signed", "\"" + signedExe + "\" /start");
    Switch("arn_all_reg", true);
    Switch("arn_all_run", true);
    TRegEngine key = Ref(kRunKey);
    CheckRunKey(evkRun, key, RegView::Default);
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(HasValue(kRunKey, "signed"));
    const std::string digest = GetFileMD5(signedExe);
    ASSERT_TRUE(WaitUntil([&] { return ReadTextFile(GoodListPath()).find(digest) != std::string::npos; }, 5000))
        << "command 19 did not add the digest";
    EXPECT_TRUE(IsKnownGoodFile(signedExe));
    EXPECT_EQ(Notifications(), 0u);
}

// Each group switch and key switch must be on; the machine kinds in both views.
TEST_F(Autorun, SwitchesGateEveryKind)
{
    ScratchDir dir;
    ASSERT_TRUE(CopyWaiter(dir / "locker.exe"));
    ChildProcess locker;
    ASSERT_TRUE(StartAndSettle(locker, dir / "locker.exe"));
    SetValue(kRunKey, "locker", dir / "locker.exe");
    TRegEngine key = Ref(kRunKey);
    for (const char* name : {"arn_all_run", "arn_all_runonce", "arn_all_runonceex", "arn_all_polices", "arn_user_run",
                             "arn_user_runonce", "arn_user_polices"})
        Switch(name, true);
    Switch("arn_all_reg", false);
    for (int32_t kind : {evkRun, evkRunOnce, evkRunOnceEx, evkPoliciesExplorerRun}) CheckRunKey(kind, key, RegView::Default);
    for (int32_t kind : {evkRun64, evkRunOnce64, evkRunOnceEx64}) CheckRunKey(kind, key, RegView::Key64);
    for (int32_t kind : {evkUserRun, evkUserRunOnce, evkUserPoliciesRun}) CheckRunKey(kind, key, RegView::Default);
    Switch("arn_all_reg", true);
    Switch("arn_all_run", false);
    CheckRunKey(evkRun, key, RegView::Default);
    CheckRunKey(evkAppInitDlls, key, RegView::Default);  // not a Run-type kind
    EXPECT_TRUE(Events().empty());
    EXPECT_TRUE(locker.Running());
    EXPECT_TRUE(HasValue(kRunKey, "locker"));

    Switch("arn_user_reg", true);
    CheckRunKey(evkUserRunOnce, key, RegView::Default);
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].Source, evkUserRunOnce);
    EXPECT_TRUE(Ended(locker));
}

// Appinit_Dlls and the user's "load" value: one entry leaves the list, the
// others stay; an entry written with quotes or environment strings is found too.
TEST_F(Autorun, EntriesOfCommaSeparatedValues)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "good.dll", "good library"));
    ASSERT_TRUE(WriteTextFile(dir / "bad.dll", "bad library"));
    ASSERT_TRUE(CopyWaiter(dir / "loader.exe"));
    ASSERT_TRUE(CopyWaiter(dir / "approved.exe", "approved"));
    ASSERT_TRUE(WriteTextFile(GoodListPath(), GetFileMD5(dir / "good.dll") + "\r\n" +
                                                  GetFileMD5(dir / "approved.exe") + "\r\n"));
    const std::string temp = ExcludeTrailingBackslash(GetEnvVar("TEMP"));
    ASSERT_TRUE(StartsText(temp, dir.Path()));
    const std::string badEntry = "%TEMP%" + dir.Path().substr(temp.size()) + "\\bad.dll";
    SetValue(kWindowsKey, "Appinit_Dlls", dir / "good.dll" + "," + badEntry);
    const std::string loaderEntry = "\"" + dir / "loader.exe" + "\"";
    SetValue(kWindowsKey, "load", loaderEntry + ", " + dir / "approved.exe");
    SetValue(kWindowsKey, "run", dir / "loader.exe");
    ChildProcess loader;
    ASSERT_TRUE(StartAndSettle(loader, dir / "loader.exe"));
    const std::string disabled = std::string(kWindowsKey) + "\\AutorunsDisabled";

    TRegEngine key = Ref(kWindowsKey);
    CheckAppInitDlls(key);  // switch off
    EXPECT_TRUE(Events().empty());
    Switch("appinitdlls", true);
    CheckAppInitDlls(key);
    auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Source, evkAppInitDlls);
    EXPECT_EQ(events[0].Event, evmAddFile);
    EXPECT_TRUE(SameFile(events[0].Path.Str(), dir / "bad.dll"));
    EXPECT_EQ(GetValue(kWindowsKey, "Appinit_Dlls"), dir / "good.dll");
    EXPECT_EQ(GetValue(disabled, "Appinit_Dlls"), badEntry);
    EXPECT_TRUE(FileExists(dir / "bad.dll"));  // the library itself stays
    EXPECT_EQ(Notifications(), 1u);

    Switch("arn_user_reg", true);
    Switch("arn_user_ntload", true);
    TRegEngine run = Ref(kWindowsKey, "run");  // its switch is off
    CheckUserLoadRun(run);
    TRegEngine wrongCase = Ref(kWindowsKey, "Load");
    CheckUserLoadRun(wrongCase);
    EXPECT_EQ(Events().size(), 1u);
    EXPECT_TRUE(loader.Running());

    TRegEngine load = Ref(kWindowsKey, "load");
    CheckUserLoadRun(load);
    events = Events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].Source, evkUserLoadValue);
    EXPECT_TRUE(SameFile(events[1].Path.Str(), dir / "loader.exe"));
    EXPECT_TRUE(Ended(loader));
    EXPECT_EQ(GetValue(kWindowsKey, "load"), dir / "approved.exe");
    EXPECT_EQ(GetValue(disabled, "load"), loaderEntry);
    EXPECT_EQ(GetValue(disabled, "Appinit_Dlls"), badEntry);

    // The entry given is not in the value: nothing is written or sent.
    Notifications();
    TRegEngine appInit = Ref(kWindowsKey, "Appinit_Dlls");
    DisableValueEntry(dir / "absent.dll", appInit);
    EXPECT_EQ(GetValue(kWindowsKey, "Appinit_Dlls"), dir / "good.dll");
    EXPECT_EQ(Notifications(), 0u);
}

TEST_F(Autorun, StartupFolderFilesByKind)
{
    ScratchDir folder, other;
    const std::string notes = folder / "notes.txt";
    ASSERT_TRUE(CopyWaiter(notes));  // a document with a program's bytes
    ASSERT_TRUE(CopyWaiter(other / "runner.exe"));
    ASSERT_TRUE(CopyWaiter(folder / "approved.exe", "a"));
    ASSERT_TRUE(CopyWaiter(other / "approved2.exe", "b"));
    ASSERT_TRUE(CopyWaiter(other / "evil.exe", "c"));
    ASSERT_TRUE(WriteTextFile(GoodListPath(), GetFileMD5(folder / "approved.exe") + "\r\n" +
                                                  GetFileMD5(other / "approved2.exe") + "\r\n"));
    ASSERT_TRUE(MakeShellLink(folder / "spared.lnk", other / "approved2.exe", other.Path()));
    ASSERT_TRUE(MakeShellLink(folder / "evil.lnk", other / "evil.exe", other.Path()));
    ASSERT_TRUE(WriteTextFile(folder / "desktop.ini", "[.ShellClassInfo]"));
    ChildProcess runner, approved, evil;
    ASSERT_TRUE(StartAndSettle(runner, other / "runner.exe"));
    ASSERT_TRUE(StartAndSettle(approved, folder / "approved.exe"));
    ASSERT_TRUE(StartAndSettle(evil, other / "evil.exe"));

    CheckStartupFolder(evkCommonStartup, folder.Path());  // switch off
    CheckStartupFolder(evkUserStartup, folder.Path());
    EXPECT_TRUE(Events().empty());

    Switch("arn_all_folder", true);
    CheckStartupFolder(evkCommonStartup, folder.Path());
    const std::string quarantine = folder / "AutorunsDisabled";
    auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    std::map<std::string, TReportEvent> byDetail;
    for (const auto& event : events) {
        EXPECT_EQ(event.Source, evkCommonStartup);
        EXPECT_EQ(event.Time, events[0].Time);  // one time for the whole pass
        byDetail[event.Detail.Str()] = event;
    }
    ASSERT_EQ(byDetail.count("notes.txt"), 1u);
    EXPECT_EQ(byDetail["notes.txt"].Event, evmErrorExt);
    EXPECT_TRUE(SameFile(byDetail["notes.txt"].Path.Str(), notes));
    ASSERT_EQ(byDetail.count("approved.exe"), 1u);  // approval does not spare a program lying in the folder
    EXPECT_EQ(byDetail["approved.exe"].Event, evmDangerExt);
    ASSERT_EQ(byDetail.count("evil.lnk"), 1u);
    EXPECT_EQ(byDetail["evil.lnk"].Event, evmAddFile);
    EXPECT_TRUE(SameFile(byDetail["evil.lnk"].Path.Str(), other / "evil.exe"));

    EXPECT_TRUE(runner.Running());  // a document ends nothing, not even a twin of its bytes
    EXPECT_TRUE(Ended(approved));
    EXPECT_TRUE(Ended(evil));
    EXPECT_TRUE(FileExists(other / "evil.exe"));
    for (const char* name : {"notes.txt", "approved.exe", "evil.lnk"}) {
        EXPECT_FALSE(FileExists(folder / name)) << name;
        EXPECT_TRUE(FileExists(quarantine + "\\" + name)) << name;
    }
    EXPECT_TRUE(FileExists(folder / "spared.lnk"));
    EXPECT_TRUE(FileExists(folder / "desktop.ini"));
    EXPECT_TRUE(GetFileAttributesA(quarantine.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Notifications(), 3u);
}

// A guard of one user's Run key or Startup folder ends that user's programs,
// byte-for-byte twins under other names included, and nothing that runs as
// the system; the entry is quarantined either way. Under Wine every process
// runs as the one user, so the owner is answered here.
TEST_F(Autorun, UserGuardsEndOnlyThatUsersProcesses)
{
    const std::string sid = ConsoleUserSid();
    ASSERT_FALSE(sid.empty());
    for (const char* name : {"arn_user_reg", "arn_user_run", "arn_user_folder"}) Switch(name, true);
    SetProcessOwnerLookup(AnsweredOwner);
    ScratchDir dir, startup;
    TRegEngine run = Ref(kRunKey);
    for (const bool inFolder : {false, true}) {
        SCOPED_TRACE(inFolder ? "Startup folder" : "Run key");
        const std::string tag = inFolder ? "folder" : "run";
        const std::string program = dir / (tag + ".exe");
        ASSERT_TRUE(CopyWaiter(program, tag));
        ASSERT_TRUE(CopyWaiter(dir / (tag + "twin.exe"), tag));
        ChildProcess locker, twin;
        ASSERT_TRUE(StartAndSettle(locker, program));
        ASSERT_TRUE(StartAndSettle(twin, dir / (tag + "twin.exe")));
        for (const std::string& owner : {std::string("S-1-5-18"), sid}) {
            gAnsweredOwner = owner;
            if (inFolder) {
                ASSERT_TRUE(MakeShellLink(startup / "locker.lnk", program, dir.Path()));
                CheckStartupFolder(evkUserStartup, startup.Path(), sid);
                EXPECT_FALSE(FileExists(startup / "locker.lnk"));
                EXPECT_TRUE(FileExists(startup / "AutorunsDisabled\\locker.lnk"));
            } else {
                SetValue(kRunKey, "locker", program);
                CheckRunKey(evkUserRun, run, RegView::Default);
                EXPECT_FALSE(HasValue(kRunKey, "locker"));
                EXPECT_EQ(GetValue(std::string(kRunKey) + "\\AutorunsDisabled", "locker"), program);
            }
            if (owner != sid) {
                EXPECT_TRUE(locker.Running()) << "a process of " << owner << " is not the user's to end";
                EXPECT_TRUE(twin.Running()) << "nor is its twin";
            }
        }
        EXPECT_TRUE(Ended(locker));
        EXPECT_TRUE(Ended(twin));
    }
    EXPECT_EQ(Events().size(), 4u);
}

TEST_F(Autorun, QuarantineNameClashDeletesTheNewFile)
{
    ScratchDir folder;
    ASSERT_TRUE(ForceDirectories(folder / "AutorunsDisabled"));
    ASSERT_TRUE(WriteTextFile(folder / "AutorunsDisabled\\dup.txt", "older"));
    ASSERT_TRUE(WriteTextFile(folder / "dup.txt", "newer"));
    Switch("arn_user_folder", true);
    CheckStartupFolder(evkUserStartup, folder.Path());
    ASSERT_EQ(Events().size(), 1u);
    EXPECT_EQ(Events()[0].Event, evmErrorExt);
    EXPECT_FALSE(FileExists(folder / "dup.txt"));
    EXPECT_EQ(ReadTextFile(folder / "AutorunsDisabled\\dup.txt"), "older");
    EXPECT_EQ(Notifications(), 1u);
}

TEST_F(Autorun, QuarantineRefusesLinkedFolders)
{
    ScratchDir folder, elsewhere;
    ASSERT_TRUE(WriteTextFile(folder / "x.txt", "x"));
    ASSERT_TRUE(MakeLink(folder / "AutorunsDisabled", elsewhere.Path()));
    EXPECT_FALSE(DisableFolderFileW(AnsiToWide(folder.Path()), L"x.txt"));
    EXPECT_TRUE(FileExists(folder / "x.txt"));
    EXPECT_FALSE(FileExists(elsewhere / "x.txt"));
    RemoveLink(folder / "AutorunsDisabled");

    ScratchDir real;
    ASSERT_TRUE(WriteTextFile(real / "y.txt", "y"));
    ASSERT_TRUE(MakeLink(folder / "linked", real.Path()));
    EXPECT_FALSE(DisableFolderFileW(AnsiToWide(folder / "linked"), L"y.txt"));
    EXPECT_TRUE(FileExists(real / "y.txt"));
    RemoveLink(folder / "linked");
    EXPECT_EQ(Notifications(), 0u);
}

TEST_F(Autorun, JailTakesOnlyUntrustedFiles)
{
    ScratchDir dir;
    ASSERT_TRUE(CopyFileA(HelperPath("qv_signed.exe").c_str(), (dir / "signed.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyWaiter(dir / "approved.exe", "approved"));
    ASSERT_TRUE(CopyWaiter(dir / "bad.exe"));
    ASSERT_TRUE(WriteTextFile(GoodListPath(), GetFileMD5(dir / "approved.exe") + "\r\n"));
    JailFile(dir / "absent.exe");
    JailFile(dir / "signed.exe");
    JailFile(dir / "approved.exe");
    EXPECT_TRUE(FileExists(dir / "signed.exe"));
    EXPECT_TRUE(FileExists(dir / "approved.exe"));
    EXPECT_TRUE(Events().empty());

    const std::string digest = GetFileMD5(dir / "bad.exe");
    JailFile(dir / "bad.exe");
    EXPECT_FALSE(FileExists(dir / "bad.exe"));
    auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Source, evkJail);
    EXPECT_EQ(events[0].Event, evmMovedToJail);
    EXPECT_EQ(events[0].Detail.Str(), "");
    EXPECT_EQ(events[0].Md5.Str(), digest);
    const std::string jailed = events[0].Path.Str();
    EXPECT_TRUE(StartsText(GetDataFolder() + "jail\\", jailed)) << jailed;
    EXPECT_TRUE(EndsWith(jailed, "_bad.exe.zlo")) << jailed;
    EXPECT_EQ(GetFileMD5(jailed), digest);
    RemoveFile(jailed);
}

TEST_F(Autorun, QuarantinedValuesAndTheManagersMessage)
{
    NotifyAutorunManager();
    TMSlotMessage message;
    ASSERT_TRUE(manager_.Next(message));
    EXPECT_EQ(message.Type, 13);
    EXPECT_EQ(message.A, 11);
    EXPECT_TRUE(message.Data.Empty());

    SetValue(kRunKey, "entry", "C:\\some.exe");
    TRegEngine value = Ref(kRunKey, "entry");
    EXPECT_TRUE(DisableRegValueW(value, AnsiToWide(value.Value), RegView::Key64));
    EXPECT_EQ(GetValue(std::string(kRunKey) + "\\AutorunsDisabled", "entry"), "C:\\some.exe");
    EXPECT_FALSE(HasValue(kRunKey, "entry"));
    // A second call (a watcher that came too late) keeps the quarantined copy.
    EXPECT_FALSE(DisableRegValueW(value, AnsiToWide(value.Value)));
    EXPECT_EQ(GetValue(std::string(kRunKey) + "\\AutorunsDisabled", "entry"), "C:\\some.exe");
    EXPECT_EQ(Notifications(), 1u);
}


// A program named in a script the code page (1252 here) cannot spell: the
// process is started through the W API, so it runs under its real name.
TEST_F(Autorun, RunValuesInAnyScriptAreJudgedEndedAndQuarantinedUnderTheirRealNames)
{
    ScratchDir dir;
    const std::wstring base = AnsiToWide(dir.Path());
    const std::wstring han = L"\u4E2D\u6587", greek = L"\u03A9\u03B1";
    ASSERT_TRUE(CreateDirectoryW((base + L"\\" + han).c_str(), nullptr));
    const std::wstring inFolder = base + L"\\" + han + L"\\f1.exe";
    const std::wstring byName = base + L"\\" + greek + L".exe";
    const std::wstring plain = base + L"\\f2.exe";
    ASSERT_TRUE(CopyWaiterW(inFolder, "1"));
    ASSERT_TRUE(CopyWaiterW(byName, "2"));
    ASSERT_TRUE(CopyWaiterW(plain, "3"));
    WideChild first, second, third;
    ASSERT_TRUE(first.Start(inFolder));
    ASSERT_TRUE(second.Start(byName));
    ASSERT_TRUE(third.Start(plain));
    TRegEngine key = Ref(kRunKey);
    const std::vector<std::pair<std::wstring, std::wstring>> values = {
        {L"folder", L"\"" + inFolder + L"\" /s"}, {L"greek", byName}, {han, plain}};
    for (const auto& [name, text] : values) WriteRegStringW(key, name, text);
    Switch("arn_user_reg", true);
    Switch("arn_user_run", true);

    CheckRunKey(evkUserRun, key, RegView::Default);

    EXPECT_TRUE(first.Ended());
    EXPECT_TRUE(second.Ended());
    EXPECT_TRUE(third.Ended());
    TRegEngine disabled = Ref(std::string(kRunKey) + "\\AutorunsDisabled");
    for (const auto& [name, text] : values) {
        EXPECT_FALSE(RegValueExistsW(key, name));
        EXPECT_TRUE(ReadRegStringW(disabled, name) == text) << WideToAnsi(name);
    }
    // The record carries an ANSI path that still reaches the file, and its digest.
    const auto events = Events();
    ASSERT_EQ(events.size(), 3u);
    std::vector<std::wstring> recorded;
    for (const auto& event : events) {
        recorded.push_back(LongPathNameW(AnsiToWide(event.Path.Str())));
        EXPECT_EQ(event.Md5.Str(), GetReadableFileMD5W(recorded.back()));
        EXPECT_FALSE(event.Md5.Str().empty());
    }
    for (const std::wstring& program : {inFolder, byName, plain})
        EXPECT_EQ(std::count_if(recorded.begin(), recorded.end(), [&](const std::wstring& r) { return SameTextW(r, program); }), 1)
            << WideToAnsi(program);
}

TEST_F(Autorun, StartupFileInAnyScriptIsQuarantinedUnderItsRealNameAndEnded)
{
    ScratchDir folder;
    const std::wstring name = L"\u03A9\u03BB.exe";
    const std::wstring program = AnsiToWide(folder.Path()) + L"\\" + name;
    ASSERT_TRUE(CopyWaiterW(program, "1"));
    const std::string recordForm = WideToAnsiForRecord(program), digest = GetReadableFileMD5W(program);
    WideChild running;
    ASSERT_TRUE(running.Start(program));
    Switch("arn_all_folder", true);

    CheckStartupFolder(evkCommonStartup, folder.Path());

    EXPECT_TRUE(running.Ended());
    EXPECT_FALSE(FileExistsW(program));
    EXPECT_TRUE(FileExistsW(AnsiToWide(folder / "AutorunsDisabled") + L"\\" + name));
    // The record names the file in its ANSI form, made while it still lay there.
    const auto events = Events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Event, evmDangerExt);
    EXPECT_EQ(events[0].Path.Str(), recordForm);
    EXPECT_EQ(events[0].Md5.Str(), digest);
    EXPECT_FALSE(digest.empty());
}

}  // namespace
