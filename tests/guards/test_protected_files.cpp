// The protected system files, with stand-ins put into the prefix's system
// folder: qv_signed.exe (signed at build time), a second signed file that
// differs from it only in the PE checksum (outside the signed hash), and the
// unsigned qv_waiter.exe. Wine reports version 6.1, where the machine-wide
// thread never calls these procedures; here they are called directly.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "uChangeFilesProcedures.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uServiceUtils.h"

namespace {

std::string SystemFile(const char* name) { return GetSystemFolder() + name; }

void DeleteSetting(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    DeleteRegValue(rec);
}

void SetSwitch(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, true);
}

void SetDigest(const std::string& name, const std::string& digest)
{
    TRegEngine rec = SettingRef(name);
    WriteRegString(rec, digest);
}

std::string Setting(const std::string& name) { return ReadSettingString(name); }

bool SettingPresent(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return RegValueExists(rec);
}

bool Put(const std::string& source, const std::string& target)
{
    SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

// Ends every process of that file name; the number ended.
int EndProcessesNamed(const char* name)
{
    int ended = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (!SameText(entry.szExeFile, name)) continue;
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process && TerminateProcess(process, 1)) {
            WaitForSingleObject(process, 3000);
            ++ended;
        }
        if (process) CloseHandle(process);
    }
    CloseHandle(snapshot);
    return ended;
}

std::vector<std::pair<int32_t, int32_t>> Events()
{
    std::vector<std::pair<int32_t, int32_t>> events;
    for (const TReportQueueEntry& entry : QueueSnapshot()) events.emplace_back(entry.Event.Source, entry.Event.Event);
    return events;
}

using EventList = std::vector<std::pair<int32_t, int32_t>>;

class ProtectedFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ChildProcess addRoot;
        ASSERT_TRUE(addRoot.Start(HelperPath("qv_addroot.exe"), "\"" + HelperPath("qv_testroot.cer") + "\""));
        ASSERT_EQ(addRoot.Wait(30000), 0u);
        signed_ = HelperPath("qv_signed.exe");
        unsigned_ = HelperPath("qv_waiter.exe");
        variant_ = GetEnvVar("TEMP") + "\\qv_signed_variant.exe";
        std::string image = ReadTextFile(signed_);
        ASSERT_GT(image.size(), 0x200u);
        const uint32_t pe = *reinterpret_cast<const uint32_t*>(image.data() + 0x3C);
        image[pe + 4 + 20 + 64] ^= 0x5A;  // the optional header's CheckSum
        ASSERT_TRUE(WriteTextFile(variant_, image));
        ASSERT_TRUE(IsFileSigned(signed_)) << "the build-time signature is not accepted here";
        ASSERT_TRUE(IsFileSigned(variant_));
        ASSERT_FALSE(IsFileSigned(unsigned_));
        ASSERT_NE(GetFileMD5(variant_), GetFileMD5(signed_));
        originalTaskmgr_ = ReadTextFile(SystemFile("taskmgr.exe"));
    }
    static void TearDownTestSuite()
    {
        SetFileAttributesA(SystemFile("taskmgr.exe").c_str(), FILE_ATTRIBUTE_NORMAL);
        if (!originalTaskmgr_.empty()) WriteTextFile(SystemFile("taskmgr.exe"), originalTaskmgr_);
        RemoveFile(SystemFile("userinit.exe"));
        RemoveFile(variant_);
    }

    void SetUp() override
    {
        ForceDirectories(GetDataFolder());
        for (const char* name : {"file_userinit", "file_taskman", "1h", "2h"}) DeleteSetting(name);
        RemoveFile(ReferenceFolder() + "userinit.exe");
        RemoveFile(ReferenceFolder() + "taskmgr.exe");
        RemoveDirectoryA(ReferenceFolder().c_str());
        ClearEventQueue();
    }
    void TearDown() override
    {
        EndProcessesNamed("userinit.exe");
        EndProcessesNamed("taskmgr.exe");
    }

    static inline std::string signed_, unsigned_, variant_, originalTaskmgr_;
};

