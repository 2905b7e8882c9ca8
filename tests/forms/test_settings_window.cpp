// The settings window and the protection pages against a stand-in service
// that records every message: what a page load reads (and that it writes
// nothing), what one click writes, the password gate and the lock, the page
// selection through the form manager, and the window's geometry.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>

#include "SettingsRecorder.h"
#include "fmSetting.h"
#include "frAdmin.h"
#include "frAutoruns.h"
#include "frChangeFile.h"
#include "frShell.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"

namespace {

template <typename Cond>
bool PumpUntil(Cond cond, DWORD timeoutMs = 10000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        gui::ProcessMessages();
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(5);
    }
}

// The password dialog's stand-in: answers with gPassAnswer, notes its mode and owner.
int gPassAnswer = IDCANCEL;
int gPassShown = 0;
int gPassModeSeen = -1;
HWND gPassOwner = nullptr;

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
        ++gPassShown;
        gPassModeSeen = TrayApp().Session.PassMode;
        gui::PostToMainThread([this] {
            gPassOwner = GetWindow(Handle(), GW_OWNER);
            if (gPassAnswer == IDYES) ModalResult = IDYES;
            else Close();
        });
    }
};

bool Contains(const std::vector<std::string>& list, const std::string& name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

std::vector<gui::TCheckBox*> BoxesOf(gui::TContainer& container)
{
    std::vector<gui::TCheckBox*> boxes;
    for (const auto& control : container.Controls()) {
        if (auto* box = dynamic_cast<gui::TCheckBox*>(control.get())) boxes.push_back(box);
        if (auto* inner = dynamic_cast<gui::TContainer*>(control.get())) {
            auto more = BoxesOf(*inner);
            boxes.insert(boxes.end(), more.begin(), more.end());
        }
    }
    return boxes;
}

const std::vector<std::string> kShellReads = {"User_shell", "All_userinit", "User_PoliceShell", "All_taskman",
                                              "All_shell",  "All_parazite", "All_message",      "User_load",
                                              "All_gina",   "All_polices_shell"};
const std::vector<std::string> kAdminReads = {"Polices_Taskmgr", "Polices_Regedit"};
const std::vector<std::string> kAutorunReads = {
    "arn_all_folder", "arn_user_folder", "arn_all_reg",      "arn_user_reg",    "arn_use_trustlist", "arn_all_run",
    "arn_all_runonce", "arn_all_runonceex", "arn_all_polices", "arn_user_run",  "arn_user_runonce",  "arn_user_polices",
    "arn_user_ntrun",  "arn_user_ntload",   "arn_close_thread", "arn_disable_cmd", "mbr_guard"};
// Windows 6 and later: the system-files switches are not read.
const std::vector<std::string> kChangeFileReads = {"hijack_all", "hijack_taskman", "appinitdlls"};

class SettingsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = std::make_unique<SettingsRecorder>();
        ASSERT_TRUE(service_->Active());
        SetCurrentLanguage("English.lng");
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        RegisterSettingsForm();
    }
    static void TearDownTestSuite()
    {
        gui::FreeAllForms();
        gui::DoneApplication();
        gui::UnregisterFormClass(kSettingsForm);
        service_.reset();
    }
    void SetUp() override
    {
        gui::RegisterFormClass(kPasswordForm, [] { return std::make_unique<PassStandIn>(); });
        gPassAnswer = IDCANCEL;
        gPassShown = 0;
        gPassOwner = nullptr;
        service_->SetText("password", "");
        service_->SetBool("setting_protect", false);
    }
    void TearDown() override
    {
        if (gui::TForm* form = gui::FindForm(kSettingsForm)) gui::FreeForm(form);
        gui::UnregisterFormClass(kPasswordForm);
    }

    static TfmSetting* Open(int page)
    {
        OpenSettings(page);
        return dynamic_cast<TfmSetting*>(gui::FindForm(kSettingsForm));
    }
    static void SelectByUser(TfmSetting& window, int page)
    {
        SendMessageA(window.tvSetting->Handle(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(window.tvSetting->ItemHandle(page)));
    }
    static void SetAll(bool value)
    {
        for (const auto* list : {&kShellReads, &kAdminReads, &kAutorunReads, &kChangeFileReads})
            for (const std::string& name : *list) service_->SetBool(name, value);
    }

    static std::unique_ptr<SettingsRecorder> service_;
};

std::unique_ptr<SettingsRecorder> SettingsWindow::service_;

}  // namespace

