#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "SlotListener.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"

using namespace traytest;

namespace {

// The tray's hidden window and receiver, built in the test program: the
// service runs, pop-ups are allowed, and stand-ins take the tray's windows.
class TrayWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(ServiceUp());
        ASSERT_TRUE(WriteBoolSetting("show_tray_warn", true));
        SetCurrentLanguage("Russian.lng");
        LoadEventTexts(TrayApp().Language.Texts);
        // 13/10 restarts a shell that does not exist here instead of Wine's Explorer
        TrayApp().Session.ExplorerRestart.ProcessName = TrayApp().Session.ExplorerRestart.Command = "qv_no_such_shell.exe";
        RegisterStandIns();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
        receiver_ = std::make_unique<TThreadMess>();
        receiver_->Start();
        ASSERT_TRUE(PumpUntil([] { return receiver_->SlotActive(); }, 15000));
    }
    static void TearDownTestSuite()
    {
        if (receiver_) {
            receiver_->Terminate();
            PumpUntil([] { return receiver_->Finished(); }, 3000);
            receiver_.reset();
        }
        ResetOpened();
        if (TrayApp().Icon.Window) DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterStandIns();
    }
    void SetUp() override
    {
        ResetOpened();
        WriteBoolSetting("show_tray_warn", true);
        // The gate falls back on the value it last read when a loaded service
        // is slow to answer: that must be this one, not an earlier test's.
        TrayApp().Popups.WarnSwitch.Refresh();
        TrayApp().Popups.LastEventKind = -1;
        TrayApp().Popups.ServicePopupPending = false;
    }

    static void ToTray(const TMSlotMessage& m) { ASSERT_TRUE(SendToMailSlot(m, kTraySlot)); }
    static TMSlotMessage Event(int kind, int id, const std::string& data = "C:\\bad.exe")
    {
        TMSlotMessage m = MakeRequest(9, kind, "detail", data);
        m.B = id;
        return m;
    }
    static size_t Popups() { return OpenedOf(kMessageForm).size(); }
    // Waits until the newest queued event has been shown.
    static bool HeadShown(size_t count)
    {
        return PumpUntil(
            [count] {
                auto events = TrayApp().Events.Snapshot();
                return events.size() >= count && events.front().Shown;
            },
            5000);
    }

    static std::unique_ptr<TThreadMess> receiver_;
};
std::unique_ptr<TThreadMess> TrayWindow::receiver_;

TEST_F(TrayWindow, HiddenWindowAndMenu)
{
    char name[64] = {};
    GetClassNameA(TrayApp().Icon.Window, name, sizeof(name));
    EXPECT_STREQ(name, "Quorvane");
    GetWindowTextA(TrayApp().Icon.Window, name, sizeof(name));
    EXPECT_STREQ(name, "Quorvane");
    EXPECT_FALSE(IsWindowVisible(TrayApp().Icon.Window));
    EXPECT_EQ(FindWindowA("Quorvane", "Quorvane"), TrayApp().Icon.Window);

    ASSERT_TRUE(RebuildTrayMenu());
    const UINT ids[] = {10, 2, 3, 11, 4, 1, 5, 0};
    const char* texts[] = {"Состояние защиты", "Настройки", "Менеджер автозапуска", "Менеджер файла HOSTS",
                           "Завершить недоверенные процессы", "Журнал событий", "Список доверия", "Остановить защиту"};
    ASSERT_EQ(GetMenuItemCount(TrayApp().Icon.Menu), 8);
    for (int i = 0; i < 8; ++i) {
        char text[128] = {};
        GetMenuStringA(TrayApp().Icon.Menu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        EXPECT_EQ(GetMenuItemID(TrayApp().Icon.Menu, i), ids[i]) << i;
        EXPECT_STREQ(text, texts[i]) << i;
    }

    // command 6 rebuilds it in the language now current
    SetCurrentLanguage("English.lng");
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdRebuildMenu, 0);
    char text[128] = {};
    GetMenuStringA(TrayApp().Icon.Menu, 7, text, sizeof(text), MF_BYPOSITION);
    EXPECT_STREQ(text, "Stop protection");
    SetCurrentLanguage("Russian.lng");
    ASSERT_TRUE(RebuildTrayMenu());
}

