// The pop-up window, the form manager and the gesture thread in the test
// program, with the hidden window and a stand-in service (FakeService): the
// killer order goes nowhere. A taskbar window made here lies along the bottom
// of the 1024 x 768 screen, 20 px high.
#include <gtest/gtest.h>

#include <memory>

#include "FakeService.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "fmMessage.h"
#include "qvApplication.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uKeyboardThread.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"

using namespace traytest;

namespace {

constexpr RECT kTaskbar{0, 748, 1024, 768};

HWND MakeTaskbar()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "Shell_TrayWnd";
    RegisterClassA(&windowClass);
    return CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, "Shell_TrayWnd", "", WS_POPUP, kTaskbar.left,
                           kTaskbar.top, kTaskbar.right - kTaskbar.left, kTaskbar.bottom - kTaskbar.top, nullptr,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

// The stand-in of the password dialog answers with this (6: the right password).
int gPassAnswer = IDCANCEL;
int gPassModeSeen = -1;

class PassStandIn : public gui::TForm {
public:
    PassStandIn() : TForm(kPasswordForm) {}

protected:
    void CreateParams(gui::TCreateParams& params) override
    {
        params.Style = WS_POPUP;
        params.ShowCommand = SW_SHOWNA;
        params.Width = params.Height = 10;
    }
    void OnCreate() override
    {
        gPassModeSeen = TrayApp().Session.PassMode;
        gui::PostToMainThread([this] {
            if (gPassAnswer == IDYES) ModalResult = IDYES;
            else Close();  // the user closed the dialog
        });
    }
};

class Popups : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = std::make_unique<FakeService>();
        ASSERT_TRUE(service_->Active());
        SetCurrentLanguage("Russian.lng");
        RegisterStandIns();
        RegisterMessageForm();
        gui::RegisterFormClass(kPasswordForm, [] { return std::make_unique<PassStandIn>(); });
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
        taskbar_ = MakeTaskbar();
        ASSERT_NE(taskbar_, nullptr);
        ForgetTaskbarMeasure();
    }
    static void TearDownTestSuite()
    {
        ResetOpened();
        if (TrayApp().Icon.Window) DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        DestroyWindow(taskbar_);
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterStandIns();
        gui::UnregisterFormClass(kPasswordForm);
        service_.reset();
    }
    void SetUp() override
    {
        PumpOnce();  // what the last test left queued (a closed pop-up's release) runs while its form exists
        ResetOpened();
        TrayApp().Popups.Stack = TPopupStack{};
        TrayApp().Popups.Answer = TAnswerState{};
        TrayApp().Popups.KillerRunning = false;
        TrayApp().Popups.ConfirmationPending = false;
        TrayApp().Popups.ServicePopupPending = false;
        TrayApp().Popups.LastEventKind = -1;
        service_->SetBool("show_tray_warn", true);
        service_->SetBool("kb_cross", true);
        service_->SetText("password", "");
        service_->SetBusy(false);
        service_->Clear();
    }

    static std::vector<TfmMessage*> Shown()
    {
        std::vector<TfmMessage*> list;
        for (gui::TForm* form : gui::LiveForms())
            if (auto* popup = dynamic_cast<TfmMessage*>(form); popup && popup->Visible()) list.push_back(popup);
        return list;
    }
    static TfmMessage* Newest()
    {
        auto list = Shown();
        return list.empty() ? nullptr : list.back();
    }
    static TfmMessage* Show(uint8_t style, int32_t kind, int32_t seconds, bool buttons, const std::string& text = "text",
                            int32_t value = -1)
    {
        TNotifyRecord record{};
        ResetNotifyRecord(record);
        record.Style = style;
        record.Text2.Set(text);
        record.Kind = kind;
        record.Seconds = seconds;
        record.Buttons = buttons;
        record.Value = value;
        const size_t before = Shown().size();
        ShowNotification(record);
        return Shown().size() > before ? Newest() : nullptr;
    }
    static RECT Rect(TfmMessage* popup)
    {
        RECT r{};
        GetWindowRect(popup->Handle(), &r);
        return r;
    }
    static LPARAM Centre(const RECT& r) { return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    static void Click(TfmMessage* popup, const RECT& part)
    {
        SendMessageA(popup->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(part));
        SendMessageA(popup->Handle(), WM_LBUTTONUP, 0, Centre(part));
        Pump(50);
    }
    static std::string Gui(const char* key) { return GetLangText(kLangGui, key).substr(0, kNotifyTextMax); }

    static std::unique_ptr<FakeService> service_;
    static HWND taskbar_;
};
std::unique_ptr<FakeService> Popups::service_;
HWND Popups::taskbar_ = nullptr;