TEST_F(SettingsWindow, EachPageLoadReadsItsSwitchesInOrderAndSendsNothing)
{
    SetAll(true);
    TfmSetting* window = Open(0);
    ASSERT_NE(window, nullptr);
    const std::vector<std::pair<int, const std::vector<std::string>*>> pages = {
        {kPageShell, &kShellReads}, {kPageAdmin, &kAdminReads}, {kPageAutoruns, &kAutorunReads},
        {kPageChangeFile, &kChangeFileReads}};
    for (int round = 0; round < 2; ++round)  // selecting a page again reads it again
        for (const auto& [page, reads] : pages) {
            service_->Clear();
            SelectByUser(*window, page);
            EXPECT_EQ(window->ShownPage(), page);
            // The stand-in takes messages in order: once it answered a read
            // of ours, a write the load sent after its last read has come too.
            TMSlotMessage settle = SettingRequest(proto::kReadBool, "qv_settle");
            ASSERT_TRUE(SendToMailSlotAndWait(kServiceSlot, settle));
            std::vector<std::string> expected = *reads;
            expected.push_back("qv_settle");
            EXPECT_EQ(service_->BoolReads(), expected) << "page " << page;
            EXPECT_TRUE(service_->Writes().empty()) << "page " << page;
            auto* switches = dynamic_cast<TSwitchPage*>(window->Page(page));
            for (gui::TCheckBox* box : BoxesOf(*switches)) {
                const bool read = Contains(*reads, switches->SettingOf(box));
                EXPECT_EQ(box->Checked(), read) << box->Name;
            }
            EXPECT_EQ(window->Page(page)->Heading->Caption(), window->tvSetting->ItemText(page));
        }
    // The system-files group is hidden on this Windows version.
    auto* files = dynamic_cast<TfrmChangeFile*>(window->Page(kPageChangeFile));
    EXPECT_FALSE(files->gbChangeFile->Visible());
    EXPECT_FALSE(SystemFilesGuarded(6));
    EXPECT_TRUE(SystemFilesGuarded(5));
}

TEST_F(SettingsWindow, OneClickWritesItsSwitchOnceWithTheNewState)
{
    SetAll(true);
    TfmSetting* window = Open(0);
    ASSERT_NE(window, nullptr);
    size_t clicked = 0;
    for (int page : {kPageShell, kPageAdmin, kPageAutoruns, kPageChangeFile}) {
        SelectByUser(*window, page);
        auto* switches = dynamic_cast<TSwitchPage*>(window->Page(page));
        for (gui::TCheckBox* box : BoxesOf(*switches)) {
            // The hidden system-files boxes, and the task manager's while every hijack goes.
            const auto* group = dynamic_cast<gui::TControl*>(&box->Parent());
            if (!group->Visible() || !IsWindowEnabled(box->Handle())) continue;
            service_->Clear();
            SendMessageA(box->Handle(), BM_CLICK, 0, 0);
            ASSERT_TRUE(PumpUntil([] { return !service_->Writes().empty(); })) << box->Name;
            Sleep(50);  // room for a second write, which must not come
            gui::ProcessMessages();
            const auto writes = service_->Writes();
            ASSERT_EQ(writes.size(), 1u) << box->Name;
            EXPECT_EQ(writes[0].Type, 38);
            EXPECT_EQ(writes[0].Mess.Str(), switches->SettingOf(box));
            EXPECT_FALSE(writes[0].Bool) << box->Name;
            ++clicked;
        }
    }
    // Every switch of the four pages but the four hidden system-files ones.
    EXPECT_EQ(clicked, kShellReads.size() + kAdminReads.size() + kAutorunReads.size() + kChangeFileReads.size());
}

