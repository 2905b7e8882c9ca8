// Finding and ending processes under Wine, with copies of the waiting helper
// as the programs: full-path matching, the processes that are never ended,
// twins, jailing, the shell copy, and starting a program as the console user.
#include <gtest/gtest.h>

#include "ProgramCopies.h"
#include "RegistryUtils.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "Trust.h"
#include "qvFiles.h"
#include "qvWideText.h"
#include "md5.h"
#include "uAutorunProcedures.h"
#include "uJail.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uPIDProcessing.h"
#include "uRunFileFromSrv.h"
#include "uWinLogonProcedures.h"

namespace {

class Processes : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForceDirectories(GetDataFolder());
        RemoveFile(GoodListPath());
        RemoveFile(ReportFilePath());
        ClearEventQueue();
    }
};

// The jail's files whose names end with the ending.
std::vector<std::wstring> JailedNamed(const std::wstring& jail, const std::wstring& ending)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW((jail + L"\\*" + ending).c_str(), &data));
    if (find) do names.push_back(data.cFileName); while (FindNextFileW(find.Get(), &data));
    return names;
}

// Wine's services.exe, running from the system folder.
uint32_t SystemServicesPid()
{
    for (uint32_t pid : RunningProcessIds())
        if (SameFile(GetProcessImagePath(pid), GetSystemFolder() + "services.exe")) return pid;
    return 0;
}

TEST_F(Processes, FindListAndEndByIdAndName)
{
    ScratchDir dir, other;
    const std::string program = dir / "qvfind.exe";
    ASSERT_TRUE(CopyWaiter(program));
    ASSERT_TRUE(CopyWaiter(other / "qvfind.exe"));
    ChildProcess child;
    ASSERT_TRUE(StartAndSettle(child, program));

    EXPECT_TRUE(ProcessIdExists(child.Id()));
    EXPECT_TRUE(SameFile(GetProcessImagePath(child.Id()), program));
    EXPECT_EQ(FindProcessByPath(program), child.Id());
    EXPECT_EQ(FindProcessByPath("\"" + program + "\" /quiet"), child.Id());
    EXPECT_EQ(FindProcessByPath("qvfind.exe"), child.Id());  // a bare name matches any folder
    // The same name in another folder is another program.
    EXPECT_EQ(FindProcessByPath(other / "qvfind.exe"), -1);
    EXPECT_FALSE(TerminateProcessesByName(other / "qvfind.exe"));
    EXPECT_TRUE(child.Running());

    EXPECT_TRUE(TerminateProcessById(child.Id()));
    EXPECT_EQ(child.Wait(5000), 0u);
    EXPECT_FALSE(ProcessIdExists(child.Id()));
    EXPECT_EQ(GetProcessImagePath(child.Id()), "");
    EXPECT_EQ(FindProcessByPath(program), -1);

    ChildProcess first, second;
    ASSERT_TRUE(StartAndSettle(first, program));
    ASSERT_TRUE(StartAndSettle(second, other / "qvfind.exe"));
    EXPECT_TRUE(TerminateProcessesByName(program));
    EXPECT_TRUE(Ended(first));
    EXPECT_TRUE(second.Running());
    EXPECT_TRUE(TerminateProcessesByName("QVFIND.EXE"));
    EXPECT_TRUE(Ended(second));
    EXPECT_FALSE(TerminateProcessesByName("QVFIND.EXE"));
}

TEST_F(Processes, SystemNamesInOtherFoldersAreOtherPrograms)
{
    const uint32_t services = SystemServicesPid();
    ASSERT_NE(services, 0u) << "Wine's services.exe is not running";
    ScratchDir dir;
    ChildProcess fakeServices, fakeCsrss;
    ASSERT_TRUE(CopyWaiter(dir / "services.exe"));
    ASSERT_TRUE(CopyWaiter(dir / "csrss.exe", "x"));
    ASSERT_TRUE(StartAndSettle(fakeServices, dir / "services.exe"));
    ASSERT_TRUE(StartAndSettle(fakeCsrss, dir / "csrss.exe"));

    EXPECT_EQ(FindProcessByPath("C:\\Users\\x\\services.exe"), -1);
    EXPECT_FALSE(KillProgram("C:\\Users\\x\\services.exe", false));
    EXPECT_FALSE(KillProgram("C:\\Users\\x\\csrss.exe", false));
    EXPECT_TRUE(fakeCsrss.Running());
    EXPECT_TRUE(KillProgram(dir / "csrss.exe", false));
    EXPECT_TRUE(Ended(fakeCsrss));
    EXPECT_TRUE(KillProgram(dir / "services.exe", false));
    EXPECT_TRUE(Ended(fakeServices));
    EXPECT_TRUE(ProcessIdExists(services));
    EXPECT_TRUE(IsProtectedProcess(services, ""));
    EXPECT_FALSE(TerminateProcessById(services));
}