TEST_F(Popups, StackAboveTheBottomTaskbar)
{
    TfmMessage* first = Show(nsWarning, 0, 0, false);
    ASSERT_NE(first, nullptr);
    const TTaskbarMeasure bar = TaskbarMeasure();
    ASSERT_TRUE(bar.Found);
    ASSERT_TRUE(EqualRect(&bar.Window, &kTaskbar)) << "the taskbar made here was measured";
    const RECT r = Rect(first);
    EXPECT_EQ(r.right - r.left, 401);
    EXPECT_EQ(r.bottom - r.top, 139);
    EXPECT_EQ(r.bottom, kTaskbar.top - 4) << "4 px above the taskbar";
    EXPECT_EQ(r.right, kTaskbar.right - 4) << "4 px from the right edge";

    HWND window = first->Handle();
    EXPECT_TRUE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_FALSE(GetWindowLongA(window, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME)) << "no border";
    EXPECT_EQ(GetWindow(window, GW_OWNER), gui::ApplicationWindow()) << "no taskbar button of its own";
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(GetLayeredWindowAttributes(window, nullptr, &alpha, &flags));
    EXPECT_EQ(alpha, 210);
    EXPECT_TRUE(flags & LWA_ALPHA);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    EXPECT_FALSE(PtInRegion(region, 1, 1)) << "rounded corners";
    EXPECT_FALSE(PtInRegion(region, 399, 137));
    EXPECT_TRUE(PtInRegion(region, 15, 1)) << "only the corners are cut";
    EXPECT_TRUE(PtInRegion(region, 200, 70));
    DeleteObject(region);

    std::vector<RECT> rects{r};
    for (int i = 1; i < 6; ++i) rects.push_back(Rect(Show(nsInformation, 0, 0, false)));
    EXPECT_EQ(rects[1].top, rects[0].top - 139) << "the second stands 139 px higher";
    EXPECT_EQ(rects[4].top, rects[0].top - 4 * 139);
    EXPECT_TRUE(EqualRect(&rects[5], &rects[0])) << "the sixth covers the first";
    EXPECT_EQ(TrayApp().Popups.Stack.Open, 6);

    // a flood stops at 21 open pop-ups
    for (int i = 0; i < 30; ++i) Show(nsInformation, 0, 0, false);
    EXPECT_EQ(Shown().size(), 21u);

    // all closed: the next one is next to the taskbar again
    for (TfmMessage* popup : Shown()) popup->Close();
    Pump(100);
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(TrayApp().Popups.Stack.Open, 0);
    TfmMessage* again = Show(nsInformation, 0, 0, false);
    RECT a = Rect(again);
    EXPECT_TRUE(EqualRect(&a, &r));
}

