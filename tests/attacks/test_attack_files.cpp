// Attacks through the files the installed service works on for a local user:
// the hosts transfer files of 13/15 and 13/17, a user Shell value that names
// a system program, and the jail copy of a hosts file.
#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uHostsProcedures.h"
#include "uHostsTransfer.h"
#include "uPIDProcessing.h"
#include "uRunFileFromSrv.h"
#include "uWinLogonProcedures.h"

using namespace harness;

namespace {

const char kOriginalHosts[] = "127.0.0.1       localhost\r\n";

void SetSwitch(const std::string& name, bool on)
{
    TMSlotMessage m = Request(38, 0, name);
    m.Bool = on;
    ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
}

void SetInt(const std::string& name, int value) { ASSERT_TRUE(SendToMailSlot(Request(47, value, name), kServiceSlot)); }

// Answered once every command sent before it has been handled.
void Settle()
{
    TMSlotMessage m = Request(13, 20);
    ASSERT_TRUE(Ask(m));
}

// Digests of every program of the system: what a signature would trust on
// Windows (Wine's programs carry none).
void TrustSystemPrograms()
{
    TStringList lines;
    for (const std::string& folder : {GetSystemFolder(), GetWindowsFolder()}) {
        TStringList names;
        ListFolderFiles(folder, names);
        for (const auto& name : names)
            if (SameText(ExtractFileExt(name), ".exe")) lines.push_back(GetFileMD5(folder + name));
    }
    ForceDirectories(GetDataFolder());
    SaveLines(GoodListPath(), lines);
}

class FileAttacks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        TrustSystemPrograms();
        // No tray program beside it: the per-user guards run without one.
        ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_attack_files", "ServiceQuorvane.exe")));
        ASSERT_TRUE(StartAndWaitRunning());
        SetSwitch("hosts_guard", false);
        Settle();
    }
    static void TearDownTestSuite()
    {
        tray_.reset();
        RemoveService();
    }
    void SetUp() override
    {
        hosts_ = GetHostsFilePath();
        SetFileAttributesA(hosts_.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(WriteFileBytes(hosts_, kOriginalHosts));
    }

    // 13/15 and the answer the tray's slot gets. One slot serves the whole
    // suite: made anew for each call, its name could still be held by a send
    // of the service's that was under way when the last one closed.
    static int32_t CopyOut(const std::string& target)
    {
        if (!tray_) tray_ = std::make_unique<SlotListener>(kTraySlot);
        SlotListener& tray = *tray_;
        EXPECT_TRUE(tray.Active());
        TMSlotMessage request = Request(13, 15, "", target);
        EXPECT_TRUE(SendToMailSlot(request, kServiceSlot));
        // Long enough for a service that a loaded machine holds up, pings and
        // all; the answer ends the wait as soon as it comes.
        std::string skipped;
        TMSlotMessage answer;
        const bool answered = tray.NextWhere(
            [&](const TMSlotMessage& m) { return m.Type == 13 && m.A == 15 && m.Data.Str() == target; }, answer, 60000,
            [&](const TMSlotMessage& m) { skipped += " " + std::to_string(m.Type) + "/" + std::to_string(m.A); });
        if (answered) return answer.B;
        ADD_FAILURE() << "13/15 always answers; came instead:" << skipped;
        return -1;
    }
    static void Install(const std::string& source, bool withBackup)
    {
        TMSlotMessage request = Request(13, 17, "", source);
        request.Bool = withBackup;
        ASSERT_TRUE(SendToMailSlot(request, kServiceSlot));
        Settle();
    }
    static std::string TempName(const std::string& stem) { return GetEnvVar("TEMP") + "\\" + stem + "qrv.~tmp"; }
    static std::string HostsNow()
    {
        std::string bytes;
        ReadFileBytes(GetHostsFilePath(), bytes);
        return bytes;
    }

    std::string hosts_;
    static std::unique_ptr<SlotListener> tray_;
};

std::unique_ptr<SlotListener> FileAttacks::tray_;

