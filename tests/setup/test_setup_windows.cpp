// The first-run wizard, the password dialog and the network, update,
// language and about pages, driven as a user would (messages to their
// controls) against a stand-in service that keeps settings and records every
// command in order.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "StandInService.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "WindowShot.h"
#include "fmPass.h"
#include "fmWizard.h"
#include "frAbout.h"
#include "frInet.h"
#include "frLocalization.h"
#include "frUpdate.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uPassCheck.h"
#include "uTrayApplication.h"
#include "uWizardPlan.h"

using namespace traytest;

namespace {

constexpr DWORD kWaitMs = 10000;
constexpr DWORD kNoAnswerMs = 40000;

std::vector<std::string> NamesOf(const std::vector<TMSlotMessage>& messages)
{
    std::vector<std::string> names;
    for (const TMSlotMessage& m : messages) names.push_back(m.Mess.Str());
    return names;
}

size_t CountOfType(const std::vector<TMSlotMessage>& messages, uint8_t type)
{
    size_t count = 0;
    for (const TMSlotMessage& m : messages) count += m.Type == type;
    return count;
}

HWND VisibleWindow(const char* className)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

// The stand-in handles its slot in order: once a read sent now is answered,
// everything sent before it has arrived.
bool CaughtUp()
{
    bool ignored = false;
    return ReadBoolSetting("qv_sync", ignored);
}

void Click(gui::TControl* control) { SendMessageA(control->Handle(), BM_CLICK, 0, 0); }

bool Shown(gui::TControl* control) { return IsWindowVisible(control->Handle()) != FALSE; }

// Clicks sent from another thread run inside the modal loop's wait for a
// posted message; one posted message lets the loop see that it is done.
void WakeModalLoop(gui::TForm& form)
{
    if (form.HandleAllocated()) PostMessageA(form.Handle(), WM_NULL, 0, 0);
}

// A form that hosts one settings page, as the settings window does.
class PageHost : public gui::TForm {
public:
    PageHost() : gui::TForm("QvTestPageHost") {}

protected:
    void CreateParams(gui::TCreateParams& params) override
    {
        params.Width = 487;
        params.Height = 470;
    }
};

class SetupWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = std::make_unique<StandInService>();
        ASSERT_TRUE(service_->Active()) << "the stand-in could not serve the service slot";
        SetCurrentLanguage("English.lng");
        RegisterStandIns();
        RegisterSetupForms();
        RegisterSettingsPages();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr))) << "no application window";
    }
    static void TearDownTestSuite()
    {
        ResetOpened();
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterSetupForms();
        UnregisterStandIns();
        service_.reset();
    }
    void SetUp() override
    {
        ResetOpened();
        SetCurrentLanguage("English.lng");
        service_->Forget();
        service_->SetText("language", "English.lng");
        service_->SetText("password", "");
        service_->KeepWrites(true);
        service_->Answer();
        service_->Clear();
    }
    void TearDown() override { ResetOpened(); }

    static TfmWizard* OpenedWizard()
    {
        OpenWizard();
        // The wizard's opening write comes in on the stand-in's own thread:
        // once it is in, a test that clears what was received sees only its own.
        EXPECT_TRUE(WaitUntil([] { return service_->Has("splash"); }, kWaitMs));
        return dynamic_cast<TfmWizard*>(gui::FindForm(kWizardForm));
    }

    template <class Page>
    Page* HostPage(int index)
    {
        host_ = std::make_unique<PageHost>();
        host_->Handle();
        Page* page = dynamic_cast<Page*>(CreateSettingsPage(index, *host_));
        if (page) {
            page->SetAlign(gui::TAlign::Client);
            host_->Show();
            host_->Realign();
        }
        return page;
    }

    // Runs `driver` on a thread of its own while the dialog is modal here.
    static int ShowPassDialog(int32_t mode, const std::function<void(TfmPass&)>& driver)
    {
        auto* dialog = dynamic_cast<TfmPass*>(gui::CreateForm(kPasswordForm));
        if (!dialog) return -1;
        TrayApp().Session.PassMode = mode;
        std::thread user([&] {
            // A read without an answer holds the dialog back for its full wait (about 15 s).
            if (WaitUntil([] { return VisibleWindow(kPasswordForm) != nullptr; }, kNoAnswerMs)) driver(*dialog);
            WakeModalLoop(*dialog);
        });
        const int result = dialog->ShowModal();
        user.join();
        gui::FreeForm(dialog);
        return result;
    }

    static std::unique_ptr<StandInService> service_;
    std::unique_ptr<PageHost> host_;
};

