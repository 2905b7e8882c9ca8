#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uRunFileFromSrv.h"
#include "uUserProtectionThreads.h"
#include "uUserSIDThreads.h"

namespace {

// The per-user guards in this process, for the user at the console (Wine's
// user), with their switches on and every program of the prefix approved.
class UserProtection : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(GetConsoleUserSidAndName(sid_, name_)) << "Wine's console user has a SID";
        ForceDirectories(GetDataFolder());
        TStringList good;
        for (const std::string& folder : {GetSystemFolder(), GetWindowsFolder(), ModuleFolder()}) {
            TStringList names;
            ListFolderFiles(folder, names);
            for (const auto& n : names)
                if (SameText(ExtractFileExt(n), ".exe")) good.push_back(GetFileMD5(folder + n));
        }
        const std::string waiter = GetFileMD5(HelperPath("qv_waiter.exe"));
        good.erase(std::remove(good.begin(), good.end(), waiter), good.end());
        SaveLines(GoodListPath(), good);
        for (const char* name : {"User_shell", "User_PoliceShell", "arn_user_reg", "arn_user_run", "arn_user_runonce",
                                 "arn_user_polices", "arn_user_ntrun", "arn_user_ntload", "arn_user_folder"}) {
            TRegEngine rec = SettingRef(name);
            WriteRegBool(rec, true);
        }
        guards_ = new TUserProtectionThreads();
        ASSERT_TRUE(WaitUntil([] { return guards_->SetUpDone(); }, 20000));
    }
    static void TearDownTestSuite()
    {
        guards_->Terminate();
        guards_->WaitFor(20000);
        delete guards_;
    }
    void SetUp() override { RemoveFile(ReportFilePath()); }

    static TRegEngine UserValue(const std::string& path, const std::string& value)
    {
        TRegEngine rec;
        rec.Root = kRootHKU;
        rec.Key = sid_ + "\\" + path;
        rec.Value = value;
        return rec;
    }
    static std::string Locker(const std::string& name)
    {
        std::string folder = GetEnvVar("TEMP") + "\\userlockers_" + std::to_string(GetTickCount());
        ForceDirectories(folder);
        CopyFileA(HelperPath("qv_waiter.exe").c_str(), (folder + "\\" + name).c_str(), FALSE);
        return folder + "\\" + name;
    }

    static std::string sid_, name_;
    static TUserProtectionThreads* guards_;
};
std::string UserProtection::sid_, UserProtection::name_;
TUserProtectionThreads* UserProtection::guards_ = nullptr;

bool Recorded(int32_t kind, int32_t message)
{
    return WaitUntil(
        [&] {
            std::string bytes = ReadTextFile(ReportFilePath());
            for (size_t at = 0; at + sizeof(TReportEvent) <= bytes.size(); at += sizeof(TReportEvent)) {
                TReportEvent e;
                std::memcpy(&e, bytes.data() + at, sizeof(e));
                if (e.Source == kind && e.Event == message) return true;
            }
            return false;
        },
        15000);
}

bool Gone(TRegEngine rec)
{
    return WaitUntil([&] { return !RegValueExists(rec); }, 15000);
}

TEST_F(UserProtection, SixWatchersAndTheStartupFolder)
{
    EXPECT_EQ(guards_->Sid(), sid_);
    EXPECT_EQ(guards_->UserName(), name_);
    EXPECT_EQ(guards_->RegistryWatcherCount(), 6);
    EXPECT_TRUE(guards_->HasStartupWatcher());
}

TEST_F(UserProtection, RunKeys)
{
    const struct {
        const char* key;
        int32_t kind;
    } cases[] = {{"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", evkUserRun},
                 {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", evkUserRunOnce},
                 {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", evkUserPoliciesRun}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        TRegEngine value = UserValue(c.key, "Updater");
        const std::string program = Locker("userrun.exe");
        WriteRegString(value, program);
        EXPECT_TRUE(Gone(value));
        EXPECT_TRUE(Recorded(c.kind, evmAddFile));
        TRegEngine disabled = UserValue(std::string(c.key) + "\\AutorunsDisabled", "Updater");
        EXPECT_EQ(ReadRegString(disabled), program);
    }
}

TEST_F(UserProtection, ShellOverridesAndPolicyBlocks)
{
    TRegEngine shell = UserValue("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", "Shell");
    WriteRegString(shell, Locker("usershell.exe"));
    EXPECT_TRUE(Gone(shell));
    EXPECT_TRUE(Recorded(evkUserWinlogonShell, evmSet));

    const std::string policies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
    TRegEngine policyShell = UserValue(policies, "Shell");
    WriteRegString(policyShell, Locker("policyshell.exe"));
    EXPECT_TRUE(Gone(policyShell));
    EXPECT_TRUE(Recorded(evkUserPoliciesShell, evmSet));

    TRegEngine taskmgr = UserValue(policies, "DisableTaskMgr");
    WriteRegInteger(taskmgr, 1);
    EXPECT_TRUE(Gone(taskmgr));
    EXPECT_TRUE(Recorded(evkUserBlockTaskmgr, evmBlockTaskmgr));
    TRegEngine regedit = UserValue(policies, "DisableRegistryTools");
    WriteRegInteger(regedit, 2);
    EXPECT_TRUE(Gone(regedit));
    EXPECT_TRUE(Recorded(evkUserBlockRegedit, evmBlockRegedit));
}

TEST_F(UserProtection, LoadAndRunValues)
{
    const std::string key = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    TRegEngine load = UserValue(key, "load");
    WriteRegString(load, Locker("load.exe"));
    EXPECT_TRUE(Recorded(evkUserLoadValue, evmAddFile));
    EXPECT_TRUE(WaitUntil([&] { return ReadRegString(load).empty(); }, 15000));
    TRegEngine run = UserValue(key, "run");
    WriteRegString(run, Locker("run.exe"));
    EXPECT_TRUE(Recorded(evkUserRunValue, evmAddFile));
    EXPECT_TRUE(WaitUntil([&] { return ReadRegString(run).empty(); }, 15000));
}

TEST_F(UserProtection, StartupFolderOfTheUser)
{
    std::string why;
    const std::string folder = SafeUserStartupFolder(sid_, why);
    ASSERT_FALSE(folder.empty()) << why;
    const std::string dropped = folder + "\\userdrop.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_waiter.exe").c_str(), dropped.c_str(), FALSE));
    EXPECT_TRUE(WaitUntil([&] { return !FileExists(dropped); }, 15000));
    EXPECT_TRUE(FileExists(folder + "\\AutorunsDisabled\\userdrop.exe"));
    EXPECT_TRUE(Recorded(evkUserStartup, evmDangerExt));
}

TEST(UserStartupFolder, OnlyInsideTheProfile)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    TRegEngine rec;
    rec.Root = kRootHKU;
    rec.Key = sid + "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
    rec.Value = "Startup";
    const std::string saved = ReadRegString(rec);
    std::string why;
    WriteRegString(rec, "C:\\windows\\system32");
    EXPECT_EQ(SafeUserStartupFolder(sid, why), "");
    EXPECT_NE(why.find("outside"), std::string::npos) << why;
    WriteRegString(rec, ExtractFileDir(saved) + "\\..\\..\\..\\..\\..\\..\\windows");
    EXPECT_EQ(SafeUserStartupFolder(sid, why), "");
    WriteRegString(rec, saved);
    EXPECT_EQ(SafeUserStartupFolder(sid, why), ExcludeTrailingBackslash(saved));
}

}  // namespace