TEST_F(TrayWindow, EventsAreQueuedNewestFirstAndShownWithTheirSeq)
{
    const size_t before = TrayApp().Events.Snapshot().size();
    ToTray(Event(101, 903));
    ASSERT_TRUE(HeadShown(before + 1));
    ToTray(Event(172, 902, "C:\\run.exe"));
    ASSERT_TRUE(HeadShown(before + 2));

    auto events = TrayApp().Events.Snapshot();
    ASSERT_EQ(events.size(), before + 2);
    const int32_t first = events[1].Seq;
    EXPECT_EQ(events[0].Seq, first + 1) << "the newest at the head";
    EXPECT_EQ(events[0].Message.A, 172);
    EXPECT_TRUE(events[1].Shown);

    ASSERT_TRUE(PumpUntil([] { return Popups() == 2; }, 15000));
    auto popups = OpenedOf(kMessageForm);
    EXPECT_EQ(popups[0].HelpContext, first);
    EXPECT_EQ(popups[0].Tag, 0);
    EXPECT_EQ(popups[0].Popup.Style, nsWarning);
    EXPECT_EQ(popups[0].Popup.Seconds, 5);
    EXPECT_EQ(popups[0].Popup.Text2.Str(), GetLangText(kLangGlobal, "ev_change").substr(0, 43));
    EXPECT_EQ(popups[0].Popup.Text3.Str(), GetLangText(kLangGlobal, "es_winlogon_shell").substr(0, 43));
    EXPECT_FALSE(popups[0].Popup.Buttons);
    // an autorun event asks for details: answer kind 6, the dialog finds it by Seq
    EXPECT_EQ(popups[1].HelpContext, first + 1);
    EXPECT_EQ(popups[1].Tag, 6);
    EXPECT_EQ(popups[1].Popup.Seconds, 8);
    EXPECT_TRUE(popups[1].Popup.Buttons);
    EXPECT_EQ(popups[1].Popup.Text4.Str(), GetLangText(kLangGui, "mes_det"));
    EXPECT_EQ(popups[1].Popup.Text3.Str(), GetLangText(kLangGlobal, "es_arn_run").substr(0, 43));

    TTrayEventEntry found;
    ASSERT_TRUE(TrayApp().Events.FindBySeq(first + 1, found));
    EXPECT_EQ(found.Message.Data.Str(), "C:\\run.exe");
}

TEST_F(TrayWindow, KillerAndQuarantineEventsShowNothingButReachTheGate)
{
    const size_t before = TrayApp().Events.Snapshot().size();
    ToTray(Event(108, 914));
    ASSERT_TRUE(HeadShown(before + 1));
    Pump(100);
    EXPECT_EQ(Popups(), 0u);
    EXPECT_EQ(TrayApp().Popups.LastEventKind.load(), 108);
    ToTray(Event(109, 916));
    ASSERT_TRUE(HeadShown(before + 2));
    Pump(100);
    EXPECT_EQ(Popups(), 0u);
    EXPECT_EQ(TrayApp().Popups.LastEventKind.load(), 109);
    // hosts events show only for "not found" and "changed"
    ToTray(Event(111, 901));
    ASSERT_TRUE(HeadShown(before + 3));
    ToTray(Event(111, 903));
    ASSERT_TRUE(PumpUntil([] { return Popups() == 1; }, 15000));
    auto popup = OpenedOf(kMessageForm)[0];
    EXPECT_EQ(popup.Tag, 5);
    EXPECT_EQ(popup.Popup.Text2.Str(), GetLangText(kLangGui, "hm_change"));
    EXPECT_EQ(popup.Popup.Seconds, 7);
}