TEST(ProtectedFilesGate, OnlyBeforeVersionSix)
{
    EXPECT_TRUE(ProtectedFilesGuardApplies(5));
    EXPECT_TRUE(ProtectedFilesGuardApplies(4));
    EXPECT_FALSE(ProtectedFilesGuardApplies(6));
    EXPECT_FALSE(ProtectedFilesGuardApplies(10));
    EXPECT_EQ(GetOSMajorVersion(), 6);
    EXPECT_FALSE(ProtectedFilesGuardApplies(GetOSMajorVersion())) << "not on this prefix";
}

TEST_F(ProtectedFiles, UserinitReferenceOnlyFromASignedSystemFile)
{
    ASSERT_TRUE(Put(signed_, SystemFile("userinit.exe")));
    CheckUserinit();
    EXPECT_FALSE(DirectoryExists(ReferenceFolder())) << "the switch is off";

    SetSwitch("file_userinit");
    ASSERT_TRUE(Put(unsigned_, SystemFile("userinit.exe")));
    CheckUserinit();
    EXPECT_FALSE(FileExists(ReferenceFolder() + "userinit.exe"));
    EXPECT_FALSE(SettingPresent("1h"));
    EXPECT_TRUE(Events().empty()) << "nothing logged for an unsigned system file";

    ASSERT_TRUE(Put(signed_, SystemFile("userinit.exe")));
    CheckUserinit();
    EXPECT_EQ(ReferenceFolder(), GetDataFolder() + "dllca\xF1he\\") << "with the Cyrillic letter";
    EXPECT_TRUE(DirectoryExists(ReferenceFolder()));
    EXPECT_EQ(GetFileMD5(ReferenceFolder() + "userinit.exe"), GetFileMD5(signed_));
    EXPECT_EQ(Setting("1h"), GetFileMD5(signed_));
    EXPECT_TRUE(Events().empty());
}

TEST_F(ProtectedFiles, TaskmgrReferenceOnlyFromASignedSystemFile)
{
    SetSwitch("file_taskman");
    ASSERT_TRUE(Put(unsigned_, SystemFile("taskmgr.exe")));
    CheckTaskmgr();
    EXPECT_FALSE(FileExists(ReferenceFolder() + "taskmgr.exe"));
    EXPECT_FALSE(SettingPresent("2h"));

    ASSERT_TRUE(Put(signed_, SystemFile("taskmgr.exe")));
    CheckTaskmgr();
    EXPECT_EQ(GetFileMD5(ReferenceFolder() + "taskmgr.exe"), GetFileMD5(signed_));
    EXPECT_EQ(Setting("2h"), GetFileMD5(signed_));
    EXPECT_TRUE(Events().empty());
}

TEST_F(ProtectedFiles, UnsignedUserinitIsRestoredAndTheShellRestarted)
{
    SetSwitch("file_userinit");
    ASSERT_TRUE(Put(signed_, SystemFile("userinit.exe")));
    CheckUserinit();
    ASSERT_EQ(Setting("1h"), GetFileMD5(signed_));

    ASSERT_TRUE(Put(unsigned_, SystemFile("userinit.exe")));
    CheckUserinit();
    EXPECT_EQ(GetFileMD5(SystemFile("userinit.exe")), GetFileMD5(signed_));
    EXPECT_EQ(Events(), (EventList{{evkChangeUserinit, evmChangeFile}}));
    // The restart starts the system's userinit (now the signed stand-in, which waits).
    EXPECT_TRUE(WaitUntil([] { return EndProcessesNamed("userinit.exe") > 0; }, 30000)) << "userinit was not started";
}

