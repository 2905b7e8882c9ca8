// The killer through the service slot (command 13/7), with a listener in the
// tray's place. Every case first approves the prefix's own programs in
// "goodlist.arn": without that list the killer would end Wine itself.
#include <gtest/gtest.h>

#include <algorithm>

#include "ProgramCopies.h"
#include "RegistryUtils.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uServiceMessThread.h"

namespace {

class Killer : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gServiceMessThread = std::make_unique<TServiceMessThread>(); }
    static void TearDownTestSuite() { StopAndFree(gServiceMessThread); }
    void SetUp() override
    {
        ASSERT_TRUE(WaitUntil([] { return gServiceMessThread->SlotCreated(); }, 15000));
        ASSERT_TRUE(WriteGoodList());
        RemoveFile(ReportFilePath());
        TRegEngine list = SettingRef("trustList");
        DeleteRegValue(list);
        TRegEngine use = SettingRef("arn_use_trustlist");
        DeleteRegValue(use);
        ClearEventQueue();
    }

    // Sends 13/7 and collects what the tray gets until the killer's end (13/9)
    // and the Explorer check after it.
    static std::vector<int32_t> RunKillerThroughSlot(SlotListener& tray)
    {
        std::vector<int32_t> codes;
        EXPECT_TRUE(SendToMailSlot(MakeRequest(13, 7), kServiceSlot));
        TMSlotMessage message;
        while (tray.Next(message, 60000)) {
            if (message.Type == 13) codes.push_back(message.A);
            if (message.Type == 13 && message.A == 10) break;
        }
        return codes;
    }

    static std::vector<std::string> KillerEventPaths()
    {
        std::vector<std::string> paths;
        for (const auto& entry : QueueSnapshot()) {
            EXPECT_EQ(entry.Event.Source, evkKiller);
            EXPECT_EQ(entry.Event.Event, evmKillProcess);
            paths.push_back(entry.Event.Path.Str());
        }
        return paths;
    }
};

TEST_F(Killer, NothingUntrustedRunning)
{
    SlotListener tray(kTraySlot);
    EXPECT_EQ(RunKillerThroughSlot(tray), (std::vector<int32_t>{8, 9, 10}));
    EXPECT_TRUE(KillerEventPaths().empty());
    EXPECT_FALSE(KillerRunning);
}

TEST_F(Killer, TwoCopiesOfAnUntrustedProgramAreBothEnded)
{
    ScratchDir dir;
    const std::string program = dir / "qvlocker.exe";
    ASSERT_TRUE(CopyWaiter(program));
    ChildProcess first, second;
    ASSERT_TRUE(StartAndSettle(first, program));
    ASSERT_TRUE(StartAndSettle(second, program));
    SlotListener tray(kTraySlot);

    EXPECT_EQ(RunKillerThroughSlot(tray), (std::vector<int32_t>{8, 9, 10}));
    EXPECT_TRUE(Ended(first));
    EXPECT_TRUE(Ended(second));
    auto paths = KillerEventPaths();
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_TRUE(SameFile(paths[0], program)) << paths[0];
    EXPECT_TRUE(SameFile(paths[1], program)) << paths[1];
    EXPECT_TRUE(FileExists(program));  // the killer does not jail
}

TEST_F(Killer, OwnProgramsApprovedAndTrustedProgramsRunOn)
{
    ScratchDir dir;
    ASSERT_TRUE(CopyWaiter(dir / "approved.exe", "approved"));
    ASSERT_TRUE(CopyWaiter(dir / "trusted.exe", "trusted"));
    ASSERT_TRUE(CopyWaiter(dir / "untrusted.exe", "untrusted"));
    // The log viewer beside this program (the service's folder here).
    const std::string ownViewer = ModuleFolder() + "pelmarith.exe";
    ASSERT_TRUE(CopyWaiter(ownViewer, "viewer"));
    struct RemoveAtEnd {
        std::string path;
        ~RemoveAtEnd() { RemoveFile(path); }
    } removeViewer{ownViewer};
    ASSERT_TRUE(WriteGoodList(GetFileMD5(dir / "approved.exe") + "\r\n"));
    TRegEngine use = SettingRef("arn_use_trustlist");
    WriteRegBool(use, true);
    TRegEngine list = SettingRef("trustList");
    WriteRegMultiString(list, {dir / "trusted.exe" + "|" + GetFileMD5(dir / "trusted.exe")});

    ChildProcess spared[3], victim;
    const std::string sparedPaths[3] = {ownViewer, dir / "approved.exe", dir / "trusted.exe"};
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(StartAndSettle(spared[i], sparedPaths[i]));
    ASSERT_TRUE(StartAndSettle(victim, dir / "untrusted.exe"));
    SlotListener tray(kTraySlot);

    EXPECT_EQ(RunKillerThroughSlot(tray), (std::vector<int32_t>{8, 9, 10}));
    EXPECT_TRUE(Ended(victim));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(spared[i].Running()) << sparedPaths[i];
    auto paths = KillerEventPaths();
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_TRUE(SameFile(paths[0], dir / "untrusted.exe"));
    spared[0].Kill();
}

TEST_F(Killer, LookAlikesOfItsOwnProgramsElsewhereAreEnded)
{
    ScratchDir dir;
    const char* names[3] = {"QuorvaneTray.exe", "serviceQuorvane.EXE", "pelmarith.exe"};
    ChildProcess lookAlikes[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(CopyWaiter(dir / names[i], names[i]));
        ASSERT_TRUE(StartAndSettle(lookAlikes[i], dir / names[i]));
    }
    SlotListener tray(kTraySlot);

    EXPECT_EQ(RunKillerThroughSlot(tray), (std::vector<int32_t>{8, 9, 10}));
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(Ended(lookAlikes[i])) << names[i];
    auto paths = KillerEventPaths();
    ASSERT_EQ(paths.size(), 3u) << "each recorded like any untrusted program";
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(std::any_of(paths.begin(), paths.end(), [&](const std::string& p) { return SameFile(p, dir / names[i]); }))
            << names[i];
}

TEST_F(Killer, ARequestWhileTheKillerRunsDoesNothing)
{
    ScratchDir dir;
    ASSERT_TRUE(CopyWaiter(dir / "qvlocker.exe"));
    ChildProcess child;
    ASSERT_TRUE(StartAndSettle(child, dir / "qvlocker.exe"));
    SlotListener tray(kTraySlot);
    KillerRunning = true;
    RunKiller();
    KillerRunning = false;
    EXPECT_TRUE(tray.Drain(300).empty());
    EXPECT_TRUE(child.Running());
    EXPECT_TRUE(QueueSnapshot().empty());
}

}  // namespace