TEST_F(FileAttacks, CopyOutOnlyMakesNewFilesInTheTemporaryFolder)
{
    // A new file in the system folder, named as a transfer file.
    const std::string planted = GetSystemFolder() + "plantedqrv.~tmp";
    RemoveFile(planted);
    EXPECT_EQ(CopyOut(planted), 1);
    EXPECT_FALSE(FileExists(planted));

    // A hard link in the temporary folder to a file the user cannot write.
    ScratchDir dir;
    const std::string victim = dir / "victim.ini";
    ASSERT_TRUE(WriteFileBytes(victim, "[untouched]\r\n"));
    const std::string link = TempName("hardlink");
    RemoveFile(link);
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), victim.c_str(), nullptr));
    EXPECT_EQ(CopyOut(link), 1);
    std::string bytes;
    ASSERT_TRUE(ReadFileBytes(victim, bytes));
    EXPECT_EQ(bytes, "[untouched]\r\n") << "nothing is written through the link";
    RemoveFile(link);

    // The tray's own way still works: a new name in the temporary folder.
    const std::string fresh = MakeTempFileName();
    EXPECT_EQ(CopyOut(fresh), 777);
    ASSERT_TRUE(ReadFileBytes(fresh, bytes));
    EXPECT_EQ(bytes, kOriginalHosts);
    RemoveFile(fresh);

    // The allow-list cannot be written (a folder holds its name): the copy is
    // still made and answered.
    RemoveFile(HostListPath());
    ASSERT_TRUE(CreateDirectoryA(HostListPath().c_str(), nullptr));
    const std::string second = MakeTempFileName();
    EXPECT_EQ(CopyOut(second), 777);
    EXPECT_TRUE(ReadFileBytes(second, bytes) && bytes == kOriginalHosts);
    RemoveFile(second);
    RemoveDirectoryA(HostListPath().c_str());
}

TEST_F(FileAttacks, CopyOutRefusesATemporaryFolderOutsideTheProfile)
{
    // The user points their TEMP at the system folder: their value, not the service's place to write.
    UniqueRegKey environment;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Environment", 0, KEY_READ | KEY_WRITE, environment.Put()), ERROR_SUCCESS);
    DWORD type = REG_NONE;
    char saved[1024] = {};
    DWORD size = sizeof(saved);
    const bool had = RegQueryValueExA(environment.Get(), "TEMP", nullptr, &type, reinterpret_cast<BYTE*>(saved), &size) ==
                     ERROR_SUCCESS;
    struct Restore {
        HKEY key;
        bool had;
        DWORD type, size;
        const char* saved;
        ~Restore()
        {
            if (had) RegSetValueExA(key, "TEMP", 0, type, reinterpret_cast<const BYTE*>(saved), size);
            else RegDeleteValueA(key, "TEMP");
        }
    } restore{environment.Get(), had, type, size, saved};
    const std::string system = ExcludeTrailingBackslash(GetSystemFolder());
    ASSERT_EQ(RegSetValueExA(environment.Get(), "TEMP", 0, REG_SZ, reinterpret_cast<const BYTE*>(system.c_str()),
                             static_cast<DWORD>(system.size() + 1)),
              ERROR_SUCCESS);
    const std::string planted = system + "\\plantedqrv.~tmp";
    RemoveFile(planted);
    EXPECT_EQ(CopyOut(planted), 1);
    EXPECT_FALSE(FileExists(planted));
    RemoveFile(planted);

    // The service's own TEMP is no transfer folder when it is the data folder.
    const std::string ownTemp = GetEnvVar("TEMP");
    SetEnvironmentVariableA("TEMP", ExcludeTrailingBackslash(GetDataFolder()).c_str());
    EXPECT_FALSE(IsHostsTransferPath(GetDataFolder() + "backHostsqrv.~tmp"));
    SetEnvironmentVariableA("TEMP", ownTemp.c_str());
}

