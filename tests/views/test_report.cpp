// The event report without the service: the report window and its properties
// fed with rows as the receiver hands them over.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "fmReport.h"
#include "fmReportProp.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uTrayApplication.h"
#include "uViewForms.h"

// The report window fed row by row as the receiver feeds it, without a
// service (the stand-in ignores the report request).
namespace {

class ReportRows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetCurrentLanguage("English.lng");
        LoadEventTexts(TrayApp().Language.Texts);
        traytest::RegisterStandIns();
        RegisterViewForms();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
    }
    static void TearDownTestSuite()
    {
        traytest::ResetOpened();
        traytest::Pump(100);
        traytest::TakeQuit();
        gui::DoneApplication();
        traytest::UnregisterStandIns();
    }
    void SetUp() override
    {
        traytest::ResetOpened();
        TrayApp().ReportRows = TReportRows{};
    }
    static TfmReportFrm* Open()
    {
        OpenReport();
        return dynamic_cast<TfmReportFrm*>(gui::FindForm(kReportForm));
    }
    static TMSlotMessage Row(int32_t total, const std::string& path, int32_t kind = 171)
    {
        TMSlotMessage row;
        ClearMailSlotMessage(row);
        row.Type = 17;
        row.A = kind;
        row.B = 902;
        row.D = total;
        row.Data.Set(path);
        row.Mess1.Set("09.12.2026 10:00:00");
        return row;
    }
};

}  // namespace

TEST_F(ReportRows, AForgedTotalSizesNothing)
{
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "rep_st"));
    for (int i = 0; i < 3; ++i) AddReportRow(Row(INT32_MAX, "C:\\forged" + std::to_string(i) + ".exe"));
    EXPECT_EQ(TrayApp().ReportRows.RowCount, 3);
    EXPECT_LT(TrayApp().ReportRows.Records.capacity(), 1000u) << "the announced total reserved the memory";
    ASSERT_TRUE(traytest::PumpUntil([&] { return form->lvReport->Count() == 3; }, 5000));
    EXPECT_EQ(form->sbReport->PanelText(0), "Loading 3 of 2147483647");
}

// Refresh in the middle of a dump, the old dump's tail arriving late, a dump
// that stops part-way, and the whole report after the window was reopened.
TEST_F(ReportRows, EveryLoadStartsAfreshAndADumpCutShortSaysSo)
{
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    AddReportRow(Row(5, "row 0"));
    AddReportRow(Row(5, "row 1"));
    form->mnRefresh->Click();
    EXPECT_EQ(form->lvReport->Count(), 0) << "Refresh works while a dump arrives";
    AddReportRow(Row(5, "row 2"));  // the tail of the dump given up
    EXPECT_EQ(TrayApp().ReportRows.RowCount, 0);
    AddReportRow(Row(5, "row 0"));  // the new dump, which stops after two rows
    AddReportRow(Row(5, "row 1"));
    const std::string cut = GetLangText(kLangGui, "mes_cut") + " 2 " + GetLangText(kLangGui, "mes_of") + " 5";
    ASSERT_TRUE(traytest::PumpUntil([&] { return form->sbReport->PanelText(0) == cut; }, 30000))
        << form->sbReport->PanelText(0);
    EXPECT_EQ(form->lvReport->Count(), 2);
    EXPECT_EQ(form->lvReport->ItemText(1, 3), "row 1");

    form->mnRefresh->Click();
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "rep_st"));
    form->Close();
    ASSERT_TRUE(traytest::PumpUntil([&] { return !gui::FormExists(form); }, 5000));
    form = Open();
    ASSERT_NE(form, nullptr);
    for (int i = 0; i < 5; ++i) AddReportRow(Row(5, "row " + std::to_string(i)));
    ASSERT_TRUE(traytest::PumpUntil([&] { return form->lvReport->Count() == 5; }, 5000));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(form->lvReport->ItemText(i, 3), "row " + std::to_string(i));
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "mes_loaded"));
}

TEST_F(ReportRows, TheTailOfAGivenUpDumpNeverReachesTheNextList)
{
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    AddReportRow(Row(5, "old 0"));
    AddReportRow(Row(5, "old 1"));
    form->Close();
    ASSERT_TRUE(traytest::PumpUntil([&] { return !gui::FormExists(form); }, 5000));
    AddReportRow(Row(5, "old 2"));  // arrives while no window is open
    form = Open();
    ASSERT_NE(form, nullptr);
    AddReportRow(Row(5, "old 3"));
    AddReportRow(Row(5, "old 4"));
    for (int i = 0; i < 5; ++i) AddReportRow(Row(5, "new " + std::to_string(i)));
    ASSERT_EQ(TrayApp().ReportRows.RowCount, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(form->lvReport->ItemText(i, 3), "new " + std::to_string(i));
    EXPECT_EQ(form->sbReport->PanelText(0), GetLangText(kLangGui, "mes_loaded"));
    EXPECT_EQ(form->lvReport->ItemText(0, 1), EventCodeText(171));
    EXPECT_EQ(form->lvReport->ItemText(0, 2), EventCodeText(902));
    EXPECT_EQ(form->lvReport->ItemText(0, 0), "09.12.2026 10:00:00");
}

TEST_F(ReportRows, OnePropertiesWindowFollowsTheChosenRow)
{
    TfmReportFrm* form = Open();
    ASSERT_NE(form, nullptr);
    AddReportRow(Row(3, "C:\\Users\\Public\\a.exe", 171));
    AddReportRow(Row(3, "C:\\some.mbr", 110));
    AddReportRow(Row(3, "", 111));
    form->lvReport->Select(0);
    SendMessageA(form->lvReport->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    auto* properties = dynamic_cast<TfmRepProp*>(gui::FindForm(kReportPropertiesForm));
    ASSERT_NE(properties, nullptr);
    EXPECT_TRUE(properties->Visible());
    EXPECT_EQ(properties->lePath->Text(), "C:\\Users\\Public\\a.exe");
    EXPECT_TRUE(properties->btGoto->Visible());
    std::string place;
    EventPlaceText(171, place);
    EXPECT_EQ(properties->lbFrom->Caption(), place);
    EXPECT_EQ(properties->lbHappen->Caption(), EventCodeText(902));

    for (int row : {1, 2}) {
        form->lvReport->Select(row);
        form->OpenProperties();
        EXPECT_EQ(gui::FindForm(kReportPropertiesForm), properties) << "the open window takes the row";
        EXPECT_EQ(gui::LiveForms().size(), 2u);
        EXPECT_FALSE(properties->lePath->Visible()) << "kind " << properties->Row().A << " has no path to show";
        EXPECT_FALSE(properties->btGoto->Visible());
    }
}