// Wine has no csrss.exe: a copy of the waiting helper put there is one, as it
// runs from the system folder, and no way of ending processes may reach it.
TEST_F(Processes, ProtectedProcessesAreNeverEnded)
{
    const std::string systemCsrss = GetSystemFolder() + "csrss.exe";
    if (FileExists(systemCsrss)) GTEST_SKIP() << "this prefix has a csrss.exe of its own";
    ASSERT_TRUE(CopyWaiter(systemCsrss));
    struct Remove {
        std::string path;
        ~Remove() { DeleteFileA(path.c_str()); }
    } removeLater{systemCsrss};
    ScratchDir dir;
    ASSERT_TRUE(CopyWaiter(dir / "locker.exe"));  // a twin of it
    ChildProcess csrss, locker;  // ended before the file is removed
    ASSERT_TRUE(StartAndSettle(csrss, systemCsrss));
    ASSERT_TRUE(StartAndSettle(locker, dir / "locker.exe"));

    EXPECT_TRUE(IsProtectedProcess(csrss.Id(), ""));
    EXPECT_FALSE(IsProtectedProcess(locker.Id(), ""));
    EXPECT_TRUE(KillProgram(dir / "locker.exe", false));  // not its protected twin
    EXPECT_TRUE(Ended(locker));
    EXPECT_TRUE(csrss.Running());
    EXPECT_FALSE(TerminateProcessById(csrss.Id()));
    EXPECT_FALSE(TerminateProcessesByName("csrss.exe"));
    EXPECT_FALSE(TerminateProcessesByName(systemCsrss));
    EXPECT_FALSE(KillProgram("csrss.exe", true));
    EXPECT_EQ(KillProgramAll(systemCsrss, true), 0);
    KillCommandPrograms("csrss.exe", true, "");
    EXPECT_TRUE(csrss.Running());
    EXPECT_TRUE(FileExists(systemCsrss));  // never jailed either
    EXPECT_TRUE(QueueSnapshot().empty());

    // This process and the tray program beside it are protected as well.
    EXPECT_TRUE(IsProtectedProcess(GetCurrentProcessId(), ""));
    EXPECT_FALSE(TerminateProcessById(GetCurrentProcessId()));
    EXPECT_TRUE(IsProtectedProcess(12345, ModuleFolder() + "QuorvaneTray.exe"));
    EXPECT_FALSE(IsProtectedProcess(12345, dir / "QuorvaneTray.exe"));
    EXPECT_FALSE(TerminateTrayProcess(csrss.Id()));  // not the tray program
    csrss.Kill();
}

TEST_F(Processes, TwinsAndRepeatedRounds)
{
    ScratchDir dir, other;
    const std::string program = dir / "qvtwin.exe";
    ASSERT_TRUE(CopyWaiter(program));
    ASSERT_TRUE(CopyWaiter(other / "renamed.exe"));
    ASSERT_TRUE(CopyWaiter(other / "changed.exe", "changed"));
    ChildProcess original, twin, changed;
    ASSERT_TRUE(StartAndSettle(original, program));
    ASSERT_TRUE(StartAndSettle(twin, other / "renamed.exe"));
    ASSERT_TRUE(StartAndSettle(changed, other / "changed.exe"));

    EXPECT_TRUE(KillProgram(program, false));
    EXPECT_TRUE(Ended(original));
    EXPECT_TRUE(Ended(twin));  // identical bytes under another name
    EXPECT_TRUE(changed.Running());
    EXPECT_TRUE(FileExists(program));  // jail off
    EXPECT_FALSE(KillTwinProcesses(dir / "absent.exe", false));

    // Two processes of one program: the first round ends both, the second finds none.
    SlotListener tray(kTraySlot);
    ChildProcess a, b;
    ASSERT_TRUE(StartAndSettle(a, program));
    ASSERT_TRUE(StartAndSettle(b, program));
    EXPECT_EQ(KillProgramAll(program, false), 1);
    EXPECT_TRUE(Ended(a));
    EXPECT_TRUE(Ended(b));
    TMSlotMessage message;
    ASSERT_TRUE(tray.Next(message));
    EXPECT_EQ(message.Type, 13);
    EXPECT_EQ(message.A, 10);
    EXPECT_EQ(KillProgramAll(program, false), 0);
    EXPECT_TRUE(changed.Running());
}