TEST_F(Popups, LookByStyleAndTimeOut)
{
    const DWORD start = GetTickCount();  // the time-out runs from the pop-up's making
    TfmMessage* warning = Show(nsWarning, 5, 2, false, "warning text");
    ASSERT_NE(warning, nullptr);
    EXPECT_EQ(warning->Color(), 0x0000FFu) << "red";
    EXPECT_EQ(warning->CaptionText(), Gui("fm_warn"));
    EXPECT_EQ(warning->Text(1), "warning text");
    EXPECT_FALSE(warning->ButtonsShown());
    EXPECT_TRUE(warning->TimerEnabled());
    EXPECT_EQ(warning->TimerInterval(), 2000u);
    char title[256] = {};
    GetWindowTextA(warning->Handle(), title, sizeof(title));
    EXPECT_EQ(std::string(title), Gui("fm_warn") + "\nwarning text");

    TfmMessage* info = Show(nsInformation, 0, 0, true);
    EXPECT_EQ(info->Color(), 0x008000u) << "green";
    EXPECT_EQ(info->CaptionText(), Gui("im_info"));
    EXPECT_FALSE(info->TimerEnabled()) << "no time-out: stays until answered";
    TfmMessage* plain = Show(nsPlain, 0, 0, true);
    EXPECT_EQ(plain->Color(), 0x800080u) << "purple";
    EXPECT_EQ(plain->CaptionText(), "");

    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(warning); }, 30000)) << "it closes by itself";
    EXPECT_GE(GetTickCount() - start, 1500u) << "not before its time";
    EXPECT_EQ(Shown().size(), 2u);
    EXPECT_TRUE(OpenedOf(kReportForm).empty()) << "running out is no yes";
}

TEST_F(Popups, YesAndNoLabelsTurnBlackUnderTheMouse)
{
    TfmMessage* popup = Show(nsPlain, 5, 0, true);
    HWND window = popup->Handle();
    EXPECT_EQ(popup->YesColor(), 0xFFFFFFu);
    EXPECT_EQ(popup->YesRect().left, 128);
    EXPECT_EQ(popup->NoRect().left, 204);
    SendMessageA(window, WM_MOUSEMOVE, 0, Centre(popup->YesRect()));
    EXPECT_EQ(popup->YesColor(), 0x000000u);
    EXPECT_EQ(popup->NoColor(), 0xFFFFFFu);
    SendMessageA(window, WM_MOUSEMOVE, 0, Centre(popup->NoRect()));
    EXPECT_EQ(popup->YesColor(), 0xFFFFFFu);
    EXPECT_EQ(popup->NoColor(), 0x000000u);
    SendMessageA(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(popup->NoColor(), 0xFFFFFFu) << "leaving turns it white again";
    SendMessageA(window, WM_MOUSEMOVE, 0, Centre(popup->YesRect()));
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(popup->YesColor(), 0xFFFFFFu);

    TfmMessage* plain = Show(nsPlain, 5, 0, false);
    SendMessageA(plain->Handle(), WM_MOUSEMOVE, 0, Centre(plain->YesRect()));
    EXPECT_EQ(plain->YesColor(), 0xFFFFFFu) << "hidden labels do not react";
    Click(plain, plain->YesRect());
    EXPECT_TRUE(gui::FormExists(plain) && plain->Visible());
}

TEST_F(Popups, DraggingTheSidePanelMovesThePopup)
{
    TfmMessage* popup = Show(nsInformation, 0, 0, false);
    HWND window = popup->Handle();
    const RECT before = Rect(popup);
    const RECT logo = popup->LogoRect();
    EXPECT_GE(logo.left, popup->PanelRect().left);
    const POINT grab{(logo.left + logo.right) / 2, (logo.top + logo.bottom) / 2};
    SetCursorPos(before.left + grab.x, before.top + grab.y);
    SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(grab.x, grab.y));
    SetCursorPos(before.left + grab.x - 150, before.top + grab.y - 200);
    SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(grab.x - 150, grab.y - 200));
    RECT moved = Rect(popup);
    EXPECT_EQ(moved.left, before.left - 150);
    EXPECT_EQ(moved.top, before.top - 200);
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(grab.x, grab.y));
    SetCursorPos(10, 10);
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    RECT after = Rect(popup);
    EXPECT_TRUE(EqualRect(&after, &moved)) << "released: it stays";
    EXPECT_TRUE(popup->Visible()) << "dragging is no answer";
}