std::unique_ptr<StandInService> SetupWindows::service_;

}  // namespace

// --- first-run wizard ---

TEST_F(SetupWindows, WizardFirstChoiceWritesEverySwitchInOrderAndCloses)
{
    TfmWizard* wizard = OpenedWizard();
    ASSERT_NE(nullptr, wizard);
    HWND window = VisibleWindow(kWizardForm);
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(GetLangText(kLangGui, "w_mcap"), WindowText(window));
    // Centred on the desktop.
    RECT rect{}, desktop{};
    GetWindowRect(window, &rect);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    EXPECT_LE(std::abs((rect.left + rect.right) - (desktop.left + desktop.right)), 4);
    EXPECT_FALSE(Shown(wizard->Fields()));
    EXPECT_EQ(kChooseAll, wizard->Choice()->ItemIndex());
    // Creating it writes the splash switch and nothing else.
    ASSERT_TRUE(WaitUntil([] { return service_->Received().size() == 1; }, kWaitMs));
    EXPECT_EQ("splash", service_->Received()[0].Mess.Str());
    service_->Clear();

    Click(wizard->StartButton());
    ASSERT_TRUE(PumpUntil([] { return VisibleWindow(kWizardForm) == nullptr; }, kWaitMs));
    const TWizardBoxes unused{};
    const auto plan = WizardStartWrites(kChooseAll, unused, false);
    ASSERT_TRUE(WaitUntil([&] { return service_->Received().size() >= plan.size(); }, kWaitMs));
    const auto received = service_->Received();
    std::vector<std::string> planned;
    for (const auto& write : plan) planned.push_back(write.Name);
    EXPECT_EQ(planned, NamesOf(received));
    EXPECT_EQ(45u, CountOfType(received, 38));
    EXPECT_EQ(2u, CountOfType(received, 47));
    EXPECT_TRUE(service_->Bool("User_shell"));
    EXPECT_TRUE(service_->Bool("mbr_guard"));
    EXPECT_TRUE(service_->Bool("appinitdlls"));  // the first choice turns the files group on everywhere
    EXPECT_FALSE(service_->Bool("kb_cross"));    // the killer box was left unchecked
    EXPECT_TRUE(OpenedOf(kSettingsForm).empty());
}

TEST_F(SetupWindows, WizardThirdChoiceWritesEachGroupByItsBox)
{
    TfmWizard* wizard = OpenedWizard();
    ASSERT_NE(nullptr, wizard);
    SendMessageA(wizard->Choice()->ItemHandle(kChooseGroups), BM_CLICK, 0, 0);
    EXPECT_TRUE(Shown(wizard->Fields()));
    // Windows 6.1 under Wine: the files box is hidden and unchecked.
    EXPECT_FALSE(Shown(wizard->GroupBox(kGroupFiles)));
    Click(wizard->GroupBox(kGroupAutorun));  // off
    Click(wizard->GroupBox(kGroupHosts));    // off
    Click(wizard->KillerBanner());           // on
    service_->Clear();
    Click(wizard->StartButton());
    ASSERT_TRUE(PumpUntil([] { return VisibleWindow(kWizardForm) == nullptr; }, kWaitMs));
    ASSERT_TRUE(WaitUntil([] { return service_->Has("arn_disable_cmd"); }, kWaitMs));
    EXPECT_TRUE(service_->Bool("All_shell"));
    EXPECT_FALSE(service_->Bool("arn_all_reg"));
    EXPECT_FALSE(service_->Bool("mbr_guard"));
    EXPECT_TRUE(service_->Bool("hijack_all"));
    EXPECT_FALSE(service_->Bool("appinitdlls"));
    EXPECT_FALSE(service_->Bool("hosts_guard"));
    EXPECT_EQ(2u, CountOfType(service_->Received(), 47));  // the hosts integers whatever the box says
    EXPECT_TRUE(service_->Bool("kb_cross"));
    EXPECT_TRUE(service_->Bool("kb_F12"));
}

