// Attacks through links a local user may make in their own folders and keys:
// the quarantine of the Startup folder, the jail, and the "AutorunsDisabled"
// subkey of a Run key must never be led elsewhere by them, and a repair that
// a link keeps from being made is never recorded as made. The guards run in
// this process, on folders and keys made for each case.
#include <gtest/gtest.h>

#include <windows.h>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uAutorunProcedures.h"
#include "uJail.h"
#include "uDispatcherThread.h"
#include "uLogThread.h"
#include "uRegEventThread.h"
#include "uRunFileFromSrv.h"
#include "uUserEventsProcedures.h"

namespace {

void Switch(const std::string& name, bool on)
{
    TRegEngine rec = SettingRef(name);
    WriteRegBool(rec, on);
}

class LinkAttacks : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ForceDirectories(GetDataFolder()); }  // the events go to its report
    static void TearDownTestSuite() { ClearEventQueue(); }
};

TEST_F(LinkAttacks, StartupQuarantineAndJailNeverFollowALink)
{
    Switch("arn_user_folder", true);
    // The quarantine folder made a link to a folder the user may not write.
    ScratchDir startup, victim;
    ASSERT_TRUE(MakeLink(startup / "AutorunsDisabled", victim.Path()));
    for (const char* name : {"locker.exe", "hook.dll"}) ASSERT_TRUE(WriteTextFile(startup / name, "MZ"));
    CheckStartupFolder(evkUserStartup, startup.Path());
    for (const char* name : {"locker.exe", "hook.dll"}) {
        EXPECT_FALSE(FileExists(victim / name));
        EXPECT_TRUE(FileExists(startup / name)) << "left where it was";
    }

    // A Startup folder reached through a link, and a file jailed through one.
    ScratchDir outer, real;
    ASSERT_TRUE(WriteTextFile(real / "note.txt", "x"));
    ASSERT_TRUE(WriteTextFile(real / "jailed.exe", "MZ"));
    ASSERT_TRUE(MakeLink(outer / "Startup", real.Path()));
    CheckStartupFolder(evkUserStartup, outer / "Startup");
    JailFile(outer / "Startup\\jailed.exe");
    EXPECT_TRUE(FileExists(real / "note.txt"));
    EXPECT_FALSE(DirectoryExists(real / "AutorunsDisabled"));
    EXPECT_TRUE(FileExists(real / "jailed.exe"));
    Switch("arn_user_folder", false);
}

TEST_F(LinkAttacks, RunKeyQuarantineNeverFollowsARegistryLink)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    // Stands for the service's own key, whose ImagePath the user would set.
    TRegEngine victim;
    victim.Key = "SOFTWARE\\QvLinkVictim";
    victim.Value = "ImagePath";
    WriteRegString(victim, "C:\\original.exe");
    auto makeLink = [](const std::string& key) {
        ASSERT_TRUE(MakeRegistryLink(HKEY_USERS, key, "SOFTWARE\\QvLinkVictim"));
    };
    ScratchDir dir;
    const std::string program = dir / "locker.exe";
    ASSERT_TRUE(WriteTextFile(program, "MZ"));
    Switch("arn_user_reg", true);
    Switch("arn_user_run", true);

    // The subkey of disabled entries made a link: the value would land in the victim.
    TRegEngine run;
    run.Root = kRootHKU;
    const std::string base = sid + "\\Software\\QvLinkAttack" + std::to_string(GetCurrentProcessId());
    run.Key = base + "\\Run";
    run.Value = "ImagePath";
    WriteRegString(run, program);
    makeLink(run.Key + "\\AutorunsDisabled");
    CheckRunKey(evkUserRun, run, RegView::Default);
    EXPECT_EQ(ReadRegString(victim), "C:\\original.exe");
    EXPECT_EQ(ReadRegString(run), program) << "the value stays where it was";

    // The guarded key itself a link: nothing is moved out of the victim.
    TRegEngine planted = victim;
    planted.Value = "Locker";
    WriteRegString(planted, program);
    TRegEngine linkedRun;
    linkedRun.Root = kRootHKU;
    linkedRun.Key = base + "\\RunOnce";
    makeLink(linkedRun.Key);
    CheckRunKey(evkUserRun, linkedRun, RegView::Default);
    EXPECT_EQ(ReadRegString(planted), program);
    TRegEngine victimDisabled = victim;
    victimDisabled.Key += "\\AutorunsDisabled";
    EXPECT_FALSE(RegKeyExists(victimDisabled));

    Switch("arn_user_reg", false);
    Switch("arn_user_run", false);
}