TEST_F(TrayWindow, TrayWarningsOffSuppressEventPopupsButNotTheUsersOwn)
{
    ASSERT_TRUE(WriteBoolSetting("show_tray_warn", false));
    bool warn = true;
    ASSERT_TRUE(WaitUntil([&] { return ReadBoolSetting("show_tray_warn", warn) && !warn; }, 5000));
    const size_t before = TrayApp().Events.Snapshot().size();
    ToTray(Event(102, 903));
    ASSERT_TRUE(HeadShown(before + 1));
    Pump(200);
    EXPECT_EQ(Popups(), 0u);
    EXPECT_EQ(TrayApp().Popups.LastEventKind.load(), -1) << "the gate forgets the event it held back";

    TrayApp().Popups.KillerRunning = false;
    ToTray(MakeRequest(13, 8));
    ASSERT_TRUE(PumpUntil([] { return TrayApp().Popups.KillerRunning.load(); }, 15000));
    ToTray(MakeRequest(13, 9));
    ASSERT_TRUE(PumpUntil([] { return Popups() == 1; }, 15000));
    EXPECT_FALSE(TrayApp().Popups.KillerRunning.load());
    auto popup = OpenedOf(kMessageForm)[0];
    EXPECT_EQ(popup.Popup.Style, nsInformation);
    EXPECT_EQ(popup.Popup.Text2.Str(), GetLangText(kLangGui, "mes_kilend").substr(0, 43));
    EXPECT_EQ(popup.Popup.Seconds, 2);
    EXPECT_EQ(popup.Tag, 0);
}

TEST_F(TrayWindow, ReportRowsAreKeptWhileTheReportIsOpen)
{
    TrayApp().ReportRows.Reset();
    TMSlotMessage row = MakeRequest(17, 0, "", "row");
    row.D = 3;
    ToTray(row);  // no report window: dropped
    Pump(300);
    EXPECT_EQ(TrayApp().ReportRows.RowCount, 0);

    OpenReport();
    ASSERT_TRUE(IsFormOpen(kReportForm));
    int changes = 0;
    TrayApp().ReportRows.OnChanged = [&] { ++changes; };
    for (int i = 0; i < 3; ++i) {
        row.Data.Set("row " + std::to_string(i));
        ToTray(row);
        if (i == 1) {
            ASSERT_TRUE(PumpUntil([] { return TrayApp().ReportRows.RowCount == 2; }, 15000));
            EXPECT_TRUE(TrayApp().ReportRows.Loading);
            EXPECT_EQ(TrayApp().ReportRows.Status, GetLangText(kLangGui, "mes_loading") + " 2 " + GetLangText(kLangGui, "mes_of") + " 3");
        }
    }
    ASSERT_TRUE(PumpUntil([] { return TrayApp().ReportRows.RowCount == 3; }, 15000));
    EXPECT_EQ(TrayApp().ReportRows.Status, GetLangText(kLangGui, "mes_loaded"));
    EXPECT_EQ(TrayApp().ReportRows.ItemCount, 3);
    EXPECT_FALSE(TrayApp().ReportRows.Loading);
    ASSERT_EQ(TrayApp().ReportRows.Records.size(), 3u);
    EXPECT_EQ(TrayApp().ReportRows.Records[2].Data.Str(), "row 2");
    EXPECT_EQ(changes, 3);
    row.Data.Set("extra");
    ToTray(row);
    Pump(300);
    EXPECT_EQ(TrayApp().ReportRows.RowCount, 3) << "rows beyond the total are not stored";
    TrayApp().ReportRows.OnChanged = nullptr;
}