TEST_F(SetupWindows, WizardSecondChoiceOpensTheSettingsAtTheFirstPageWithoutGroups)
{
    TfmWizard* wizard = OpenedWizard();
    ASSERT_NE(nullptr, wizard);
    SendMessageA(wizard->Choice()->ItemHandle(kChooseSettings), BM_CLICK, 0, 0);
    EXPECT_FALSE(Shown(wizard->Fields()));
    Click(wizard->StartButton());
    ASSERT_TRUE(PumpUntil([] { return VisibleWindow(kWizardForm) == nullptr; }, kWaitMs));
    ASSERT_EQ(1u, OpenedOf(kSettingsForm).size());
    EXPECT_EQ(0, OpenedOf(kSettingsForm)[0].Tag);
    ASSERT_TRUE(WaitUntil([] { return service_->Has("arn_disable_cmd"); }, kWaitMs));
    EXPECT_FALSE(service_->Has("User_shell"));
    EXPECT_FALSE(service_->Has("hosts_guard"));
}

TEST_F(SetupWindows, WizardLanguageButtonRewritesTheSameLanguageAndChangesAnother)
{
    TfmWizard* wizard = OpenedWizard();
    ASSERT_NE(nullptr, wizard);
    gui::TComboBox* languages = wizard->LanguageBox();
    ASSERT_GE(languages->Count(), 2);
    EXPECT_EQ("English.lng", languages->Item(0));  // the current one first
    service_->Clear();
    Click(wizard->LanguageButton());
    ASSERT_TRUE(WaitUntil([] { return service_->Received().size() == 1; }, kWaitMs));
    EXPECT_EQ(39, service_->Received()[0].Type);
    EXPECT_TRUE(IsWindowVisible(wizard->Handle()));

    const int russian = static_cast<int>(SendMessageA(languages->Handle(), CB_FINDSTRINGEXACT, -1,
                                                      reinterpret_cast<LPARAM>("Russian.lng")));
    ASSERT_GE(russian, 0);
    SendMessageA(languages->Handle(), CB_SETCURSEL, russian, 0);
    Click(wizard->LanguageButton());
    ASSERT_TRUE(PumpUntil([] { return VisibleWindow(kWizardForm) == nullptr; }, kWaitMs));
    EXPECT_EQ("Russian.lng", service_->Text("language"));
    EXPECT_EQ("Russian.lng", GetCurrentLanguage());
}

TEST(SetupWithoutService, WizardSaysSoAndStaysOpenWhenTheServiceCannotBeReached)
{
    ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
    SetCurrentLanguage("English.lng");
    RegisterSetupForms();
    OpenWizard();
    auto* wizard = dynamic_cast<TfmWizard*>(gui::FindForm(kWizardForm));
    ASSERT_NE(nullptr, wizard);
    std::string boxText;
    HWND wizardWindow = wizard->Handle();
    std::atomic<bool> userDone{false};
    std::thread user([&] {
        HWND box = nullptr;
        // the box is found as soon as it exists; its text comes a moment later
        if (!WaitUntil(
                [&] {
                    box = nullptr;
                    while ((box = FindWindowExA(nullptr, box, "#32770", nullptr))) {
                        if (GetWindow(box, GW_OWNER) != wizardWindow) continue;
                        HWND label = nullptr;
                        while ((label = FindWindowExA(box, label, "Static", nullptr)))
                            if (GetWindowTextLengthA(label) > 0) boxText = WindowText(label);
                        return !boxText.empty() && IsWindowVisible(box);
                    }
                    return false;
                },
                kWaitMs))
            return;
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        userDone = true;
    });
    PostMessageA(wizard->StartButton()->Handle(), BM_CLICK, 0, 0);
    PumpUntil([&] { return userDone.load(); }, kWaitMs * 2);
    user.join();
    EXPECT_EQ(GetLangText(kLangGui, "w_noserv"), boxText);
    EXPECT_TRUE(IsWindowVisible(wizard->Handle()));
    ResetOpened();
    UnregisterSetupForms();
    gui::DoneApplication();
}

// --- password dialog ---

