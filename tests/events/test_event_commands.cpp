#include <gtest/gtest.h>

#include "CaughtLines.h"
#include "RegistryUtils.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "Trust.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uServiceMessThread.h"

namespace {

// The command thread runs in this process and serves the real service slot.
class EventCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() { gServiceMessThread = std::make_unique<TServiceMessThread>(); }
    static void TearDownTestSuite() { StopAndFree(gServiceMessThread); }
    void SetUp() override
    {
        ASSERT_TRUE(WaitUntil([] { return gServiceMessThread->SlotCreated(); }, 3000));
        ForceDirectories(GetDataFolder());
        RemoveFile(ReportFilePath());
        RemoveFile(GoodListPath());
        TRegEngine rec = SettingRef("trustList");
        DeleteRegValue(rec);
        ClearEventQueue();
    }

    static void Send(const TMSlotMessage& message) { ASSERT_TRUE(SendToMailSlot(message, kServiceSlot)); }
    // A request that is answered: once it is, everything sent before it was handled.
    static void Settle()
    {
        TMSlotMessage m = MakeRequest(13, 20);
        ASSERT_TRUE(SendToMailSlotAndWait(kServiceSlot, m));
    }
};

TEST_F(EventCommands, CommandThreadAnswersAfterAFailedPass)
{
    CaughtLines caught;
    ArmFault("commands.receive");
    ASSERT_TRUE(WaitUntil([] { return ArmedFaults("commands.receive") == 0; }, 5000));
    Settle();
    EXPECT_TRUE(WaitUntil([&] { return caught.Has({"command thread", "fault injected"}); }, 5000));
}

TEST_F(EventCommands, ReportDumpSendsEveryWholeRecord)
{
    RecordEvent(101, 903, "C:\\a.exe", "first");
    RecordEvent(111, 920, "C:\\hosts", "second");
    // a trailing partial record is ignored
    std::string bytes = ReadTextFile(ReportFilePath());
    ASSERT_TRUE(WriteTextFile(ReportFilePath(), bytes + std::string(136, 'x')));
    ASSERT_EQ(FileSizeOf(ReportFilePath()), 1000);

    SlotListener tray(kTraySlot);
    Send(MakeRequest(17));
    auto rows = tray.Drain(500);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Type, 17);
    EXPECT_EQ(rows[0].D, 2);
    EXPECT_EQ(rows[1].D, 2);
    EXPECT_EQ(rows[0].Data.Str(), "C:\\a.exe");
    EXPECT_EQ(rows[0].Mess.Str(), "first");
    EXPECT_EQ(rows[0].A, 101);
    EXPECT_EQ(rows[0].B, 903);
    EXPECT_EQ(rows[1].A, 111);
    EXPECT_FALSE(rows[0].Bool);
    // the time as the machine writes a short date and a long time
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char date[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof(date));
    EXPECT_EQ(rows[0].Mess1.Str().rfind(std::string(date) + " ", 0), 0u) << rows[0].Mess1.Str();
}

TEST_F(EventCommands, ReportDumpWithoutReportSendsNothingAndDeleteRecreates)
{
    SlotListener tray(kTraySlot);
    Send(MakeRequest(17));
    Settle();
    EXPECT_TRUE(tray.Drain(200).empty());

    RecordEvent(101, 901, "x");
    RecordEvent(101, 901, "y");
    Send(MakeRequest(41));
    Settle();
    EXPECT_FALSE(FileExists(ReportFilePath()));
    RecordEvent(101, 901, "z");
    EXPECT_EQ(FileSizeOf(ReportFilePath()), 432) << "the next event creates the report anew";
}

TEST_F(EventCommands, GoodListAppendsCaseSensitivelyAndGoesToTheAutorunManager)
{
    ASSERT_TRUE(WriteTextFile(GoodListPath(), "AAAA"));  // no line break at the end
    TMSlotMessage add = MakeRequest(19, 0, "", "C:\\prog.exe");
    add.Mess1.Set(std::string(32, 'B'));
    Send(add);
    Send(add);  // already there: nothing added
    add.Mess1.Set(std::string(32, 'b'));
    Send(add);  // another letter case is another line
    Settle();
    TStringList lines;
    ASSERT_TRUE(LoadLines(GoodListPath(), lines));
    EXPECT_EQ(lines, (TStringList{"AAAA", std::string(32, 'B'), std::string(32, 'b')}));

    SlotListener autorun(kAutorunSlot);
    Send(MakeRequest(18));
    auto got = autorun.Drain(500);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].Type, 18);
    EXPECT_EQ(got[0].Data.Str(), "AAAA");
    EXPECT_EQ(got[2].Data.Str(), std::string(32, 'b'));
    EXPECT_EQ(got[1].A, 3);

    RemoveFile(GoodListPath());
    Send(MakeRequest(18));
    Settle();
    EXPECT_TRUE(autorun.Drain(200).empty()) << "no list, no message";
}

TEST_F(EventCommands, TrustListAddDeleteAndSend)
{
    SlotListener tray(kTraySlot);
    Send(MakeRequest(21));
    auto empty = tray.Drain(300);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(empty[0].Type, 0) << "an empty list sends one cleared message";

    Send(MakeRequest(22, 0, "", "C:\\a.exe|AAAA"));
    Send(MakeRequest(22, 0, "", "c:\\A.EXE|aaaa"));  // the same entry in another letter case
    Send(MakeRequest(22, 0, "", "C:\\b.exe|BBBB"));
    Settle();
    TRegEngine rec = SettingRef("trustList");
    TStringList entries;
    ReadRegMultiString(rec, entries);
    EXPECT_EQ(entries, (TStringList{"C:\\a.exe|AAAA", "C:\\b.exe|BBBB"}));

    Send(MakeRequest(21));
    auto listed = tray.Drain(300);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].Type, 21);
    EXPECT_EQ(listed[0].D, 2);
    EXPECT_EQ(listed[1].Data.Str(), "C:\\b.exe|BBBB");

    Send(MakeRequest(23, 0, "", "C:\\B.EXE|bbbb"));
    Send(MakeRequest(23, 0, "", "C:\\none.exe|CCCC"));
    Settle();
    ReadRegMultiString(rec, entries);
    EXPECT_EQ(entries, (TStringList{"C:\\a.exe|AAAA"}));
}

TEST_F(EventCommands, TrustListWithUnreadableValueIsLeftAlone)
{
    // a trust list of the wrong type cannot be read: nothing is written over it
    TRegEngine rec = SettingRef("trustList");
    WriteRegString(rec, "not a list");
    Send(MakeRequest(22, 0, "", "C:\\a.exe|AAAA"));
    Send(MakeRequest(23, 0, "", "not a list"));
    Settle();
    EXPECT_EQ(ReadRegString(rec), "not a list");
}

}  // namespace