TEST_F(Popups, KillerConfirmationAnswers)
{
    ShowKillerConfirmation();
    TfmMessage* popup = Newest();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Tag, 13);
    EXPECT_EQ(popup->Color(), 0x800080u);
    EXPECT_EQ(popup->Text(0), Gui("mes_kil5"));
    EXPECT_EQ(popup->Text(3), Gui("mes_canckil"));
    EXPECT_TRUE(popup->ButtonsShown());
    EXPECT_EQ(popup->TimerInterval(), 10000u);
    EXPECT_TRUE(TrayApp().Popups.ConfirmationPending.load());
    ShowKillerConfirmation();
    EXPECT_EQ(Shown().size(), 1u) << "one at a time";

    // its yes label cancels, and a new one can be opened at once
    Click(popup, popup->YesRect());
    EXPECT_FALSE(gui::FormExists(popup) && popup->Visible());
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
    ShowKillerConfirmation();
    popup = Newest();
    ASSERT_NE(popup, nullptr);
    Click(popup, popup->CrossRect());
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load()) << "the close mark cancels too";
    Pump(300);
    EXPECT_EQ(service_->CommandCount(7), 0u);
    EXPECT_FALSE(TrayApp().Popups.KillerRunning.load());

    // its no label starts the killer
    ShowKillerConfirmation();
    popup = Newest();
    Click(popup, popup->NoRect());
    EXPECT_TRUE(TrayApp().Popups.KillerRunning.load());
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(7) == 1; }, 15000));
    TfmMessage* notice = Newest();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->Text(1), Gui("mes_kilrrun"));
    EXPECT_EQ(notice->Text(2), Gui("mes_wait"));
    EXPECT_EQ(notice->CaptionText(), Gui("im_info"));
    EXPECT_EQ(notice->TimerInterval(), 7000u);
    EXPECT_FALSE(notice->ButtonsShown());
    ShowKillerConfirmation();
    EXPECT_EQ(Shown().size(), 1u) << "not while the killer runs";
    notice->Close();
    Pump(50);

    // and so does letting it run out
    TrayApp().Popups.KillerRunning = false;
    ShowKillerConfirmation();
    popup = Newest();
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(7) == 2; }, 13000));
    EXPECT_FALSE(gui::FormExists(popup) && popup->Visible());
    EXPECT_TRUE(TrayApp().Popups.KillerRunning.load());
}

TEST_F(Popups, YesOfOtherKindsRunsTheirActionWithTheValue)
{
    TfmMessage* popup = Show(nsWarning, 6, 8, true, "autorun", 44);
    Click(popup, popup->YesRect());
    EXPECT_EQ(OpenedOf(kAutorunDialogForm).size(), 1u);
    EXPECT_EQ(TrayApp().Popups.AnsweredValue.load(), 44);

    // a click is down and up on the same label
    popup = Show(nsWarning, 6, 8, true, "autorun", 45);
    SendMessageA(popup->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Centre(popup->NoRect()));
    SendMessageA(popup->Handle(), WM_LBUTTONUP, 0, Centre(popup->YesRect()));
    EXPECT_TRUE(popup->Visible());

    // closing clears the service's pending notice
    TrayApp().Popups.ServicePopupPending = true;
    popup->Close();
    EXPECT_FALSE(TrayApp().Popups.ServicePopupPending.load());
}