TEST_F(SetupWindows, PasswordIsSetAsTheUpperHexDigestOnlyWhenBothEntriesMatch)
{
    std::string caption, answer;
    bool repeatShown = false;
    int result = ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        caption = WindowText(dialog.Handle());
        repeatShown = IsWindowVisible(dialog.RepeatEdit()->Handle()) != FALSE;
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\xCF\xE0\xF0\xEE\xEB\xFC"));
        SendMessageA(dialog.RepeatEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("other"));
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(IDNO, result);
    EXPECT_EQ(GetLangText(kLangGui, "pass_setcap"), caption);
    EXPECT_TRUE(repeatShown);
    EXPECT_EQ(GetLangText(kLangGui, "pass_notset"), answer);
    EXPECT_EQ(0u, CountOfType(service_->Received(), 39));

    result = ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("\xCF\xE0\xF0\xEE\xEB\xFC"));
        SendMessageA(dialog.ShowPassword()->Handle(), BM_CLICK, 0, 0);  // shown: no repeat needed
        repeatShown = IsWindowVisible(dialog.RepeatEdit()->Handle()) != FALSE;
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_FALSE(repeatShown);
    EXPECT_EQ(GetLangText(kLangGui, "pass_set"), answer);
    EXPECT_EQ("08F8E03BD59A7C67DC44028B3E073D5E", service_->Text("password"));
}

TEST_F(SetupWindows, PasswordDialogDeletesAStoredPasswordOnlyWithIt)
{
    service_->SetText("password", "900150983cd24fb0d6963f7d28e17f72");  // "abc", stored in lower case
    std::string caption, answer;
    ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        caption = WindowText(dialog.Handle());
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abd"));
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(GetLangText(kLangGui, "pass_delcap"), caption);
    EXPECT_EQ(GetLangText(kLangGui, "pass_wrong"), answer);
    EXPECT_FALSE(service_->Text("password").empty());

    ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(GetLangText(kLangGui, "pass_del"), answer);
    EXPECT_TRUE(service_->Text("password").empty());
}

