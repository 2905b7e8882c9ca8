#include "fmWizard.h"

#include <exception>
#include <memory>

#include "fmPass.h"
#include "qvCaught.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uLanguageChoice.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"
#include "uWizardPlan.h"

namespace {

constexpr int kClientWidth = 460;
constexpr int kClientHeight = 430;
constexpr int kMargin = 12;
constexpr int kInnerWidth = kClientWidth - 2 * kMargin;
constexpr DWORD kBeforeCloseMs = 100;
constexpr int kWindowsXpMajor = 5;

}  // namespace

TfmWizard::TfmWizard() : gui::TForm(kWizardForm) {}

void TfmWizard::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_BORDER;
    params.Width = kClientWidth;
    params.Height = kClientHeight;
    params.CenterOnDesktop = true;
}

gui::TCheckBox* TfmWizard::GroupBox(int group) const
{
    gui::TCheckBox* const boxes[kWizardGroupCount] = {cbWinlogon, cbAutorun, cbAdmins, cbHiJack, cbChange, cbInet};
    return group >= 0 && group < kWizardGroupCount ? boxes[group] : nullptr;
}

void TfmWizard::OnCreate()
{
    lbLang = Make<gui::TLabel>("Language:");
    lbLang->SetBounds(kMargin, 15, 70, 14);
    cbLang = Make<gui::TComboBox>();
    cbLang->SetBounds(90, 11, 200, 21);
    btLang = Make<gui::TButton>();
    btLang->SetBounds(300, 9, 100, 25);
    btLang->OnClick = [this] { btLangClick(); };

    pnWizard = Make<gui::TPanel>();
    pnWizard->SetBounds(0, 44, kClientWidth, 41);
    pnWizard->SetColor(gui::clMoneyGreen);
    pnWizard->SetFont({12, true});

    rgChoose = Make<gui::TRadioGroup>();
    rgChoose->SetBounds(kMargin, 95, kInnerWidth, 90);
    rgChoose->OnClick = [this] { rgChooseClick(); };

    gbFields = Make<gui::TGroupBox>();
    gbFields->SetBounds(kMargin, 192, kInnerWidth, 96);
    const int half = (kInnerWidth - 24) / 2;
    auto box = [this, half](int n) {
        gui::TCheckBox* check = gbFields->Make<gui::TCheckBox>();
        check->SetBounds(12 + (n % 2) * (half + 8), 22 + (n / 2) * 22, half, 18);
        check->SetChecked(true);
        return check;
    };
    cbWinlogon = box(0);
    cbAutorun = box(1);
    cbAdmins = box(2);
    cbHiJack = box(3);
    cbChange = box(4);
    cbInet = box(5);
    gbFields->SetVisible(false);

    gbKiller = Make<gui::TGroupBox>();
    gbKiller->SetBounds(kMargin, 296, kInnerWidth, 52);
    cbKillerBanner = gbKiller->Make<gui::TCheckBox>();
    cbKillerBanner->SetBounds(12, 22, kInnerWidth - 24, 18);

    const int buttonsTop = kClientHeight - 25 - kMargin;
    btHostsMan = Make<gui::TButton>();
    btHostsMan->SetBounds(kMargin, buttonsTop, 150, 25);
    btHostsMan->OnClick = [this] { btHostsManClick(); };
    btAutorunMan = Make<gui::TButton>();
    btAutorunMan->SetBounds(kMargin + 158, buttonsTop, 150, 25);
    btAutorunMan->OnClick = [this] { btAutorunManClick(); };
    btStart = Make<gui::TButton>();
    btStart->SetBounds(kClientWidth - kMargin - 120, buttonsTop, 120, 25);
    btStart->OnClick = [this] { btStartClick(); };
    DefaultButton = btStart;
    SendMessageA(btStart->Handle(), BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);  // drawn as the default

    TStringList languages;
    GetLanguageList(languages);
    for (const std::string& file : languages) cbLang->AddItem(file);
    cbLang->SetItemIndex(0);
    initForm();
}