TEST_F(Popups, KillerConfirmationIsNeverHeldBackByTheGate)
{
    service_->SetBool("show_tray_warn", false);
    // the killer's own events (108) show nothing but leave their kind for the gate
    TMSlotMessage killed = MakeRequest(9, 108, "", "C:\\bad.exe");
    killed.B = 914;
    ShowEventPopup(killed, 0);
    EXPECT_TRUE(Shown().empty());
    ASSERT_EQ(TrayApp().Popups.LastEventKind.load(), 108);

    ShowKillerConfirmation();
    ASSERT_EQ(Shown().size(), 1u) << "the user's way out opens all the same";
    TfmMessage* confirmation = Newest();
    EXPECT_EQ(confirmation->Tag, 13);
    EXPECT_TRUE(TrayApp().Popups.ConfirmationPending.load());
    Click(confirmation, confirmation->NoRect());
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(7) == 1; }, 5000));
    ASSERT_EQ(Shown().size(), 1u) << "and so does the notice that the killer runs";
    EXPECT_EQ(Newest()->Text(1), Gui("mes_kilrrun"));
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
    Newest()->Close();
    Pump(50);

    // an event that pops up is held back once
    TMSlotMessage autorun = MakeRequest(9, 172, "", "C:\\bad.exe");
    autorun.B = 902;
    ShowEventPopup(autorun, 1);
    EXPECT_TRUE(Shown().empty());
    EXPECT_EQ(TrayApp().Popups.LastEventKind.load(), -1) << "the gate forgets the event it held back";
}

TEST_F(Popups, KillerConfirmationPendingOnlyWhileItsPopupExists)
{
    // twenty-one pop-ups open: no more notices, but the confirmation opens
    for (int i = 0; i < 25; ++i) Show(nsInformation, 0, 0, false);
    ASSERT_EQ(Shown().size(), 21u);
    ShowKillerConfirmation();
    ASSERT_EQ(Shown().size(), 22u);
    TfmMessage* confirmation = Newest();
    EXPECT_EQ(confirmation->Tag, 13);
    EXPECT_TRUE(TrayApp().Popups.ConfirmationPending.load());
    DestroyWindow(confirmation->Handle());  // gone without an answer (the end of the program)
    Pump(50);
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
    for (TfmMessage* popup : Shown()) popup->Close();
    Pump(100);

    // a pop-up that cannot be made leaves nothing pending: the next try opens
    gui::UnregisterFormClass(kMessageForm);
    ShowKillerConfirmation();
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
    RegisterMessageForm();
    ShowKillerConfirmation();
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_TRUE(TrayApp().Popups.ConfirmationPending.load());
    Click(Newest(), Newest()->CrossRect());
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load());
}

TEST_F(Popups, ServiceNoticeHeldBackByTheGateIsNotLeftPending)
{
    service_->SetBool("show_tray_warn", false);
    TrayApp().Popups.LastEventKind = 109;  // a quarantine just happened
    TMSlotMessage news = MakeRequest(15, 0, "", "http://example.invalid/news");
    HandleTrayMessage(news, -1);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(TrayApp().Popups.ServicePopupPending.load()) << "nothing on screen, nothing pending";
    HandleTrayMessage(news, -1);
    ASSERT_EQ(Shown().size(), 1u) << "the next notice shows";
    EXPECT_TRUE(TrayApp().Popups.ServicePopupPending.load());
}