// Text "Explorer.exe <second program>" keeping "Explorer.exe": only the second
// program is ended and jailed.
TEST_F(Processes, KillCommandProgramsKeepsTheNamedProgram)
{
    ScratchDir dir;
    const std::string shell = dir / "explorer.exe";
    const std::string second = dir / "second.exe";
    ASSERT_TRUE(CopyWaiter(shell, "shell"));  // other bytes: no twin of the second
    ASSERT_TRUE(CopyWaiter(second));
    ChildProcess shellProcess, secondProcess;
    ASSERT_TRUE(StartAndSettle(shellProcess, shell));
    ASSERT_TRUE(StartAndSettle(secondProcess, second));
    SlotListener tray(kTraySlot);

    KillCommandPrograms(shell + " " + second, true, "Explorer.exe");
    EXPECT_TRUE(Ended(secondProcess));
    EXPECT_TRUE(shellProcess.Running());
    EXPECT_TRUE(FileExists(shell));
    EXPECT_FALSE(FileExists(second));
    auto events = QueueSnapshot();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].Event.Source, evkJail);
    EXPECT_EQ(events[0].Event.Event, evmMovedToJail);
    const std::string jailed = events[0].Event.Path.Str();
    EXPECT_TRUE(StartsText(JailFolder() + "\\", jailed)) << jailed;
    EXPECT_TRUE(EndsWith(jailed, "_second.exe.zlo")) << jailed;
    EXPECT_TRUE(FileExists(jailed));
    RemoveFile(jailed);
    TMSlotMessage message;
    ASSERT_TRUE(tray.Next(message));
    EXPECT_EQ(message.A, 10);
}

// Shell and Userinit naming the healthy program and a locker after it, in the
// forms Winlogon reads: the locker is ended and jailed as well.
TEST_F(Processes, WinlogonRepairEndsEveryProgramTheValueNames)
{
    ScratchDir dir;
    const std::string shellLocker = dir / "l.exe", userinitLocker = dir / "u.exe";
    ASSERT_TRUE(CopyWaiter(shellLocker));
    ASSERT_TRUE(CopyWaiter(userinitLocker, "other"));
    ChildProcess shellProcess, userinitProcess;
    ASSERT_TRUE(StartAndSettle(shellProcess, shellLocker));
    ASSERT_TRUE(StartAndSettle(userinitProcess, userinitLocker));
    for (const char* name : {"All_gina", "All_taskman", "All_message", "All_parazite"}) {
        TRegEngine off = SettingRef(name);
        WriteRegBool(off, false);
    }
    for (const char* name : {"All_userinit", "All_shell"}) {
        TRegEngine on = SettingRef(name);
        WriteRegBool(on, true);
    }
    TRegEngine shell, userinit;
    shell.Key = userinit.Key = WinlogonKeyPath();
    shell.Value = "Shell";
    userinit.Value = "Userinit";
    WriteRegString(shell, "  explorer.exe , " + shellLocker + " ");
    WriteRegString(userinit, GetSystemFolder() + "userinit.exe," + userinitLocker);

    RepairWinlogon();
    EXPECT_EQ(ReadRegString(shell), "Explorer.exe");
    EXPECT_EQ(ReadRegString(userinit), ExpectedUserinit());
    EXPECT_TRUE(Ended(shellProcess));
    EXPECT_TRUE(Ended(userinitProcess));
    EXPECT_FALSE(FileExists(shellLocker)) << "jailed";
    EXPECT_FALSE(FileExists(userinitLocker)) << "jailed";
}