TEST_F(TrayWindow, ADumpDoesNotCostAnEventItsPopup)
{
    // Rows are taken as fast as they come, but each event keeps a round of
    // its own: only the newest event is shown after a round.
    TrayApp().ReportRows.Reset();
    OpenReport();
    ASSERT_TRUE(IsFormOpen(kReportForm));
    const size_t before = TrayApp().Events.Snapshot().size();
    constexpr int kRows = 300;
    TMSlotMessage row = MakeRequest(17, 0, "", "row");
    row.D = kRows;
    // Sent from a thread of its own, as the service does: a slot holds only
    // so much, and the receiver hands the rows to this (main) thread.
    std::atomic<int> sent{0};
    std::thread sender([&] {
        // A send gives up after its bounded wait while the slot stays full (the
        // main thread may be slow on a loaded machine): this sender tries again.
        auto send = [&](const TMSlotMessage& m) {
            for (int attempt = 0; attempt < 30; ++attempt)
                if (SendToMailSlot(m, kTraySlot)) {
                    ++sent;
                    return;
                }
        };
        send(Event(101, 903));
        send(Event(102, 903));
        for (int i = 0; i < kRows; ++i) send(row);
        send(Event(103, 903));
    });
    const bool all = PumpUntil([] { return TrayApp().ReportRows.RowCount == kRows && Popups() == 3; }, 60000);
    sender.join();
    ASSERT_EQ(sent.load(), kRows + 3);
    ASSERT_TRUE(all) << TrayApp().ReportRows.RowCount << " rows, " << Popups() << " pop-ups";
    auto events = TrayApp().Events.Snapshot();
    ASSERT_EQ(events.size(), before + 3);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(events[i].Shown);
    EXPECT_EQ(events[0].Message.A, 103);
    auto popups = OpenedOf(kMessageForm);
    EXPECT_EQ(popups[0].HelpContext, events[2].Seq) << "shown in the order they came";
    EXPECT_EQ(popups[2].HelpContext, events[0].Seq);
}

TEST_F(TrayWindow, TrustRecordReachesTheTrustList)
{
    TMSlotMessage record = MakeRequest(24, 172, "Run", "C:\\new.exe");
    ToTray(record);
    ASSERT_TRUE(PumpUntil([] { return OpenedOf(kTrustListForm).size() == 1; }, 15000));
    EXPECT_EQ(TrayApp().Kept.LastTrustRecord().Data.Str(), "C:\\new.exe");
    EXPECT_EQ(LastTrustListRecord().A, 172) << "the window gets the record of the last Type 24";

    // the menu's trust list starts from a cleared record
    ResetOpened();
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdTrustList, 0);
    EXPECT_EQ(OpenedOf(kTrustListForm).size(), 1u);
    EXPECT_EQ(LastTrustListRecord().Data.Str(), "");
}

TEST_F(TrayWindow, ServiceMessagesOpenTheirWindows)
{
    ToTray(MakeRequest(8));
    ToTray(MakeRequest(30));
    ToTray(MakeRequest(40));
    ASSERT_TRUE(PumpUntil([] { return OpenedForms().size() == 3; }, 15000));
    EXPECT_EQ(OpenedForms()[0].ClassName, kWizardForm);
    EXPECT_EQ(OpenedForms()[1].ClassName, kSettingsForm);
    EXPECT_EQ(OpenedForms()[2].ClassName, kStatusForm);
    // a second status request brings the open one forward
    ToTray(MakeRequest(40));
    Pump(300);
    EXPECT_EQ(OpenedOf(kStatusForm).size(), 1u);
    // the icon's left click opens the status window too
    ResetOpened();
    SendMessageA(TrayApp().Icon.Window, WM_TRAYICON, 0, WM_LBUTTONDBLCLK);
    EXPECT_EQ(OpenedOf(kStatusForm).size(), 1u);
}

