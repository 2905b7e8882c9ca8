// The status window against a stand-in service that answers chosen switches
// and counts the reads: ratings, colours (also as the screen shows them),
// clicks, the OEM labels, and the window's life.
#include <gtest/gtest.h>

#include <memory>

#include "SwitchService.h"
#include "TrayTestSupport.h"
#include "WindowShot.h"
#include "cryptograph.h"
#include "fmStatus.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"
#include "uViewForms.h"

using namespace traytest;

namespace {

// Records the commands the status window asks the hidden window for.
std::vector<WPARAM> gTrayCommands;
LRESULT CALLBACK RecordingTrayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) gTrayCommands.push_back(wParam);
    return DefWindowProcA(window, message, wParam, lParam);
}

class StatusWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = std::make_unique<SwitchService>();
        ASSERT_TRUE(service_->Active());
        SetCurrentLanguage("English.lng");
        RegisterStandIns();
        RegisterViewForms();  // the real windows over their stand-ins
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = RecordingTrayProc;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "QvRecordingTray";
        RegisterClassA(&windowClass);
        TrayApp().Icon.Window = CreateWindowExA(0, "QvRecordingTray", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
        TrayApp().Actions.OnCommand = [](int command, intptr_t) { gTrayCommands.push_back(static_cast<WPARAM>(command)); };
    }
    static void TearDownTestSuite()
    {
        ResetOpened();
        TrayApp().Actions.OnCommand = nullptr;
        DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterStandIns();
        service_.reset();
    }
    void SetUp() override
    {
        ResetOpened();
        gTrayCommands.clear();
        service_->SetOn({});
        service_->ResetCount();
    }
    static TfmStatusForm* OpenStatus()
    {
        OpenStatusWindow();
        auto* form = dynamic_cast<TfmStatusForm*>(gui::FindForm(kStatusForm));
        if (form) PumpUntil([&] { return form->Ratings() >= 1; }, 5000);
        return form;
    }
    static std::unique_ptr<SwitchService> service_;
};
std::unique_ptr<SwitchService> StatusWindow::service_;

const std::set<std::string> kAutorunsButUserGate = {
    "arn_all_folder",    "arn_user_folder", "arn_all_reg",      "arn_all_run",    "arn_all_runonce",
    "arn_all_runonceex", "arn_all_polices", "arn_user_run",     "arn_user_runonce", "arn_user_polices",
    "arn_user_ntrun",    "arn_user_ntload", "arn_close_thread"};

}  // namespace

