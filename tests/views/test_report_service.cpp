// The event report against the real service: rows from a report file of
// known records, the empty report, Clear, and "Show" of a jailed hosts copy
// coming back as the service's 13/15 answer. The receiver and the hidden
// window run in the test program; stand-ins take the other windows.
#include <gtest/gtest.h>

#include <memory>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "WindowShot.h"
#include "fmReport.h"
#include "fmReportProp.h"
#include "fmStatus.h"
#include "qvApplication.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uReportEvent.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"
#include "uViewForms.h"

using namespace traytest;

namespace {

std::string ReportFile() { return GetDataFolder() + "report.rdb"; }

TReportEvent Event(int32_t kind, int32_t message, const std::string& path)
{
    TReportEvent event;
    InitReportEvent(event);
    event.Source = kind;
    event.Event = message;
    event.Path.Set(path);
    event.Time = NowDateTime();
    return event;
}

// Whole records, then `cutBytes` of one more.
bool WriteReport(const std::vector<TReportEvent>& events, size_t cutBytes = 0)
{
    std::string bytes(reinterpret_cast<const char*>(events.data()), events.size() * sizeof(TReportEvent));
    bytes.append(std::string(reinterpret_cast<const char*>(&events.front()), cutBytes));
    return WriteTextFile(ReportFile(), bytes);
}

class ReportService : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetCurrentLanguage("English.lng");
        LoadEventTexts(TrayApp().Language.Texts);
        RegisterStandIns();
        RegisterViewForms();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
        // The tray slot is ours before the service looks for a tray.
        receiver_ = std::make_unique<TThreadMess>();
        receiver_->Start();
        ASSERT_TRUE(PumpUntil([] { return receiver_->SlotActive(); }, 15000));
        // The service from a folder without the tray program: it starts no
        // tray of its own.
        harness::RemoveService();
        const std::string service =
            harness::StageServiceCopy(GetEnvVar("TEMP") + "\\qv_report_service", "ServiceQuorvane.exe");
        ASSERT_TRUE(harness::InstallService(service));
        ASSERT_TRUE(harness::StartAndWaitRunning());
    }
    static void TearDownTestSuite()
    {
        if (receiver_) {
            receiver_->Terminate();
            PumpUntil([] { return receiver_->Finished(); }, 3000);
            receiver_.reset();
        }
        harness::RemoveService();
        ResetOpened();
        if (TrayApp().Icon.Window) DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterStandIns();
    }
    void SetUp() override { ResetOpened(); }
    static TfmReportFrm* Open()
    {
        OpenReport();
        return dynamic_cast<TfmReportFrm*>(gui::FindForm(kReportForm));
    }
    static std::unique_ptr<TThreadMess> receiver_;
};
std::unique_ptr<TThreadMess> ReportService::receiver_;

}  // namespace

// Sends a report row of the test's own to the tray's slot, behind whatever
// the service sent, and expects it to be the list's first row.
static void ExpectOwnRowFirst(const char* whyNot)
{
    TMSlotMessage marker;
    ClearMailSlotMessage(marker);
    marker.Type = 17;
    marker.D = 1;
    marker.Data.Set("marker");
    ASSERT_TRUE(SendToMailSlot(marker, kTraySlot));
    ASSERT_TRUE(PumpUntil([] { return TrayApp().ReportRows.RowCount > 0; }, 10000));
    EXPECT_EQ(TrayApp().ReportRows.Records.front().Data.Str(), "marker") << whyNot;
}

TEST_F(ReportService, WholeRecordsBecomeRowsAndClearDeletesTheReport)
{
    const std::vector<TReportEvent> events = {Event(171, 902, "C:\\Users\\Public\\winlock.exe"),
                                              Event(101, 903, "C:\\evil\\shell.exe"),
                                              Event(108, 914, "C:\\Users\\Public\\ransom.exe")};
    ASSERT_TRUE(WriteReport(events, sizeof(TReportEvent) / 2));
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(PumpUntil([] { return TrayApp().ReportRows.RowCount == 3 && !TrayApp().ReportRows.Loading; }, 30000))
        << TrayApp().ReportRows.RowCount << " rows";
    EXPECT_EQ(form->lvReport->Count(), 3);
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "mes_loaded"));
    EXPECT_EQ(form->lvReport->ItemText(1, 3), "C:\\evil\\shell.exe");
    EXPECT_EQ(form->lvReport->ItemText(1, 1), EventCodeText(101));
    EXPECT_EQ(form->lvReport->ItemText(2, 2), EventCodeText(914));
    EXPECT_FALSE(form->lvReport->ItemText(0, 0).empty()) << "the time column";

    SetForegroundWindow(form->Handle());
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Pump(200);
    WindowShot shot;
    ASSERT_TRUE(shot.Capture(form->Handle()));
    EXPECT_TRUE(shot.SavePng(ArtifactsFolder() + "report-window.png"));

    form->mnClear->Click();
    // Once the service answered a later request it has handled the reload;
    // a row of our own sent now comes after any row it sent.
    TMSlotMessage read = SettingRequest(proto::kReadBool, "show_tray_icon");
    ASSERT_TRUE(SendToMailSlotAndWait(kServiceSlot, read));
    EXPECT_FALSE(FileExists(ReportFile())) << "the service deleted the report before the reload";
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "rep_st"));
    ExpectOwnRowFirst("the reload listed rows of the deleted report");
}