TEST_F(TrayWindow, NoticesOfTheServiceAndTheirPendingMark)
{
    TMSlotMessage system = MakeRequest(15, 0, "", "http://example.invalid/news");
    system.Mess1.Set("news text");
    ToTray(system);
    ASSERT_TRUE(PumpUntil([] { return Popups() == 1; }, 15000));
    auto popup = OpenedOf(kMessageForm)[0];
    EXPECT_EQ(popup.Tag, 15);
    EXPECT_EQ(popup.Popup.Seconds, 0);
    EXPECT_EQ(popup.Popup.Text1.Str(), GetLangText(kLangGui, "mes_sysshow"));
    EXPECT_TRUE(TrayApp().Popups.ServicePopupPending.load());
    EXPECT_EQ(TrayApp().Kept.SystemMessage().Address, "http://example.invalid/news");
    EXPECT_EQ(TrayApp().Kept.SystemMessage().Text, "news text");

    // programs ended while a notice is pending: no second notice
    ToTray(MakeRequest(13, 10));
    Pump(500);
    EXPECT_EQ(Popups(), 1u);
    TrayApp().Popups.ServicePopupPending = false;
    ToTray(MakeRequest(13, 10));
    ASSERT_TRUE(PumpUntil([] { return Popups() == 2; }, 15000));
    popup = OpenedOf(kMessageForm)[1];
    EXPECT_EQ(popup.Tag, 5);
    EXPECT_EQ(popup.Popup.Seconds, 7);
    EXPECT_EQ(popup.Popup.Text4.Str(), GetLangText(kLangGui, "mes_open"));

    TrayApp().Popups.ServicePopupPending = false;
    TMSlotMessage version = MakeRequest(29);
    version.Mess1.Set("2.7.0");
    ToTray(version);
    ASSERT_TRUE(PumpUntil([] { return Popups() == 3; }, 15000));
    popup = OpenedOf(kMessageForm)[2];
    EXPECT_EQ(popup.Tag, 14);
    EXPECT_EQ(popup.Popup.Text2.Str(), GetLangText(kLangGui, "QuorvaneLiveCD"));
    EXPECT_EQ(popup.Popup.Text3.Str(), "Version: 2.7.0");
}

TEST_F(TrayWindow, ProcessIdGoesOnlyToAReplySlot)
{
    SlotListener reply(MakeReplySlotName());
    SlotListener other("Quorvane\\tray_test");
    ASSERT_TRUE(reply.Active());
    ASSERT_TRUE(other.Active());
    TMSlotMessage ask = MakeRequest(13, 18);
    ask.C = 77;
    ask.Mess1.Set(other.Name());
    ToTray(ask);
    ask.Mess1.Set(reply.Name());
    ToTray(ask);
    TMSlotMessage answer;
    ASSERT_TRUE(reply.Next(answer, 3000));
    EXPECT_EQ(answer.B, static_cast<int32_t>(GetCurrentProcessId()));
    EXPECT_EQ(answer.C, 77) << "sent back otherwise unchanged";
    EXPECT_EQ(answer.A, 18);
    EXPECT_FALSE(other.Next(answer, 300)) << "not a reply slot: no answer";
}

TEST_F(TrayWindow, HostsCopyIsTakenOnlyForTheCopyTheTrayAskedFor)
{
    TMSlotMessage done = MakeRequest(13, 15, "", "C:\\windows\\system32\\drivers\\etc\\hosts");
    done.B = 777;
    ToTray(done);  // nothing was asked for
    Pump(400);
    EXPECT_TRUE(OpenedOf(kHostsManagerForm).empty());

    const std::string copy = "C:\\temp\\asked.qrv.~tmp";
    TrayApp().HostsCopy.Expect(copy);
    done.Data.Set("C:\\temp\\other.~tmp");
    ToTray(done);
    Pump(400);
    EXPECT_TRUE(OpenedOf(kHostsManagerForm).empty()) << "another file name";

    done.Data.Set(copy);
    ToTray(done);
    ASSERT_TRUE(PumpUntil([] { return OpenedOf(kHostsManagerForm).size() == 1; }, 15000));
    EXPECT_EQ(OpenedOf(kHostsManagerForm)[0].Tag, 777);
    EXPECT_EQ(TrayApp().HostsCopy.FileName(), copy);

    // the answer is used up, whether or not the window is still open
    ToTray(done);
    Pump(300);
    ResetOpened();
    ToTray(done);
    Pump(400);
    EXPECT_TRUE(OpenedOf(kHostsManagerForm).empty());

    // while the hosts manager is open, command 11 asks for no new copy
    OpenHostsManager(1);
    ASSERT_TRUE(IsFormOpen(kHostsManagerForm));
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdHostsCopy, 0);
    EXPECT_EQ(TrayApp().HostsCopy.FileName(), copy);
    TrayApp().HostsCopy.Expect(copy);
    ToTray(done);
    Pump(400);
    EXPECT_EQ(OpenedOf(kHostsManagerForm).size(), 1u) << "not while the hosts manager is open";
    ResetOpened();
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdHostsCopy, 0);
    EXPECT_NE(TrayApp().HostsCopy.FileName(), copy);
    EXPECT_TRUE(EndsWith(TrayApp().HostsCopy.FileName(), "qrv.~tmp"));
}