TEST_F(Popups, BusyServiceNeitherFreezesNorSilencesTheTray)
{
    // the last answers (each the opposite of the value known at start)
    service_->SetBool("show_tray_warn", false);
    service_->SetBool("kb_F12", true);
    ASSERT_FALSE(TrayApp().Popups.WarnSwitch.Read());
    ASSERT_TRUE(TrayApp().Icon.KillerKeySwitch.Read());
    service_->SetBusy(true);  // running the killer: it answers nothing meanwhile
    DWORD start = GetTickCount();
    EXPECT_FALSE(TrayApp().Popups.WarnSwitch.Read()) << "the last answer stands in";
    EXPECT_TRUE(TrayApp().Icon.KillerKeySwitch.Read());
    EXPECT_LT(GetTickCount() - start, 8000u) << "far from a full reply wait of 15 s each";

    service_->SetBusy(false);
    service_->SetBool("show_tray_warn", true);
    ASSERT_TRUE(TrayApp().Popups.WarnSwitch.Read());
    service_->SetBusy(true);
    start = GetTickCount();
    SendMessageA(TrayApp().Icon.Window, WM_HOTKEY, kHotKeyKiller, 0);
    ASSERT_EQ(Shown().size(), 1u) << "Win+F12 opens the confirmation";
    TrayApp().Popups.LastEventKind = 108;  // the gate has to ask the busy service
    TfmMessage* confirmation = Newest();
    Click(confirmation, confirmation->NoRect());
    ASSERT_EQ(Shown().size(), 1u);
    EXPECT_EQ(Newest()->Text(1), Gui("mes_kilrrun")) << "the notice shows without the service's answer";
    EXPECT_LT(GetTickCount() - start, 10000u);
    service_->SetBusy(false);
    EXPECT_TRUE(PumpUntil([] { return service_->CommandCount(7) == 1; }, 5000));
}

TEST_F(Popups, TaskbarMeasuredAgainUntilFound)
{
    ShowWindow(taskbar_, SW_HIDE);
    DestroyWindow(taskbar_);
    ForgetTaskbarMeasure();
    TfmMessage* early = Show(nsInformation, 0, 0, false);
    ASSERT_NE(early, nullptr);
    RECT r = Rect(early);
    EXPECT_EQ(r.left, (1024 - 401) / 2) << "no taskbar yet: centred";
    early->Close();
    Pump(50);

    taskbar_ = MakeTaskbar();
    ASSERT_NE(taskbar_, nullptr);
    TfmMessage* later = Show(nsInformation, 0, 0, false);
    r = Rect(later);
    EXPECT_EQ(r.bottom, kTaskbar.top - 4) << "the taskbar came: placed by it";
    EXPECT_EQ(r.right, kTaskbar.right - 4);
}

TEST_F(Popups, StatusWindowOpenedTwiceThenAfterClosing)
{
    OpenStatusWindow();
    gui::TForm* first = gui::FindForm(kStatusForm);
    ASSERT_NE(first, nullptr);
    OpenStatusWindow();
    EXPECT_EQ(OpenedOf(kStatusForm).size(), 1u) << "the open one is brought to the front";
    EXPECT_EQ(gui::FindForm(kStatusForm), first);
    first->Close();
    OpenStatusWindow();
    EXPECT_EQ(OpenedOf(kStatusForm).size(), 2u) << "closed: a new one is built";
    EXPECT_TRUE(IsFormOpen(kStatusForm));
    EXPECT_EQ(gui::LiveForms().size(), 1u) << "the closed one was disposed of";
}

TEST_F(Popups, StopProtection)
{
    // no answer about the password: nothing stops
    service_.reset();
    HandleAnswer(2);
    Pump(300);
    EXPECT_TRUE(IsWindow(TrayApp().Icon.Window));
    EXPECT_FALSE(TakeQuit());
    service_ = std::make_unique<FakeService>();
    ASSERT_TRUE(service_->Active());

    // with a password, a cancelled dialog stops nothing
    service_->SetText("password", "0123456789ABCDEF0123456789ABCDEF");
    gPassAnswer = IDCANCEL;
    HandleAnswer(2);
    EXPECT_EQ(gPassModeSeen, kPassModeStop);
    Pump(300);
    EXPECT_EQ(service_->CommandCount(6), 0u);
    EXPECT_TRUE(IsWindow(TrayApp().Icon.Window));

    // without one it stops at once: the service is told, the tray ends
    service_->SetText("password", "");
    gPassModeSeen = -1;
    TakeQuit();
    HandleAnswer(2);
    EXPECT_EQ(gPassModeSeen, -1) << "nothing to ask";
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(6) == 1; }, 15000));
    EXPECT_TRUE(PumpUntil([] { return TakeQuit(); }, 15000));
    EXPECT_FALSE(IsWindow(TrayApp().Icon.Window)) << "the hidden window is gone";
    ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);

    // the right password stops it
    service_->SetText("password", "0123456789ABCDEF0123456789ABCDEF");
    gPassAnswer = IDYES;
    HandleAnswer(2);
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(6) == 2; }, 15000));
    EXPECT_TRUE(PumpUntil([] { return TakeQuit(); }, 15000));
    EXPECT_TRUE(gui::FindForm(kPasswordForm) == nullptr || !gui::FindForm(kPasswordForm)->Visible());
    ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
}