// A program in a folder the code page cannot spell is ended and jailed
// under its real name.
TEST_F(Processes, WinlogonRepairJailsAProgramNamedInAnyScript)
{
    ScratchDir dir;
    const std::wstring folder = AnsiToWide(dir.Path()) + L"\\\u4E2D\u6587";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring locker = folder + L"\\l.exe";
    ASSERT_TRUE(CopyWaiterW(locker, "han"));
    const std::string digest = GetReadableFileMD5W(locker);
    WideChild running;
    ASSERT_TRUE(running.Start(locker));
    for (const char* name : {"All_userinit", "All_gina", "All_taskman", "All_message", "All_parazite"}) {
        TRegEngine off = SettingRef(name);
        WriteRegBool(off, false);
    }
    TRegEngine on = SettingRef("All_shell");
    WriteRegBool(on, true);
    TRegEngine shell;
    shell.Key = WinlogonKeyPath();
    WriteRegStringW(shell, L"Shell", L"explorer.exe," + locker);
    const std::wstring jail = AnsiToWide(JailFolder());
    const size_t jailedBefore = JailedNamed(jail, L"l.exe.zlo").size();

    RepairWinlogon();

    EXPECT_TRUE(ReadRegStringW(shell, L"Shell") == L"Explorer.exe");
    EXPECT_TRUE(running.Ended());
    EXPECT_FALSE(FileExistsW(locker));
    const std::vector<std::wstring> jailed = JailedNamed(jail, L"l.exe.zlo");
    ASSERT_EQ(jailed.size(), jailedBefore + 1);
    bool found = false;
    for (const std::wstring& name : jailed) found = found || GetReadableFileMD5W(jail + L"\\" + name) == digest;
    EXPECT_TRUE(found);
}

// The image that decides is read through the handle that ends the process: a
// process judged as another program is left running, one that has ended is
// not ended again though its id still answers through a held handle.
TEST_F(Processes, EndingChecksTheImageThroughItsOwnHandle)
{
    ScratchDir dir;
    const std::string program = dir / "qvone.exe";
    ASSERT_TRUE(CopyWaiter(program));
    ChildProcess child;
    ASSERT_TRUE(StartAndSettle(child, program));
    EXPECT_FALSE(TerminateProcessRunning(child.Id(), AnsiToWide(dir / "other.exe")));
    EXPECT_FALSE(TerminateProcessRunning(child.Id(), L""));
    EXPECT_TRUE(child.Running());
    EXPECT_TRUE(TerminateProcessRunning(child.Id(), AnsiToWide(program)));
    EXPECT_TRUE(Ended(child));
    EXPECT_FALSE(TerminateProcessRunning(child.Id(), AnsiToWide(program)));
    EXPECT_EQ(GetProcessImagePathW(child.Id()), L"");

    ChildProcess second;
    ASSERT_TRUE(StartAndSettle(second, program));
    std::wstring image;
    EXPECT_EQ(FindProcessByPath("qvone.exe", &image), second.Id());
    EXPECT_TRUE(SameFile(WideToAnsi(image), program)) << WideToAnsi(image);
    EXPECT_TRUE(TerminateProcessRunning(second.Id(), image));
}

// The service and the tray program named by their short (8.3) forms are
// still protected: only names that differ from both skip the file system.
TEST_F(Processes, ProtectionSeesThroughShortNames)
{
    // The 8.3 form of a file, or empty when it has none.
    auto shortFormOf = [](const std::string& path) {
        char buffer[MAX_PATH + 1] = {};
        const DWORD len = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
        const std::string shortForm(buffer, len <= MAX_PATH ? len : 0);
        return shortForm.find('~') != std::string::npos ? shortForm : std::string();
    };
    int programsSeen = 0;
    for (const std::string& program : {ModuleFileName(), ModuleFolder() + "QuorvaneTray.exe"}) {
        const bool made = !FileExists(program) && WriteTextFile(program, "stand-in");
        const std::string shortForm = shortFormOf(program);
        if (!shortForm.empty()) {
            EXPECT_TRUE(IsProtectedProcess(12345, shortForm)) << shortForm;
            ++programsSeen;
        }
        if (made) RemoveFile(program);
    }
    // Another long name elsewhere, read through its short form, is no program of ours.
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "QuorvaneTrayElsewhere.exe", "stand-in"));
    const std::string other = shortFormOf(dir / "QuorvaneTrayElsewhere.exe");
    if (!other.empty()) {
        EXPECT_FALSE(IsProtectedProcess(12345, other)) << other;
    }
    if (programsSeen == 0) GTEST_SKIP() << "no short names for the programs";
}