TEST_F(ReportService, NoReportFileLeavesTheListEmpty)
{
    DeleteFileA(ReportFile().c_str());
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    // Once the service answered a later request it has handled the report
    // request; a row of our own sent now arrives after any row it sent.
    TMSlotMessage read = SettingRequest(proto::kReadBool, "show_tray_icon");
    ASSERT_TRUE(SendToMailSlotAndWait(kServiceSlot, read));
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "rep_st"));
    ExpectOwnRowFirst("the service sent rows without a report");
}

TEST_F(ReportService, ShowOnAJailedHostsCopyOpensTheManagerOnTheCopyAskedFor)
{
    ScratchDir scratch;
    const std::string jailed = scratch / "20261209100000hosts";
    ASSERT_TRUE(WriteTextFile(jailed, "127.0.0.1 localhost\r\n6.6.6.6 bank.example\r\n"));
    TMSlotMessage row;
    ClearMailSlotMessage(row);
    row.Type = 17;
    row.A = 111;
    row.B = 903;
    row.Data.Set(jailed);
    ShowReportProperties(row, nullptr);
    auto* properties = dynamic_cast<TfmRepProp*>(gui::FindForm(kReportPropertiesForm));
    ASSERT_NE(properties, nullptr);
    ASSERT_TRUE(properties->btGoto->Visible());
    SendMessageA(properties->btGoto->Handle(), BM_CLICK, 0, 0);
    const std::string copy = properties->HostsCopyName();
    ASSERT_FALSE(copy.empty());
    EXPECT_EQ(ReadTextFile(copy), ReadTextFile(jailed));
    ASSERT_TRUE(PumpUntil([] { return !OpenedOf(kHostsManagerForm).empty(); }, 20000))
        << "the service's 13/15 answer did not open the hosts manager";
    EXPECT_EQ(OpenedOf(kHostsManagerForm).front().Tag, 777);
    EXPECT_EQ(TrayApp().HostsCopy.FileName(), copy);

    // An answer for a name the tray did not ask for is not taken.
    TMSlotMessage forged;
    ClearMailSlotMessage(forged);
    forged.Type = 13;
    forged.A = 15;
    forged.B = 777;
    forged.Data.Set("C:\\windows\\system32\\drivers\\etc\\hosts");
    EXPECT_FALSE(TrayApp().HostsCopy.Accept(forged.Data.Str()));

    // While the manager is open, Show makes no new copy.
    SendMessageA(properties->btGoto->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(properties->HostsCopyName(), copy);
    DeleteFileA(copy.c_str());
}

TEST_F(ReportService, TheServiceAsksForTheStatusWindowWithType40)
{
    ASSERT_TRUE(WriteBoolSetting("hosts_guard", true));
    ASSERT_TRUE(WriteBoolSetting("Polices_Taskmgr", false));
    TMSlotMessage show;
    ClearMailSlotMessage(show);
    show.Type = 40;
    ASSERT_TRUE(SendToMailSlot(show, kTraySlot));
    TfmStatusForm* form = nullptr;
    ASSERT_TRUE(PumpUntil(
        [&] {
            form = dynamic_cast<TfmStatusForm*>(gui::FindForm(kStatusForm));
            return form && form->Visible() && form->Ratings() > 0;
        },
        20000));
    EXPECT_EQ(form->Row(TRatingArea::Network).Percent->Caption(), "100%");
    EXPECT_EQ(form->Row(TRatingArea::Network).Area->Color(), RGB(0, 192, 0));
    EXPECT_EQ(form->Row(TRatingArea::Admin).Percent->Caption(), "0%");
}