TEST_F(FileAttacks, InstallReadsOnlyPlainSmallFilesOfItsOwn)
{
    // A hard link to a file the user may read only through the service.
    ScratchDir dir;
    const std::string secret = dir / "secret.txt";
    ASSERT_TRUE(WriteFileBytes(secret, "0.0.0.0 secret-from-elsewhere\r\n"));
    const std::string link = TempName("installlink");
    RemoveFile(link);
    ASSERT_TRUE(CreateHardLinkA(link.c_str(), secret.c_str(), nullptr));
    Install(link, true);
    EXPECT_EQ(HostsNow(), kOriginalHosts);
    std::string backup;
    ReadFileBytes(BackupHostsPath(), backup);
    EXPECT_EQ(backup.find("secret-from-elsewhere"), std::string::npos);
    RemoveFile(link);

    // 2 GB, sparse: refused before anything is copied.
    const std::string huge = TempName("sparse");
    {
        UniqueHandle file(CreateFileA(huge.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        DWORD returned = 0;
        DeviceIoControl(file.Get(), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
        LARGE_INTEGER size;
        size.QuadPart = 2LL * 1024 * 1024 * 1024;
        ASSERT_TRUE(SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    Install(huge, true);
    EXPECT_EQ(HostsNow(), kOriginalHosts);
    EXPECT_LT(FileSizeOf(BackupHostsPath()), 1024 * 1024);
    RemoveFile(huge);

    // A plain file of the tray's making is installed.
    const std::string plain = MakeTempFileName();
    ASSERT_TRUE(WriteFileBytes(plain, "127.0.0.1 localhost\r\n10.1.1.1 intranet\r\n"));
    Install(plain, false);
    EXPECT_EQ(HostsNow(), "127.0.0.1 localhost\r\n10.1.1.1 intranet\r\n");
    RemoveFile(plain);
}

TEST_F(FileAttacks, UserShellNamingASystemProgramEndsNothing)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    // The system's svchost.exe, held suspended: it neither does nor ends
    // anything of its own while the service looks at it.
    const std::string svchost = GetSystemFolder() + "svchost.exe";
    ASSERT_TRUE(FileExists(svchost));
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::string command = "\"" + svchost + "\" -k qvattack";
    ASSERT_TRUE(CreateProcessA(svchost.c_str(), &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                               &startup, &info));
    UniqueHandle process(info.hProcess), thread(info.hThread);
    struct EndAtExit {
        HANDLE process;
        ~EndAtExit() { TerminateProcess(process, 0); }
    } endAtExit{process.Get()};
    ASSERT_TRUE(WaitUntil([&] { return !GetProcessImagePath(info.dwProcessId).empty(); }, 30000));
    auto running = [&] { return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT; };

    // Under Wine every process runs as the one user, the system's programs
    // too, so the service would rightly take this svchost for the user's. The
    // repair runs here instead, with the owner answered as Windows answers it
    // for the system's svchost.
    ASSERT_TRUE(StopAndWaitStopped());
    ClearEventQueue();
    SetProcessOwnerLookup([](uint32_t) { return std::string("S-1-5-18"); });
    TRegEngine userShell = SettingRef("User_shell");
    WriteRegBool(userShell, true);
    TRegEngine key;
    key.Root = kRootHKU;
    key.Key = sid + "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
    TRegEngine shell = key;
    shell.Value = "Shell";
    WriteRegString(shell, "svchost.exe");
    RepairUserShell(evkUserWinlogonShell, key);
    // The value is repaired either way, and the repair recorded.
    EXPECT_FALSE(RegValueExists(shell));
    bool recorded = false;
    for (const TReportQueueEntry& entry : QueueSnapshot())
        recorded |= entry.Event.Source == evkUserWinlogonShell && entry.Event.Event == evmSet;
    EXPECT_TRUE(recorded);
    EXPECT_TRUE(running()) << "a program of the system is not ended for a user's value";
    SetProcessOwnerLookup(nullptr);
    DeleteRegValue(userShell);
    ASSERT_TRUE(StartAndWaitRunning());
}

TEST_F(FileAttacks, JailedHostsCopyIsByteForByte)
{
    // Line ends of every kind and no end at the last line.
    const std::string locker = "127.0.0.1 localhost\n10.6.6.6 bank.example\r\r\n\tlast line without end";
    ForceDirectories(GetDataFolder() + "jail");
    TStringList before;
    ListFolderFiles(GetDataFolder() + "jail", before);
    SetInt("hosts_change", 1);
    SetSwitch("hosts_default", false);
    SetSwitch("hosts_guard", true);
    Settle();
    ASSERT_TRUE(WaitUntil([] { return FileExists(BackupHostsPath()); }, 15000));
    ASSERT_TRUE(WriteFileBytes(hosts_, locker));

    // The guard may also jail what an earlier case left: the copy looked for
    // is the one of the locker's file, and it must hold exactly its bytes.
    TStringList jailed;
    EXPECT_TRUE(WaitUntil(
        [&] {
            TStringList names;
            ListFolderFiles(GetDataFolder() + "jail", names);
            jailed.clear();
            for (const auto& name : names) {
                std::string bytes;
                if (!EndsWith(name, "hosts") || std::find(before.begin(), before.end(), name) != before.end() ||
                    !ReadFileBytes(GetDataFolder() + "jail\\" + name, bytes))
                    continue;
                if (bytes == locker) return true;
                jailed.push_back(bytes);
            }
            return false;
        },
        30000))
        << "new jail copies: " << jailed.size() << (jailed.empty() ? "" : ", the last: " + jailed.back());
    SetSwitch("hosts_guard", false);
    Settle();
}

}  // namespace