TEST_F(Popups, KillerAnswerAlwaysSendsAndMarksOnlyWhenDelivered)
{
    // marked running (perhaps by a forged 13/8): the order still goes, the
    // service's own flag decides
    TrayApp().Popups.KillerRunning = true;
    TrayApp().Popups.ConfirmationPending = true;
    HandleAnswer(13);
    ASSERT_TRUE(PumpUntil([] { return service_->CommandCount(7) == 1; }, 15000));
    EXPECT_FALSE(TrayApp().Popups.ConfirmationPending.load()) << "a later confirmation can open";

    // no service to take the order: not marked running, and the user is told
    TrayApp().Popups.KillerRunning = false;
    service_.reset();
    HandleAnswer(13);
    EXPECT_FALSE(TrayApp().Popups.KillerRunning.load());
    TfmMessage* notice = Newest();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->Text(1), Gui("mes_kilnoserv"));
    EXPECT_EQ(notice->CaptionText(), Gui("fm_warn"));
    service_ = std::make_unique<FakeService>();
    ASSERT_TRUE(service_->Active());
}

TEST_F(Popups, SystemMessageOpensOnlyAWebAddress)
{
    // a program path sent as the address of a system message
    const std::string program = ModuleFolder() + "qv_sysmsg_standin.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_cmdline.exe").c_str(), program.c_str(), FALSE));
    const std::string record = program + ".cmdline";
    DeleteFileA(record.c_str());
    TMSlotMessage message = MakeRequest(15, 0, "", program);
    message.Mess1.Set("text");
    HandleTrayMessage(message, -1);
    TfmMessage* popup = Newest();
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->Tag, 15);
    Click(popup, popup->YesRect());
    Sleep(1000);
    EXPECT_FALSE(FileExists(record)) << "the program did not run";
    DeleteFileA(program.c_str());
}

TEST_F(Popups, AutorunManagerGetsTheEvent)
{
    {
        SlotListener manager(kAutorunSlot);
        ASSERT_TRUE(manager.Active());
        OpenAutorunManager(172, "C:\\x.exe");
        TMSlotMessage ping, event;
        ASSERT_TRUE(manager.Next(ping));
        EXPECT_EQ(ping.Type, 13);
        EXPECT_EQ(ping.A, 2);
        ASSERT_TRUE(manager.Next(event));
        EXPECT_EQ(event.Type, 20);
        EXPECT_EQ(event.A, 172);
        EXPECT_EQ(event.Mess.Str(), "C:\\x.exe");
    }

    // none running: it is started with its own quoted path first, then slash,
    // blank, number, blank, quoted path
    ScratchDir folder;  // a folder of its own: other test programs start managers too
    TrayApp().Session.AutorunManagerFolder = folder.Path();
    const std::string standIn = folder / "qrv_autorun.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_cmdline.exe").c_str(), standIn.c_str(), FALSE));
    const std::string record = standIn + ".cmdline";
    ASSERT_EQ(GetAdminLevel(), 2) << "the tests run as administrator";
    OpenAutorunManager(172, "C:\\x.exe");
    const std::string expected = "\"" + standIn + "\" / 172 \"C:\\x.exe\"";
    EXPECT_TRUE(WaitUntil([&] { return ReadTextFile(record) == expected; }, 10000)) << ReadTextFile(record);
    TrayApp().Session.AutorunManagerFolder.clear();
    DeleteFileA(record.c_str());
    DeleteFileA(standIn.c_str());
}