TEST_F(TrayWindow, AnswersOfPopups)
{
    TNotifyRecord record;
    ResetNotifyRecord(record);
    record.Kind = proto::kAnswerReport;
    ASSERT_TRUE(ShowNotification(record));
    ASSERT_EQ(OpenedOf(kMessageForm).size(), 1u);
    const TPopupCallbacks popup = OpenedOf(kMessageForm).front().Callbacks;
    ASSERT_TRUE(popup.Answered && popup.Closed) << "a pop-up is made with its callbacks";
    popup.Answered(proto::kAnswerKiller, false);
    EXPECT_TRUE(TrayApp().Popups.Answer.Yes) << "the killer confirmation counts every answer as yes";
    EXPECT_EQ(TrayApp().Popups.Answer.Kind, proto::kAnswerKiller);
    EXPECT_TRUE(TrayApp().Popups.Answer.Answered);
    popup.Answered(proto::kAnswerReport, false);
    EXPECT_FALSE(TrayApp().Popups.Answer.Yes);
    popup.Closed();
    EXPECT_TRUE(OpenedOf(kReportForm).empty()) << "no yes, nothing runs";
    popup.Answered(proto::kAnswerReport, true);
    EXPECT_TRUE(TrayApp().Popups.Answer.Yes);
    popup.Closed();
    EXPECT_EQ(OpenedOf(kReportForm).size(), 1u) << "a yes of kind 5 opens the report";
    EXPECT_FALSE(TrayApp().Popups.Answer.Yes);
    popup.Closed();
    EXPECT_EQ(OpenedOf(kReportForm).size(), 1u) << "the yes is used up";
}

TEST_F(TrayWindow, StopQuestionWaitsOnlyWithAPassword)
{
    ASSERT_TRUE(WriteStrSetting("password", ""));
    Sleep(200);
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdStopProtection, 0);
    ASSERT_EQ(Popups(), 1u);
    auto popup = OpenedOf(kMessageForm)[0];
    EXPECT_EQ(popup.Tag, 2);
    EXPECT_EQ(popup.Popup.Style, nsPlain);
    EXPECT_EQ(popup.Popup.Seconds, 14);
    EXPECT_TRUE(popup.Popup.Buttons);
    EXPECT_EQ(popup.Popup.Text2.Str(), GetLangText(kLangGui, "mes_stop"));

    ASSERT_TRUE(WriteStrSetting("password", "12345"));
    std::string stored;
    ASSERT_TRUE(WaitUntil([&] { return ReadStrSetting("password", stored) && !stored.empty(); }, 5000));
    SendMessageA(TrayApp().Icon.Window, WM_COMMAND, cmdStopProtection, 0);
    ASSERT_EQ(Popups(), 2u);
    EXPECT_EQ(OpenedOf(kMessageForm)[1].Popup.Seconds, 0);
    WriteStrSetting("password", "");
}

TEST_F(TrayWindow, ServiceQuitMessageEndsTheLoop)
{
    Pump(100);
    TakeQuit();
    ToTray(MakeRequest(13, 1));
    EXPECT_TRUE(PumpUntil([] { return TakeQuit(); }, 15000));
}

}  // namespace
