#include "fmSetting.h"

#include <shellapi.h>

#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMailSlots.h"
#include "uTrayApplication.h"

const char* const kMakerNotice = "Quorvane: protection against screen lockers";
const char* const kMakerDownloadAddress = "https://quorvane.org/download";

namespace {

// The tree's entries in page order: the text key of each.
constexpr const char* kEntryKeys[kSettingsPageCount] = {"Set_about",  "Set_shell", "Set_admin", "Set_autorun",
                                                        "Set_change", "Set_reg",   "Set_local", "Set_inet"};

constexpr int kModalYes = IDYES;

}  // namespace

bool SettingsGateAsks(const std::string& password, bool protectAnswered, bool protect)
{
    return !password.empty() && (protect || !protectAnswered);
}

TfmSetting::TfmSetting() : gui::TForm(kSettingsForm) {}

void TfmSetting::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_OVERLAPPEDWINDOW;
    params.ExStyle = WS_EX_TOPMOST;
    params.Width = kSettingsClientWidth;
    params.Height = kSettingsClientHeight;
    params.CenterOnDesktop = true;
    params.MinWidth = kSettingsMinWidth;
    params.MinHeight = kSettingsMinHeight;
    params.Caption = GetLangText(kLangGui, "set_cap");
}

void TfmSetting::OnCreate()
{
    sbBar = Make<gui::TStatusBar>();
    sbBar->AddPanel(kSettingsClientWidth, gui::TAlignment::Center);
    sbBar->SetPanelText(0, kMakerNotice);
    sbBar->SetAlign(gui::TAlign::Bottom);

    tvSetting = Make<gui::TTreeView>();
    tvSetting->SetBounds(0, 0, kSettingsTreeWidth, kSettingsClientHeight);
    tvSetting->SetAlign(gui::TAlign::Left);
    tvSetting->AllowCollapse = false;
    tvSetting->Clear();
    for (const char* key : kEntryKeys) tvSetting->AddItem(GetLangText(kLangGui, key));
    tvSetting->FullExpand();
    tvSetting->OnChange = [this](int index) { tvSettingChange(index); };

    for (int index = 0; index < kSettingsPageCount; ++index) {
        TSettingsPage* page = CreateSettingsPage(index, *this);
        if (!page) continue;
        page->SetVisible(false);
        page->SetAlign(gui::TAlign::Client);
        pages_[index] = page;
    }
    SetCaption(GetLangText(kLangGui, "set_cap"));
}

void TfmSetting::OnShow()
{
    // Shown before the question: the password dialog opens above it, and
    // whoever opens the settings meanwhile finds them open.
    ShowWindow(Handle(), SW_SHOW);
    PasswordGate();
    ApplyLock();
    // The entry asked for, or the first one, as the tree would pick on getting the focus.
    if (tvSetting->SelectedIndex() < 0) tvSetting->Select(Tag > 0 && Tag < kSettingsPageCount ? Tag : 0);
    tvSetting->SetFocus();  // first in the tab order
}

void TfmSetting::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

void TfmSetting::PasswordGate()
{
    TrayApp().Session.SettingsUnlocked = true;
    std::string password;
    ReadStrSetting("password", password);
    bool protect = false;
    const bool protectAnswered = ReadBoolSetting("setting_protect", protect);
    if (!SettingsGateAsks(password, protectAnswered, protect)) return;
    TrayApp().Session.SettingsUnlocked = false;
    gui::TForm* dialog = gui::CreateForm(kPasswordForm);
    if (!dialog) return;  // no way to ask: the settings stay locked
    dialog->SetOwnerWindow(Handle());
    TrayApp().Session.PassMode = kPassModeOpenSettings;
    const int result = dialog->ShowModal();
    if (result == kModalYes) TrayApp().Session.SettingsUnlocked = true;
    if (gui::FormExists(dialog)) gui::FreeForm(dialog);
}

void TfmSetting::ApplyLock()
{
    for (TSettingsPage* page : pages_)
        if (page) page->ApplyLock(TrayApp().Session.SettingsUnlocked);
}

void TfmSetting::tvSettingChange(int index)
{
    for (TSettingsPage* page : pages_)
        if (page) page->SetVisible(false);
    if (index < 0 || index >= kSettingsPageCount || !pages_[index]) return;
    TSettingsPage* page = pages_[index];
    page->LoadPage();
    page->SetVisible(true);
    page->Heading->SetCaption(tvSetting->ItemText(index));
}

void TfmSetting::SelectPage(int page)
{
    if (page >= 0 && page < tvSetting->Count()) tvSetting->Select(page);
}

TSettingsPage* TfmSetting::Page(int index) const
{
    return index >= 0 && index < kSettingsPageCount ? pages_[index] : nullptr;
}

int TfmSetting::ShownPage() const
{
    for (int index = 0; index < kSettingsPageCount; ++index)
        if (pages_[index] && pages_[index]->Visible()) return index;
    return -1;
}

void OpenMakerDownloadPage()
{
    ShellExecuteA(nullptr, "open", kMakerDownloadAddress, nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenTrustListFromSettings()
{
    TMSlotMessage record;
    ClearMailSlotMessage(record);
    OpenTrustList(record);
}

void RegisterSettingsForm()
{
    gui::RegisterFormClass(kSettingsForm, [] { return std::make_unique<TfmSetting>(); });
    RegisterSettingsPages();
}