TEST_F(SetupWindows, PasswordDialogReportsAWriteThatDidNotTake)
{
    service_->KeepWrites(false);
    std::string answer;
    ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
        SendMessageA(dialog.RepeatEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(1u, CountOfType(service_->Received(), 39));
    EXPECT_EQ(GetLangText(kLangGui, "pass_notset"), answer);
}

TEST_F(SetupWindows, StoppingTheProtectionGoesThroughThePasswordWhenOneIsSet)
{
    service_->SetText("password", PasswordDigest("abc"));
    auto answerDialog = [](const char* password) {
        std::thread user([password] {
            HWND dialog = nullptr;
            if (!WaitUntil([&] { return (dialog = VisibleWindow(kPasswordForm)) != nullptr; }, kWaitMs)) return;
            TfmPass* form = nullptr;
            for (gui::TForm* live : gui::LiveForms())
                if (live->HandleAllocated() && live->Handle() == dialog) form = dynamic_cast<TfmPass*>(live);
            if (!form) return;
            SendMessageA(form->PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(password));
            SendMessageA(form->SetButton()->Handle(), BM_CLICK, 0, 0);
            if (IsWindowVisible(dialog)) SendMessageA(form->OkButton()->Handle(), BM_CLICK, 0, 0);
            WakeModalLoop(*form);
        });
        HandleAnswer(2);
        user.join();
        PumpUntil([] { return gui::FindForm(kPasswordForm) == nullptr; }, kWaitMs);  // released
    };
    auto stops = [] {
        size_t count = 0;
        for (const TMSlotMessage& m : service_->Received()) count += m.Type == 13 && m.A == 6;
        return count;
    };
    answerDialog("wrong");
    EXPECT_EQ(0u, stops());
    EXPECT_EQ(kPassStop, TrayApp().Session.PassMode);
    answerDialog("abc");
    EXPECT_TRUE(WaitUntil([&] { return stops() == 1; }, kWaitMs));
}

TEST_F(SetupWindows, PasswordDialogBelongsToTheWindowThatOpensItAndShowsAboveIt)
{
    auto owner = std::make_unique<PageHost>();
    SetWindowPos(owner->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    owner->Show();
    SetActiveWindow(owner->Handle());
    HWND seenOwner = nullptr;
    LONG exStyle = 0;
    ShowPassDialog(kPassSettings, [&](TfmPass& dialog) {
        seenOwner = GetWindow(dialog.Handle(), GW_OWNER);
        exStyle = GetWindowLongA(dialog.Handle(), GWL_EXSTYLE);
        PostMessageA(dialog.Handle(), WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(owner->Handle(), seenOwner);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
}

TEST_F(SetupWindows, PasswordDialogWithoutAnAnswerOffersNothingToSet)
{
    service_->Silence("password");  // every read of it waits out the full time
    std::string answer;
    ShowPassDialog(kPassSet, [&](TfmPass& dialog) {
        SendMessageA(dialog.PasswordEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
        SendMessageA(dialog.RepeatEdit()->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("abc"));
        SendMessageA(dialog.SetButton()->Handle(), BM_CLICK, 0, 0);
        answer = WindowText(dialog.AnswerLabel()->Handle());
        RedrawWindow(dialog.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        WindowShot shot;
        if (shot.Capture(dialog.Handle())) shot.SavePng(ArtifactsFolder() + "password-no-answer.png");
        SendMessageA(dialog.OkButton()->Handle(), BM_CLICK, 0, 0);
    });
    EXPECT_EQ(GetLangText(kLangGui, "pass_noserv"), answer) << "the service did not answer, the password is not wrong";
    EXPECT_EQ(0u, CountOfType(service_->Received(), 39));
}

// --- pages ---

TEST_F(SetupWindows, NetworkPageLoadsWithoutWritingAndWritesEachChangeOnce)
{
    service_->SetBool("hosts_guard", false);
    service_->SetBool("hosts_default", true);
    service_->SetInt("hosts_change", 2);
    service_->SetInt("hosts_delete", 5);  // no such rule
    auto* page = HostPage<TfrmInet>(kPageInet);
    ASSERT_NE(nullptr, page);
    page->LoadPage();
    EXPECT_EQ(4u, service_->ReadCount());
    EXPECT_TRUE(service_->Received().empty());
    EXPECT_FALSE(Shown(page->gbHostsSetting));  // also right after the first load
    EXPECT_EQ(2, page->rgChangeHosts->ItemIndex());
    EXPECT_EQ(-1, page->rgDelHosts->ItemIndex());
    EXPECT_FALSE(IsWindowEnabled(page->rgChangeHosts->ItemHandle(0)));

    Click(page->cbHostsGuard);
    EXPECT_TRUE(Shown(page->gbHostsSetting));
    Click(page->cbHostsDefault);
    EXPECT_TRUE(IsWindowEnabled(page->rgChangeHosts->ItemHandle(0)));
    EXPECT_EQ(2, page->rgChangeHosts->ItemIndex());
    SendMessageA(page->rgDelHosts->ItemHandle(1), BM_CLICK, 0, 0);
    ASSERT_TRUE(CaughtUp());
    const auto received = service_->Received();
    ASSERT_EQ(3u, received.size());
    EXPECT_EQ((std::vector<std::string>{"hosts_guard", "hosts_default", "hosts_delete"}), NamesOf(received));
    EXPECT_EQ(47, received[2].Type);
    EXPECT_EQ(1, received[2].A);
    EXPECT_TRUE(service_->Bool("hosts_guard"));
    EXPECT_FALSE(service_->Bool("hosts_default"));
}

TEST_F(SetupWindows, LanguagePageChangesTheLanguageByNameAndLocksOnlyItsSwitches)
{
    service_->SetBool("kb_cross", true);
    service_->SetBool("show_tray_icon", true);
    auto* page = HostPage<TfrLocal>(kPageLocal);
    ASSERT_NE(nullptr, page);
    page->LoadPage();
    EXPECT_EQ(7u, service_->ReadCount() - 1);  // the language list reads `language` too
    EXPECT_TRUE(service_->Received().empty());
    EXPECT_TRUE(page->cbCross->Checked());
    EXPECT_FALSE(page->cbF12->Checked());
    EXPECT_EQ("English.lng", page->cbLang->Item(0));
    EXPECT_EQ(GetLangText(kLangInfo, "LanguageName"), WindowText(page->lbIsLang->Handle()));

    page->ApplyLock(false);
    page->LoadPage();  // loading again keeps the lock
    for (gui::TControl* box : std::vector<gui::TControl*>{page->cbHideTray, page->cbSystemMess, page->cbSplash,
                                                          page->cbHideWarning, page->cbF12, page->cbCross,
                                                          page->cbPassSet})
        EXPECT_FALSE(IsWindowEnabled(box->Handle()));
    EXPECT_TRUE(IsWindowEnabled(page->cbLang->Handle()));
    EXPECT_TRUE(IsWindowEnabled(page->btLang->Handle()));
    EXPECT_TRUE(IsWindowEnabled(page->btPass->Handle()));
    page->ApplyLock(true);
    Click(page->cbF12);
    ASSERT_TRUE(WaitUntil([] { return service_->Bool("kb_f12"); }, kWaitMs));

    service_->Clear();
    Click(page->btLang);  // the current language: nothing
    ASSERT_TRUE(CaughtUp());
    EXPECT_TRUE(service_->Received().empty());
    const int russian = static_cast<int>(SendMessageA(page->cbLang->Handle(), CB_FINDSTRINGEXACT, -1,
                                                      reinterpret_cast<LPARAM>("russian.LNG")));
    ASSERT_GE(russian, 0);
    SendMessageA(page->cbLang->Handle(), CB_SETCURSEL, russian, 0);
    Click(page->btLang);
    ASSERT_TRUE(WaitUntil([] { return service_->Received().size() >= 2; }, kWaitMs));
    const auto received = service_->Received();
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ(16, received[0].Type);
    EXPECT_EQ("language", received[0].Mess.Str());
    EXPECT_EQ(5, received[0].A);
    EXPECT_EQ("Russian.lng", received[0].Data.Str());
    EXPECT_EQ(32, received[1].Type);
}

TEST_F(SetupWindows, UpdatePageShowsTheVersionAndWritesItsSwitches)
{
    service_->SetBool("vm_cd", true);
    auto* page = HostPage<TfrmUpdate>(kPageUpdate);
    ASSERT_NE(nullptr, page);
    page->LoadPage();
    EXPECT_EQ(2u, service_->ReadCount());
    EXPECT_FALSE(WindowText(page->lbVerCur->Handle()).empty());
    EXPECT_FALSE(page->cbUpdate->Checked());
    EXPECT_TRUE(page->cbUpdateCD->Checked());
    Click(page->cbUpdate);
    ASSERT_TRUE(WaitUntil([] { return service_->Bool("vm_prog"); }, kWaitMs));
    EXPECT_EQ(1u, service_->Received().size());
}

TEST_F(SetupWindows, AboutPageShowsItsTextOnceAndThePuzzleOpensClosesAndRetires)
{
    auto* page = HostPage<TfrmAbout>(kPageAbout);
    ASSERT_NE(nullptr, page);
    page->LoadPage();
    page->LoadPage();
    EXPECT_EQ(BarsToLineBreaks(GetLangText(kLangGui, "Ab_memo")), WindowText(page->meAboutMain->Handle()));
    EXPECT_FALSE(Shown(page->pnGame));

    auto doubleClick = [&] { SendMessageA(page->meAbout->Handle(), WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5)); };
    doubleClick();
    ASSERT_TRUE(Shown(page->pnGame));
    TGame15* game = page->CurrentGame();
    ASSERT_NE(nullptr, game);
    EXPECT_TRUE(page->EggTimerRunning());
    int hidden = 0;
    for (int n = 0; n < 16; ++n) hidden += !Shown(game->Button(n));
    EXPECT_EQ(1, hidden);
    // The grid: 46-pixel tiles 2 pixels apart.
    const RECT first = game->Button(0)->Bounds(), last = game->Button(15)->Bounds();
    EXPECT_EQ(2, first.left);
    EXPECT_EQ(2 + 3 * 48, last.left);
    EXPECT_EQ(46, last.bottom - last.top);

    doubleClick();  // closed unsolved: the game is discarded
    EXPECT_FALSE(Shown(page->pnGame));
    EXPECT_EQ(nullptr, page->CurrentGame());
    EXPECT_FALSE(page->EggTimerRunning());

    doubleClick();
    game = page->CurrentGame();
    ASSERT_NE(nullptr, game);
    std::array<uint8_t, 16> nearly{};
    for (int n = 0; n < 16; ++n) nearly[n] = static_cast<uint8_t>(n + 1);
    std::swap(nearly[14], nearly[15]);  // 15 one slide from home
    game->SetBoard(nearly);
    EXPECT_FALSE(Shown(game->Button(14)));
    SendMessageA(game->Button(15)->Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ("15", WindowText(game->Button(14)->Handle()));
    ASSERT_TRUE(PumpUntil([&] { return page->CurrentGame() == nullptr; }, kWaitMs));
    EXPECT_TRUE(Shown(page->imMe));
    EXPECT_TRUE(PuzzleSolved());
    doubleClick();  // retired for the rest of the run
    EXPECT_EQ(nullptr, page->CurrentGame());
    SendMessageA(page->imMe->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(Shown(page->pnGame));
}