TEST_F(LinkAttacks, UserPoliciesReachedThroughALinkStayAndAreNotRecordedAsRemoved)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    // The user's Policies\System a link to a machine key that holds the blocks.
    const std::string victimKey = "SOFTWARE\\QvPolicyVictim";
    TRegEngine victim;
    victim.Key = victimKey;
    for (const char* block : {"DisableTaskMgr", "DisableRegistryTools"}) {
        victim.Value = block;
        WriteRegInteger(victim, 1);
    }
    victim.Value = "Shell";
    WriteRegString(victim, "C:\\nowhere\\locker.exe");
    TRegEngine policies;
    policies.Root = kRootHKU;
    policies.Key = sid + "\\Software\\QvPolicyLink" + std::to_string(GetCurrentProcessId()) +
                   "\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies";
    policies.Value = "made";
    WriteRegString(policies, "");
    policies.Key += "\\System";
    ASSERT_TRUE(MakeRegistryLink(HKEY_USERS, policies.Key, victimKey));
    policies.Value = "DisableTaskMgr";
    ASSERT_EQ(ReadRegInteger(policies), 1) << "the guard reads through the link";

    ScratchDir logs;
    gServiceLog = std::make_unique<TLogThread>(logs / "service.log");
    Switch("User_PoliceShell", true);
    ClearEventQueue();
    OnUserPoliciesSystemChanged(policies);
    Switch("User_PoliceShell", false);
    gServiceLog.reset();

    // The link itself is removed; nothing is repaired through it.
    const std::string log = ReadTextFile(logs / "service.log");
    EXPECT_FALSE(IsRegistryLinkAt(policies));
    EXPECT_NE(log.find(policies.Key), std::string::npos) << "the link is not named in the log:\n" << log;
    for (const char* value : {"DisableTaskMgr", "DisableRegistryTools", "Shell"}) {
        victim.Value = value;
        EXPECT_TRUE(RegValueExists(victim)) << value << " stays in the link's target";
    }
    const auto records = QueueSnapshot();
    ASSERT_EQ(records.size(), 1u) << "only the link's removal is recorded";
    EXPECT_EQ(records[0].Event.Event, evmDelete);
    EXPECT_EQ(records[0].Event.Path.Str(), policies.Key);

    TRegEngine victimRoot;
    victimRoot.Key = victimKey;
    DeleteRegKey(victimRoot);
}

TEST_F(LinkAttacks, UserRunKeyMadeALinkIsRemovedAsALinkAndTheKeyGuardedAnew)
{
    std::string sid, name;
    ASSERT_TRUE(GetConsoleUserSidAndName(sid, name));
    ScratchDir dir;
    const std::string program = dir / "locker.exe";
    ASSERT_TRUE(WriteTextFile(program, "MZ"));
    TRegEngine target;
    target.Key = "SOFTWARE\\QvLinkedRunTarget";
    target.Value = "Locker";
    WriteRegString(target, program);
    TRegEngine run;
    run.Root = kRootHKU;
    run.Key = sid + "\\Software\\QvLinkedRun" + std::to_string(GetCurrentProcessId()) + "\\Run";
    TRegEngine parent = run;
    parent.Key = run.Key.substr(0, run.Key.rfind('\\'));
    parent.Value = "made";
    WriteRegString(parent, "");
    ASSERT_TRUE(MakeRegistryLink(HKEY_USERS, run.Key, target.Key));
    ASSERT_TRUE(IsRegistryLinkAt(run));
    Switch("arn_user_reg", true);
    Switch("arn_user_run", true);
    ClearEventQueue();

    auto watcher = std::make_unique<TRegEventThread>(run, RegView::Default, &OnUserRunChanged);
    EXPECT_TRUE(WaitUntil([&] { return !IsRegistryLinkAt(run); }, 10000)) << "the link stays";
    EXPECT_EQ(ReadRegString(target), program) << "the link's target and its value stay as they were";
    TRegEngine targetDisabled = target;
    targetDisabled.Key += "\\AutorunsDisabled";
    EXPECT_FALSE(RegKeyExists(targetDisabled));
    bool recorded = false;
    for (const auto& entry : QueueSnapshot())
        recorded |= entry.Event.Source == evkUserRun && entry.Event.Event == evmDelete && entry.Event.Path.Str() == run.Key;
    EXPECT_TRUE(recorded) << "the removal is recorded";

    // The name made a plain key again is guarded as before.
    TRegEngine value = run;
    value.Value = "Locker";
    WriteRegString(value, program);
    EXPECT_TRUE(WaitUntil([&] { return !RegValueExists(value); }, 15000)) << "the plain key went unwatched";
    StopAndFree(watcher);

    Switch("arn_user_reg", false);
    Switch("arn_user_run", false);
    DeleteRegKey(parent);
    target.Value.clear();
    DeleteRegKey(target);
}

}  // namespace