// A pass over many files reads each file once, whatever name leads to it, and
// the trust is judged by the digest handed over, not by reading again.
TEST_F(Processes, DigestsAreReadOncePerFileAndPassedOn)
{
    ScratchDir dir;
    const std::wstring file = AnsiToWide(dir / "a.exe"), link = AnsiToWide(dir / "b.exe");
    ASSERT_TRUE(WriteTextFile(dir / "a.exe", "bytes"));
    ASSERT_TRUE(CreateHardLinkW(link.c_str(), file.c_str(), nullptr));
    TFileDigestCache files;
    const TFileDigest& first = files.Of(file);
    EXPECT_EQ(first.Md5, GetReadableFileMD5W(file));
    EXPECT_EQ(first.Size, 5);
    EXPECT_EQ(&files.Of(link), &first) << "one file under two names";
    EXPECT_EQ(files.SizeOf(AnsiToWide(dir / "absent.exe")), -1);
    EXPECT_TRUE(files.Of(AnsiToWide(dir / "absent.exe")).Md5.empty());
    EXPECT_EQ(DigestFileW(link).Md5, first.Md5);

    ASSERT_TRUE(SaveLines(GoodListPath(), {first.Md5}));
    EXPECT_TRUE(IsTrustedFile(first));
    TFileDigest claimed = first;
    claimed.Md5 = std::string(32, '0');
    EXPECT_FALSE(IsTrustedFile(claimed));
}

TEST_F(Processes, CopyFileByShell)
{
    ScratchDir dir;
    ASSERT_TRUE(WriteTextFile(dir / "source.txt", "new bytes"));
    ASSERT_TRUE(WriteTextFile(dir / "target.txt", "old"));
    EXPECT_FALSE(CopyFileByShell(dir / "absent.txt", dir / "copy.txt"));
    EXPECT_FALSE(FileExists(dir / "copy.txt"));
    EXPECT_TRUE(CopyFileByShell(dir / "source.txt", dir / "copy.txt"));
    EXPECT_EQ(ReadTextFile(dir / "copy.txt"), "new bytes");
    EXPECT_TRUE(CopyFileByShell(dir / "source.txt", dir / "target.txt"));  // replaced without a question
    EXPECT_EQ(ReadTextFile(dir / "target.txt"), "new bytes");
}

TEST_F(Processes, ConsoleUserAndStartingAProgramAsThatUser)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    EXPECT_TRUE(StartsWith(sid, "S-1-5-")) << sid;
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(SameText(GetConsoleUserName(), name)) << GetConsoleUserName() << " / " << name;

    ScratchDir dir;
    const std::string program = dir / "qvasuser.exe";
    ASSERT_TRUE(CopyWaiter(program));
    const uint32_t pid = RunFileAsConsoleUser(program, "\"" + program + "\" 60", NORMAL_PRIORITY_CLASS);
    ASSERT_NE(pid, 0u);
    EXPECT_TRUE(WaitUntil([&] { return SameFile(GetProcessImagePath(pid), program); }, 10000));
    EXPECT_TRUE(TerminateProcessById(pid));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessIdExists(pid); }, 30000));
    EXPECT_EQ(RunFileAsConsoleUser(dir / "absent.exe", "", NORMAL_PRIORITY_CLASS), 0u);
}

}  // namespace

namespace {

std::string gAnsweredOwner;
std::string AnsweredOwner(uint32_t) { return gAnsweredOwner; }

}  // namespace

// A user's own Shell value may end that user's processes, approved or not,
// and nothing that runs as the system or as another user. Under Wine every
// process runs as the one user, so the owner is answered here.
TEST_F(Processes, UserShellValueEndsOnlyThatUsersProcesses)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    ScratchDir dir;
    const std::string program = dir / "approved.exe";
    ASSERT_TRUE(CopyWaiter(program));
    ASSERT_TRUE(SaveLines(GoodListPath(), {GetFileMD5(program)}));
    TRegEngine userShell = SettingRef("User_shell");
    WriteRegBool(userShell, true);
    TRegEngine key;
    key.Root = kRootHKU;
    key.Key = sid + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    TRegEngine shell = key;
    shell.Value = "Shell";
    SetProcessOwnerLookup(AnsweredOwner);

    ChildProcess child;
    ASSERT_TRUE(StartAndSettle(child, program));
    for (const std::string& owner : {std::string("S-1-5-18"), std::string("S-1-5-21-1-2-3-1001")}) {
        gAnsweredOwner = owner;
        WriteRegString(shell, program);
        RepairUserShell(evkUserWinlogonShell, key);
        EXPECT_FALSE(RegValueExists(shell)) << "the value goes whoever runs the program";
        EXPECT_TRUE(child.Running()) << "a process of " << owner << " is not the user's to end";
    }
    gAnsweredOwner = sid;
    WriteRegString(shell, program);
    RepairUserShell(evkUserWinlogonShell, key);
    EXPECT_EQ(child.Wait(5000), 0u) << "the user's own process is ended, approved or not";
    EXPECT_TRUE(FileExists(program)) << "the per-user Shell repair does not jail";

    SetProcessOwnerLookup(nullptr);
    DeleteRegValue(userShell);
}
