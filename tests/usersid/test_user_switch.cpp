// The console-user follower with its console-user, SID and tray-start seams:
// the tray never starts, so each poll tries again for the user it finds, and
// the per-user guards must follow the user at the console.
#include <gtest/gtest.h>

#include <windows.h>

#include <mutex>

#include "CaughtLines.h"
#include "RegistryUtils.h"
#include "TestSupport.h"
#include "md5.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uMailSlots.h"
#include "uUserSIDThreads.h"

namespace {

const char kSidAlice[] = "S-1-5-21-1111-2222-3333-1001";
const char kSidBob[] = "S-1-5-21-1111-2222-3333-1002";
const char kWinlogon[] = "\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

bool TraySlotExists()
{
    HANDLE slot = CreateFileA((std::string(kMailslotPrefix) + kTraySlot).c_str(), GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (slot == INVALID_HANDLE_VALUE) return false;
    CloseHandle(slot);
    return true;
}

class ConsoleUserSwitch : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A tray left by another case would answer the id request.
        ASSERT_TRUE(WaitUntil([] { return !TraySlotExists(); }, 30000));
        ForceDirectories(GetDataFolder());  // repairs record their events there
        TRegEngine userShell = SettingRef("User_shell");
        WriteRegBool(userShell, true);
        seams_.ConsoleUser = [this] {
            std::lock_guard<std::mutex> guard(lock_);
            return user_;
        };
        seams_.SidLookup = [this](std::string& sid, std::string& name) {
            std::lock_guard<std::mutex> guard(lock_);
            name = user_;
            sid = user_ == "alice" ? kSidAlice : user_ == "bob" ? kSidBob : "";
            return !sid.empty();
        };
        seams_.StartTray = [] { return uint32_t(0); };
    }
    void TearDown() override
    {
        for (const char* sid : {kSidAlice, kSidBob}) {
            TRegEngine key;
            key.Root = kRootHKU;
            key.Key = sid;
            DeleteRegKey(key);
        }
    }

    void SetUser(const std::string& user)
    {
        std::lock_guard<std::mutex> guard(lock_);
        user_ = user;
    }
    static bool PollsPass(TUserSIDThreads& follower, int count)
    {
        const int seen = follower.Polls();
        return WaitUntil([&] { return follower.Polls() >= seen + count; }, 20000);
    }
    // A locker's Shell override under the user's key, for a program that
    // does not exist (nothing is ended).
    static TRegEngine WriteShellOverride(const std::string& sid)
    {
        TRegEngine shell;
        shell.Root = kRootHKU;
        shell.Key = sid + kWinlogon;
        shell.Value = "Shell";
        WriteRegString(shell, "C:\\nowhere\\locker_of_" + sid + ".exe");
        return shell;
    }

    TUserSIDThreads::TSeams seams_;
    std::mutex lock_;
    std::string user_;
};

TEST_F(ConsoleUserSwitch, GuardsFollowTheUserAtTheConsole)
{
    SetUser("alice");
    TUserSIDThreads follower(seams_);
    ASSERT_TRUE(WaitUntil([&] { return follower.ProtectedSid() == kSidAlice; }, 20000));
    EXPECT_FALSE(follower.Active()) << "no tray could be started";

    // The same user on later polls keeps the guards already made for her.
    const int made = follower.ProtectionsMade();
    ASSERT_TRUE(PollsPass(follower, 2));
    EXPECT_EQ(follower.ProtectionsMade(), made);
    EXPECT_EQ(follower.ProtectedSid(), kSidAlice);

    // Log-off: her guards stop although her tray never ran.
    SetUser("");
    ASSERT_TRUE(WaitUntil([&] { return follower.ProtectedSid().empty(); }, 20000));
    ASSERT_TRUE(PollsPass(follower, 2));
    EXPECT_EQ(follower.ProtectionsMade(), made) << "nobody at the console, nothing to guard";
    EXPECT_EQ(follower.ProtectedSid(), "");

    // The next user gets guards of his own, on his keys and not on hers.
    SetUser("bob");
    ASSERT_TRUE(WaitUntil([&] { return follower.ProtectedSid() == kSidBob; }, 20000));
    EXPECT_EQ(follower.ProtectionsMade(), made + 1);
    TRegEngine bobShell = WriteShellOverride(kSidBob);
    EXPECT_TRUE(WaitUntil([&] { return !RegValueExists(bobShell); }, 15000)) << "bob's Winlogon key is watched";
    TRegEngine aliceShell = WriteShellOverride(kSidAlice);
    ASSERT_TRUE(PollsPass(follower, 2));
    EXPECT_TRUE(RegValueExists(aliceShell)) << "alice's keys are no longer watched";

    // A different user straight away, without a log-off seen in between.
    SetUser("alice");
    ASSERT_TRUE(WaitUntil([&] { return follower.ProtectedSid() == kSidAlice; }, 20000));
    EXPECT_EQ(follower.ProtectionsMade(), made + 2);
    EXPECT_TRUE(WaitUntil([&] { return !RegValueExists(aliceShell); }, 15000)) << "her guards examine her key at start";
    TRegEngine bobAgain = WriteShellOverride(kSidBob);
    ASSERT_TRUE(PollsPass(follower, 2));
    EXPECT_TRUE(RegValueExists(bobAgain)) << "bob's keys are no longer watched";
}