TEST_F(StatusWindow, RatesEveryActivationWithTwentyReadsAndShowsTheColours)
{
    std::set<std::string> on = kAutorunsButUserGate;
    on.insert({"hosts_guard", "Polices_Taskmgr", "User_shell", "All_userinit", "User_PoliceShell"});
    on.erase("arn_all_reg");  // both gates closed: 3 of 12
    service_->SetOn(on);
    TfmStatusForm* form = OpenStatus();
    ASSERT_NE(form, nullptr);
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, kStatusClientWidth);
    EXPECT_EQ(client.bottom, kStatusClientHeight);
    ASSERT_TRUE(PumpUntil([&] { return service_->BoolReads() == 20 * form->Ratings(); }, 5000))
        << service_->BoolReads() << " reads for " << form->Ratings() << " ratings";

    struct Expected {
        TRatingArea Area;
        const char* Caption;
        COLORREF Colour;
    };
    const Expected expected[] = {{TRatingArea::Network, "100%", RGB(0, 192, 0)},
                                 {TRatingArea::Admin, "50%", RGB(0, 255, 255)},
                                 {TRatingArea::Shell, "30%", RGB(255, 255, 0)},
                                 {TRatingArea::Autoruns, "25%", RGB(255, 0, 0)},
                                 {TRatingArea::Files, "0%", RGB(255, 0, 0)}};
    SetForegroundWindow(form->Handle());
    RedrawWindow(form->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    // A point inside each panel's bevel, left of any text, as the screen shows
    // it; a loaded machine may take a while to paint them all.
    auto pointIn = [&](gui::TPanel* panel) {
        POINT at{4, kStatusRowHeight / 2};
        MapWindowPoints(panel->Handle(), form->Handle(), &at, 1);
        return at;
    };
    WindowShot shot;
    auto allPainted = [&] {
        if (!shot.Capture(form->Handle())) return false;
        for (const Expected& e : expected)
            for (gui::TPanel* panel : {form->Row(e.Area).Percent, form->Row(e.Area).Area}) {
                const POINT at = pointIn(panel);
                if (shot.ClientPixel(at.x, at.y) != e.Colour) return false;
            }
        return true;
    };
    PumpUntil(allPainted, 30000);  // a loaded machine paints late
    shot.SavePng(ArtifactsFolder() + "status-window.png");
    for (const Expected& e : expected) {
        const TfmStatusForm::TAreaRow& row = form->Row(e.Area);
        EXPECT_EQ(row.Percent->Caption(), e.Caption);
        EXPECT_EQ(row.Percent->Color(), e.Colour);
        EXPECT_EQ(row.Area->Color(), e.Colour);
        for (gui::TPanel* panel : {row.Percent, row.Area}) {
            const POINT at = pointIn(panel);
            EXPECT_EQ(shot.ClientPixel(at.x, at.y), e.Colour) << e.Caption << " panel at " << at.x << "," << at.y;
        }
    }

    // Switches changed meanwhile show at the next activation, read afresh.
    on.insert("arn_user_reg");
    service_->SetOn(on);
    const int ratings = form->Ratings();
    const int readsBefore = service_->BoolReads();
    SendMessageA(form->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(form->Ratings(), ratings + 1);
    EXPECT_EQ(form->Row(TRatingArea::Autoruns).Percent->Caption(), "67%");
    EXPECT_EQ(service_->BoolReads() - readsBefore, 25) << "the open gate's five sub-switches are asked too";
}

TEST_F(StatusWindow, ClicksOpenTheirWindowsAndPages)
{
    TfmStatusForm* form = OpenStatus();
    ASSERT_NE(form, nullptr);
    const std::pair<TRatingArea, int> pages[] = {{TRatingArea::Shell, 1}, {TRatingArea::Admin, 2},
                                                 {TRatingArea::Autoruns, 3}, {TRatingArea::Files, 4},
                                                 {TRatingArea::Network, 7}};
    for (const auto& [area, page] : pages) {
        SendMessageA(form->Row(area).Percent->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(form->Row(area).Percent->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        EXPECT_TRUE(OpenedOf(kSettingsForm).empty()) << "a percentage panel does nothing";
        SendMessageA(form->Row(area).Area->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageA(form->Row(area).Area->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        const auto opened = OpenedOf(kSettingsForm);
        ASSERT_FALSE(opened.empty());
        EXPECT_EQ(opened.back().Tag, page);
        ResetOpened();
        form = OpenStatus();
        ASSERT_NE(form, nullptr);
    }

    SendMessageA(form->btTrust->Handle(), BM_CLICK, 0, 0);
    SendMessageA(form->btFirst->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(OpenedOf(kTrustListForm).size(), 1u);
    EXPECT_EQ(OpenedOf(kWizardForm).size(), 1u);
    SendMessageA(form->btHostsShow->Handle(), BM_CLICK, 0, 0);
    SendMessageA(form->btStop->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(gTrayCommands, (std::vector<WPARAM>{cmdHostsCopy, cmdStopProtection}));
}

TEST_F(StatusWindow, OemLabelsTakeTheSettingOrTheBuiltInText)
{
    service_->SetText("language", "RUSSIAN.LNG");
    service_->SetText("OEMinfo", "");
    service_->SetText("OEMurl", "https://oem.example/");
    TfmStatusForm* form = OpenStatus();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->lbOemInfo->Caption(), DefaultOemInfo("russian.lng"));
    EXPECT_NE(DefaultOemInfo("russian.lng"), DefaultOemInfo("English.lng"));
    EXPECT_EQ(form->lbOemUrl->Caption(), "https://oem.example/");
    form->Close();
    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(form); }, 5000));

    service_->SetText("language", "English.lng");
    service_->SetText("OEMinfo", "Serviced by OEM");
    service_->SetText("OEMurl", "");
    form = OpenStatus();
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->lbOemInfo->Caption(), "Serviced by OEM");
    EXPECT_EQ(form->lbOemUrl->Caption(), DefaultOemUrl());
    EXPECT_EQ(DefaultOemUrl().rfind("https://", 0), 0u);
}

TEST_F(StatusWindow, OneWindowAtATimeAndNoServiceMeansRedZero)
{
    TfmStatusForm* form = OpenStatus();
    ASSERT_NE(form, nullptr);
    OpenStatusWindow();
    EXPECT_EQ(gui::FindForm(kStatusForm), form);
    EXPECT_EQ(gui::LiveForms().size(), 1u);
    form->Close();
    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(form); }, 5000));

    service_.reset();  // the slot is gone: every read fails at once
    form = OpenStatus();
    ASSERT_NE(form, nullptr);
    for (TRatingArea area : kRatingOrder) {
        EXPECT_EQ(form->Row(area).Percent->Caption(), "0%");
        EXPECT_EQ(form->Row(area).Percent->Color(), RGB(255, 0, 0));
    }
    EXPECT_TRUE(form->lbOemInfo->Caption().empty()) << "an unanswered read keeps the label empty";
    service_ = std::make_unique<SwitchService>();
}