void TfmWizard::initForm()
{
    WriteBoolSetting("splash", true);
    SetTexts();
    rgChoose->SetItems({GetLangText(kLangGui, "w_lst0"), GetLangText(kLangGui, "w_lst1"),
                        GetLangText(kLangGui, "w_lst2")});
    rgChoose->SetItemIndex(kChooseAll);
    // The files group guards copies that exist only on Windows XP.
    const bool filesGroup = GetOSMajorVersion() == kWindowsXpMajor;
    cbChange->SetVisible(filesGroup);
    cbChange->SetChecked(filesGroup);
}

void TfmWizard::SetTexts()
{
    SetCaption(GetLangText(kLangGui, "w_mcap"));
    pnWizard->SetCaption(GetLangText(kLangGui, "w_cap"));
    rgChoose->SetCaption(GetLangText(kLangGui, "w_gr_ch"));
    gbKiller->SetCaption(GetLangText(kLangGui, "w_k"));
    gbFields->SetCaption(GetLangText(kLangGui, "w_fld"));
    cbWinlogon->SetCaption(GetLangText(kLangGui, "w_wln"));
    cbAutorun->SetCaption(GetLangText(kLangGui, "w_arn"));
    cbAdmins->SetCaption(GetLangText(kLangGui, "w_adm"));
    cbHiJack->SetCaption(GetLangText(kLangGui, "w_hj"));
    cbChange->SetCaption(GetLangText(kLangGui, "w_ch"));
    cbInet->SetCaption(GetLangText(kLangGui, "w_inet"));
    btStart->SetCaption(GetLangText(kLangGui, "w_bs"));
    btHostsMan->SetCaption(GetLangText(kLangGui, "tray_hosts"));
    btAutorunMan->SetCaption(GetLangText(kLangGui, "arn_bam"));
    cbKillerBanner->SetCaption(GetLangText(kLangGui, "w_kb"));
    btLang->SetCaption(GetLangText(kLangGui, "l_bc"));
}

void TfmWizard::OnClose(gui::TCloseAction& action) { action = gui::TCloseAction::Free; }

void TfmWizard::rgChooseClick() { gbFields->SetVisible(rgChoose->ItemIndex() == kChooseGroups); }

void TfmWizard::btLangClick()
{
    try {
        const std::string chosen = cbLang->Text();
        const TLanguageAction action = WizardLanguageAction(chosen, GetCurrentLanguage());
        if (action == TLanguageAction::None) return;
        WriteStrSetting("language", chosen);
        SetCurrentLanguage(chosen);
        if (action != TLanguageAction::Change) return;
        Sleep(kBeforeCloseMs);
        TrayApp().Actions.Run(cmdRebuildMenu);
        CloseAllWindows();
    } catch (const std::exception& error) {
        ReportCaught("wizard: language not changed", error);
    }
}

void TfmWizard::btStartClick()
{
    const int choice = rgChoose->ItemIndex();
    if (choice < 0) return;
    TWizardBoxes boxes{};
    for (int group = 0; group < kWizardGroupCount; ++group) boxes[group] = GroupBox(group)->Checked();
    const std::vector<TSettingWrite> writes = WizardStartWrites(choice, boxes, cbKillerBanner->Checked());
    if (ApplySettingWrites(writes) != writes.size()) {
        ReportNoService();
        return;
    }
    if (choice == kChooseSettings) OpenSettings(0);
    Sleep(kBeforeCloseMs);
    Close();
}

void TfmWizard::ReportNoService()
{
    MessageBoxA(Handle(), GetLangText(kLangGui, "w_noserv").c_str(), GetLangText(kLangGui, "w_mcap").c_str(),
                MB_OK | MB_ICONWARNING);
}

void TfmWizard::btHostsManClick()
{
    TrayApp().Actions.Run(cmdHostsCopy);
}

void TfmWizard::btAutorunManClick() { OpenAutorunManager(0, ""); }

void RegisterSetupForms()
{
    gui::RegisterFormClass(kWizardForm, [] { return std::make_unique<TfmWizard>(); });
    gui::RegisterFormClass(kPasswordForm, [] { return std::make_unique<TfmPass>(); });
}

void UnregisterSetupForms()
{
    gui::UnregisterFormClass(kWizardForm);
    gui::UnregisterFormClass(kPasswordForm);
}