TEST_F(Popups, ShellRestart)
{
    // stands in for Explorer: a waiting program, and a recorder as the command
    ScratchDir dir;
    const std::string shell = dir / "qv_shellstandin.exe";
    const std::string starter = dir / "qv_shellstart.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_waiter.exe").c_str(), shell.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(HelperPath("qv_cmdline.exe").c_str(), starter.c_str(), FALSE));
    TShellRestart how;
    how.ProcessName = "QV_SHELLSTANDIN.EXE";
    how.Command = "\"" + starter + "\" /restart";
    how.WaitMs = 4000;

    // already gone: started at once
    DWORD start = GetTickCount();
    EXPECT_EQ(RestartShell(how), TShellRestartResult::Started);
    EXPECT_LT(GetTickCount() - start, 3900u) << "not the 4 s wait for the old shell";
    EXPECT_TRUE(WaitUntil([&] { return FileExists(starter + ".cmdline"); }, 5000));
    // the recorder may still hold its file open for a moment
    EXPECT_TRUE(WaitUntil([&] { return DeleteFileA((starter + ".cmdline").c_str()) || !FileExists(starter + ".cmdline"); }, 5000));

    // ended, and a taskbar is there after the wait: nothing is started
    ChildProcess one, two;
    ASSERT_TRUE(one.Start(shell));
    ASSERT_TRUE(two.Start(shell));
    Sleep(300);
    start = GetTickCount();
    EXPECT_EQ(RestartShell(how), TShellRestartResult::CameBack);
    EXPECT_GE(GetTickCount() - start, 4000u);
    EXPECT_TRUE(WaitUntil([&] { return !one.Running() && !two.Running(); }, 15000)) << "every copy was ended";
    Sleep(300);
    EXPECT_FALSE(FileExists(starter + ".cmdline"));
    EXPECT_FALSE(KillProcessesByName("qv_shellstandin.exe")) << "none left to end";
}

TEST_F(Popups, GestureThreadOpensTheConfirmationOnce)
{
    TKeyboardThread thread;
    thread.Start();
    const RECT screen = VirtualScreenRect();
    const int midX = (screen.left + screen.right) / 2, midY = (screen.top + screen.bottom) / 2;
    // As a mouse does it: each move is an input event (which wakes a thread
    // that waits for a resting mouse to move) and the cursor stays where it went.
    auto moveTo = [](POINT p) {
        SetCursorPos(p.x, p.y);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = MOUSEEVENTF_MOVE;
        SendInput(1, &input, sizeof(input));
    };
    auto sweep = [&] {
        for (POINT p : {POINT{midX, screen.top}, POINT{midX, screen.bottom - 1}, POINT{screen.left, midY},
                        POINT{screen.right - 1, midY}}) {
            moveTo(p);
            Pump(80);
        }
    };
    // The mouse rests first: the thread has gone over to waiting for it.
    SetCursorPos(midX, midY);
    Pump(1000);
    sweep();
    ASSERT_TRUE(PumpUntil([] { return !Shown().empty(); }, 15000));
    Pump(1000);
    ASSERT_EQ(Shown().size(), 1u) << "opened once";
    EXPECT_EQ(Newest()->Tag, 13);
    EXPECT_TRUE(TrayApp().Popups.ConfirmationPending.load());
    Click(Newest(), Newest()->CrossRect());

    // the same sweep with kb_cross off opens nothing
    service_->SetBool("kb_cross", false);
    moveTo(POINT{midX, midY});
    Pump(1000);
    sweep();
    Pump(1000);
    EXPECT_TRUE(Shown().empty());
    thread.Terminate();
    thread.WaitFor(3000);
    EXPECT_EQ(service_->CommandCount(7), 0u);
}

}  // namespace