TEST_F(ConsoleUserSwitch, AFailedPollAndAFailedGuardSetUpAreTriedAgain)
{
    CaughtLines caught;
    // The first poll fails, then the first set-up of bob's Winlogon watcher.
    ArmFault("usersid.poll");
    ArmFault("userprotection.setup");
    SetUser("bob");
    TUserSIDThreads follower(seams_);
    ASSERT_TRUE(WaitUntil([&] { return follower.ProtectedSid() == kSidBob; }, 20000)) << "polls go on";
    EXPECT_EQ(ArmedFaults("usersid.poll"), 0);
    EXPECT_TRUE(caught.Has({"console user poll", "fault injected"}));

    ASSERT_TRUE(WaitUntil([&] { return follower.UserProtection()->RegistryWatcherCount() == 6; }, 20000))
        << "the watcher that failed is set up on a later round";
    EXPECT_EQ(ArmedFaults("userprotection.setup"), 0);
    EXPECT_TRUE(caught.Has({"per-user guards", "Winlogon", "fault injected"}));
    TRegEngine shell = WriteShellOverride(kSidBob);
    EXPECT_TRUE(WaitUntil([&] { return !RegValueExists(shell); }, 15000)) << "bob's Winlogon key is guarded";
}

TEST_F(ConsoleUserSwitch, UnreadableSidGivesNoWatchersButTheTrayStillRuns)
{
    // A stand-in tray answers the id request (with 19) and takes the pings.
    ChildProcess tray;
    ASSERT_TRUE(tray.Start(HelperPath("qv_slot_echo.exe"), kTraySlot));
    ASSERT_TRUE(WaitUntil(TraySlotExists, 10000));
    seams_.SidLookup = [](std::string& sid, std::string& name) {
        sid.clear();
        name.clear();
        return false;
    };
    SetUser("carol");
    TUserSIDThreads follower(seams_);
    ASSERT_TRUE(WaitUntil([&] { return follower.Active(); }, 30000));
    EXPECT_EQ(follower.TrayProcessId(), 19u);
    // The per-user part gives up after its 40 rounds, with no watcher.
    ASSERT_TRUE(WaitUntil([&] { return follower.UserProtection()->SetUpDone(); }, 30000));
    EXPECT_EQ(follower.UserProtection()->RegistryWatcherCount(), 0);
    EXPECT_FALSE(follower.UserProtection()->HasStartupWatcher());
    EXPECT_EQ(follower.ProtectedSid(), "");
    ASSERT_TRUE(PollsPass(follower, 2));
    EXPECT_TRUE(follower.Active()) << "the tray keeps running for the user";
    EXPECT_EQ(follower.ProtectionsMade(), 1);
}

}  // namespace

// The tray program updated while the service runs is the one it starts then:
// the digest follows the file, not the file as it was at service start.
TEST(TrayProgramDigest, FollowsAnUpdatedTrayProgram)
{
    ScratchDir dir;
    const std::string tray = dir / "QuorvaneTray.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_waiter.exe").c_str(), tray.c_str(), FALSE));
    TTrayFileDigest digest;
    std::string why;
    EXPECT_TRUE(TrayProgramIntact(tray, digest.Of(tray), why)) << why;

    ASSERT_TRUE(WriteTextFile(tray, ReadTextFile(tray) + "update"));
    EXPECT_EQ(digest.Of(tray), GetFileMD5(tray));
    EXPECT_TRUE(TrayProgramIntact(tray, digest.Of(tray), why)) << why;
}