TEST_F(ProtectedFiles, SignedReplacementBecomesTheNewReference)
{
    SetSwitch("file_userinit");
    SetSwitch("file_taskman");
    ASSERT_TRUE(Put(signed_, SystemFile("userinit.exe")));
    ASSERT_TRUE(Put(signed_, SystemFile("taskmgr.exe")));
    CheckProtectedFiles();
    ASSERT_EQ(Setting("2h"), GetFileMD5(signed_));

    ASSERT_TRUE(Put(variant_, SystemFile("userinit.exe")));
    ASSERT_TRUE(Put(variant_, SystemFile("taskmgr.exe")));
    CheckProtectedFilesDelayed();
    EXPECT_EQ(GetFileMD5(ReferenceFolder() + "userinit.exe"), GetFileMD5(variant_));
    EXPECT_EQ(GetFileMD5(ReferenceFolder() + "taskmgr.exe"), GetFileMD5(variant_));
    EXPECT_EQ(Setting("1h"), GetFileMD5(variant_));
    EXPECT_EQ(Setting("2h"), GetFileMD5(variant_));
    EXPECT_EQ(GetFileMD5(SystemFile("userinit.exe")), GetFileMD5(variant_));
    EXPECT_TRUE(Events().empty());
}

TEST_F(ProtectedFiles, StoredDigestsCompareIgnoringCase)
{
    SetSwitch("file_userinit");
    SetSwitch("file_taskman");
    ASSERT_TRUE(Put(unsigned_, SystemFile("userinit.exe")));
    ASSERT_TRUE(Put(unsigned_, SystemFile("taskmgr.exe")));
    SetDigest("1h", LowerCase(GetFileMD5(unsigned_)));
    SetDigest("2h", LowerCase(GetFileMD5(unsigned_)));
    EXPECT_TRUE(UserinitDigestMatches());
    EXPECT_TRUE(TaskmgrDigestMatches());
    CheckProtectedFiles();
    EXPECT_EQ(GetFileMD5(SystemFile("userinit.exe")), GetFileMD5(unsigned_));
    EXPECT_TRUE(Events().empty());

    RemoveFile(SystemFile("userinit.exe"));
    SetDigest("1h", "");
    EXPECT_FALSE(UserinitDigestMatches()) << "a deleted file never matches, not even an empty digest";
}

TEST_F(ProtectedFiles, RunningTaskmgrIsEndedThenRestored)
{
    SetSwitch("file_taskman");
    ASSERT_TRUE(Put(signed_, SystemFile("taskmgr.exe")));
    CheckTaskmgr();
    ASSERT_TRUE(FileExists(ReferenceFolder() + "taskmgr.exe"));

    ASSERT_TRUE(Put(unsigned_, SystemFile("taskmgr.exe")));
    ChildProcess taskmgr;
    ASSERT_TRUE(taskmgr.Start(SystemFile("taskmgr.exe"), "600"));
    CheckTaskmgr();
    EXPECT_NE(taskmgr.Wait(2000), static_cast<DWORD>(STILL_ACTIVE)) << "Task Manager was not ended";
    EXPECT_EQ(GetFileMD5(SystemFile("taskmgr.exe")), GetFileMD5(signed_));
    EXPECT_EQ(Events(), (EventList{{evkChangeTaskmgr, evmChangeFile}}));
}

// Without a usable reference nothing is restored: the copy failure is
// reported, not a restore, and the replaced userinit is not started.
TEST_F(ProtectedFiles, MissingOrUnsignedReferenceIsReportedAsNotCopied)
{
    SetSwitch("file_userinit");
    SetSwitch("file_taskman");
    SetDigest("1h", GetFileMD5(signed_));
    SetDigest("2h", GetFileMD5(signed_));
    ASSERT_TRUE(Put(unsigned_, SystemFile("userinit.exe")));
    ASSERT_TRUE(Put(unsigned_, SystemFile("taskmgr.exe")));
    CheckProtectedFiles();
    EXPECT_EQ(Events(), (EventList{{evkTaskmgrCopyFailed, evmNotCopied}, {evkUserinitCopyFailed, evmNotCopied}}))
        << "newest first";
    EXPECT_EQ(GetFileMD5(SystemFile("userinit.exe")), GetFileMD5(unsigned_));

    ClearEventQueue();
    ForceDirectories(ReferenceFolder());
    ASSERT_TRUE(Put(unsigned_, ReferenceFolder() + "userinit.exe"));
    CheckUserinit();
    EXPECT_EQ(Events(), (EventList{{evkUserinitCopyFailed, evmNotCopied}})) << "an unsigned reference is not used";
    Sleep(1500);
    EXPECT_EQ(EndProcessesNamed("userinit.exe"), 0) << "no shell restart";
}

}  // namespace
