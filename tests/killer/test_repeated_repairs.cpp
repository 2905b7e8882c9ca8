// A locker that rewrites a guarded value in a loop: every rewrite is repaired,
// the same repair recorded once per quiet span, and a program started again
// is still ended.
#include <gtest/gtest.h>

#include <cstring>

#include "ProgramCopies.h"
#include "RegistryUtils.h"
#include "uRepeatGate.h"
#include "uWinLogonProcedures.h"

namespace {

TEST(RepeatGate, OncePerQuietSpanWithTheRestCounted)
{
    TRepeatGate gate(60000, 10000, 3);
    EXPECT_TRUE(gate.Admit("shell", 1000).Pass);
    int passed = 0;
    for (uint32_t t = 1020; t < 61000; t += 20) passed += gate.Admit("shell", t).Pass;
    EXPECT_EQ(passed, 0) << "a minute of repeats 20 ms apart";
    EXPECT_TRUE(gate.Admit("userinit", 1500).Pass) << "another repair has its own span";
    const TRepeatGate::TVerdict again = gate.Admit("shell", 61000);
    EXPECT_TRUE(again.Pass);
    EXPECT_EQ(again.Withheld, 2999u);
    EXPECT_EQ(gate.Admit("shell", 61020).Withheld, 0u) << "counted anew";
    EXPECT_TRUE(gate.Admit("shell", 71020).Pass) << "after ten seconds of quiet, a new attack";

    // Across the tick counter's wrap, 512 ms apart.
    EXPECT_TRUE(gate.Admit("wrap", 0xFFFFFF00u).Pass);
    EXPECT_FALSE(gate.Admit("wrap", 0x100u).Pass);
    gate.Forget("wrap");
    EXPECT_TRUE(gate.Admit("wrap", 0x101u).Pass) << "a failed record is not a record";

    // Bounded: the key that passed longest ago makes room.
    for (int i = 0; i < 10; ++i) gate.Admit("value " + std::to_string(i), 70000 + static_cast<uint32_t>(i));
    EXPECT_EQ(gate.Size(), 3u);
    EXPECT_FALSE(gate.Admit("value 9", 70100).Pass);
    EXPECT_TRUE(gate.Admit("value 0", 70100).Pass);
}

int CountRecords(int32_t kind)
{
    const std::string report = ReadTextFile(ReportFilePath());
    int count = 0;
    for (size_t at = 0; at + sizeof(TReportEvent) <= report.size(); at += sizeof(TReportEvent)) {
        TReportEvent event;
        std::memcpy(&event, report.data() + at, sizeof(event));
        count += event.Source == kind;
    }
    return count;
}

TEST(RepeatedRepairs, ShellRewrittenInALoopIsRecordedOnceAndAlwaysRepaired)
{
    ForceDirectories(GetDataFolder());
    RemoveFile(ReportFilePath());
    ClearEventQueue();
    for (const char* name : {"All_userinit", "All_gina", "All_taskman", "All_message", "All_parazite"}) {
        TRegEngine off = SettingRef(name);
        WriteRegBool(off, false);
    }
    TRegEngine on = SettingRef("All_shell");
    WriteRegBool(on, true);
    ScratchDir dir;
    const std::string locker = dir / "l.exe";
    TRegEngine shell;
    shell.Key = WinlogonKeyPath();
    shell.Value = "Shell";

    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        // Dropped and started again midway: ended all the same.
        ChildProcess process;
        if (round == 0 || round == 10) {
            ASSERT_TRUE(CopyWaiter(locker));
            ASSERT_TRUE(StartAndSettle(process, locker));
        }
        WriteRegString(shell, "explorer.exe," + locker);
        RepairWinlogon(RegView::Default);
        EXPECT_EQ(ReadRegString(shell), "Explorer.exe");
        if (round == 0 || round == 10) EXPECT_TRUE(Ended(process));
    }
    EXPECT_FALSE(FileExists(locker)) << "jailed";
    EXPECT_EQ(CountRecords(evkWinlogonShell), 1);
}

}  // namespace