TEST_F(SettingsWindow, RemovingEveryHijackRestsTheTaskManagersBoxWithoutClearingIt)
{
    SetAll(false);
    service_->SetBool("hijack_taskman", true);
    TfmSetting* window = Open(kPageChangeFile);
    ASSERT_NE(window, nullptr);
    auto* page = dynamic_cast<TfrmChangeFile*>(window->Page(kPageChangeFile));
    ASSERT_TRUE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
    SendMessageA(page->cbChangeAll->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
    EXPECT_TRUE(page->cbChangeTaskman->Checked());
    SendMessageA(page->cbChangeAll->Handle(), BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
    EXPECT_TRUE(page->cbChangeTaskman->Checked());
    // A change the service cannot receive is taken back, with what depends on it.
    service_.reset();
    SendMessageA(page->cbChangeAll->Handle(), BM_CLICK, 0, 0);
    EXPECT_FALSE(page->cbChangeAll->Checked());
    EXPECT_TRUE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
    service_ = std::make_unique<SettingsRecorder>();
    ASSERT_TRUE(service_->Active());
    SetAll(false);
    // After a load the state follows the stored switch.
    service_->SetBool("hijack_all", true);
    SelectByUser(*window, kPageShell);
    SelectByUser(*window, kPageChangeFile);
    EXPECT_FALSE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
}

TEST_F(SettingsWindow, PasswordGateLocksTheProtectedPagesUnlessTheRightPasswordCame)
{
    EXPECT_TRUE(SettingsGateAsks("pw", true, true));
    EXPECT_FALSE(SettingsGateAsks("pw", true, false));
    EXPECT_FALSE(SettingsGateAsks("", true, true));
    EXPECT_TRUE(SettingsGateAsks("pw", false, false));  // no answer: ask rather than open unlocked

    auto lockedPages = [](TfmSetting& window) {
        int locked = 0;
        for (int page : {kPageShell, kPageAdmin, kPageAutoruns, kPageChangeFile})
            if (!IsWindowEnabled(window.Page(page)->Handle())) ++locked;
        return locked;
    };
    service_->SetText("password", "pw");
    service_->SetBool("setting_protect", true);
    struct Case {
        int Answer;
        bool DialogRegistered;
        int Locked;
    };
    for (const Case& c : {Case{IDCANCEL, true, 4}, Case{IDYES, true, 0}, Case{IDYES, false, 4}}) {
        gPassAnswer = c.Answer;
        gPassShown = 0;
        if (!c.DialogRegistered) gui::UnregisterFormClass(kPasswordForm);
        TfmSetting* window = Open(kPageChangeFile);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(lockedPages(*window), c.Locked);
        EXPECT_EQ(TrayApp().Session.SettingsUnlocked, c.Locked == 0);
        if (c.DialogRegistered) {
            EXPECT_EQ(gPassShown, 1);
            EXPECT_EQ(gPassModeSeen, kPassModeOpenSettings);
            EXPECT_EQ(gPassOwner, window->Handle());
        }
        if (c.Locked) {
            // A load cannot enable a control of a locked page again.
            auto* page = dynamic_cast<TfrmChangeFile*>(window->Page(kPageChangeFile));
            SelectByUser(*window, kPageShell);
            SelectByUser(*window, kPageChangeFile);
            EXPECT_FALSE(IsWindowEnabled(page->cbChangeTaskman->Handle()));
            EXPECT_FALSE(IsWindowEnabled(page->cbAppInitDlls->Handle()));
        }
        // Another page asked for while open: no second question.
        OpenSettings(kPageShell);
        EXPECT_EQ(window->ShownPage(), kPageShell);
        EXPECT_EQ(gPassShown, c.DialogRegistered ? 1 : 0);
        gui::FreeForm(window);
        gui::RegisterFormClass(kPasswordForm, [] { return std::make_unique<PassStandIn>(); });
    }

    service_->SetBool("setting_protect", false);
    gPassShown = 0;
    TfmSetting* window = Open(kPageShell);
    EXPECT_EQ(gPassShown, 0);
    EXPECT_EQ(lockedPages(*window), 0);
}

TEST_F(SettingsWindow, WindowGeometryFollowsItsDesign)
{
    TfmSetting* window = Open(kPageAutoruns);
    ASSERT_NE(window, nullptr);
    HWND handle = window->Handle();
    RECT client{}, frame{}, desktop{};
    GetClientRect(handle, &client);
    GetWindowRect(handle, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    EXPECT_EQ(client.right, kSettingsClientWidth);
    EXPECT_EQ(client.bottom, kSettingsClientHeight);
    EXPECT_NEAR((frame.left + frame.right) / 2, (desktop.left + desktop.right) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (desktop.top + desktop.bottom) / 2, 1);
    EXPECT_TRUE(GetWindowLongPtrA(handle, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(window->tvSetting->Count(), kSettingsPageCount);
    EXPECT_EQ(window->tvSetting->ItemText(kPageInet), GetLangText(kLangGui, "Set_inet"));

    const RECT tree = window->tvSetting->Bounds();
    const RECT bar = window->sbBar->Bounds();
    const RECT page = window->Page(kPageAutoruns)->Bounds();
    const RECT heading = window->Page(kPageAutoruns)->Heading->Bounds();
    EXPECT_EQ(tree.left, 0);
    EXPECT_EQ(tree.right, kSettingsTreeWidth);
    EXPECT_EQ(bar.bottom, client.bottom);
    EXPECT_EQ(page.left, kSettingsTreeWidth);
    EXPECT_EQ(page.right, client.right);
    EXPECT_EQ(page.bottom, bar.top);
    EXPECT_EQ(heading.bottom - heading.top, 41);
    // Every group of the autorun page lies inside its tab sheet.
    auto* autoruns = dynamic_cast<TfrmAutorun*>(window->Page(kPageAutoruns));
    const RECT sheet = autoruns->tsAll->Bounds();
    for (gui::TGroupBox* group : {autoruns->gbAutorunFolder, autoruns->gbAutorunReg, autoruns->gbSetting, autoruns->gbMbr})
        EXPECT_LE(group->Bounds().bottom, sheet.bottom - sheet.top) << group->Caption();

    // Never smaller than its smallest size.
    SetWindowPos(handle, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(handle, &frame);
    EXPECT_EQ(frame.right - frame.left, kSettingsMinWidth);
    EXPECT_EQ(frame.bottom - frame.top, kSettingsMinHeight);
}
