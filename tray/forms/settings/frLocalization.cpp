#include "frLocalization.h"

#include "qvForms.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uLanguageChoice.h"
#include "uPassCheck.h"
#include "uTrayApplication.h"

namespace {

constexpr int kSwitchHeight = 22;

void LoadSwitch(gui::TCheckBox* box, const char* setting)
{
    bool value = false;
    ReadBoolSetting(setting, value);
    box->SetChecked(value);
}

}  // namespace

TfrLocal::TfrLocal(gui::TContainer& host) : TSettingsPage(host)
{
    gbLang = Body->Make<gui::TGroupBox>();
    gbLang->SetBounds(12, 8, 460, 132);
    lblang = gbLang->Make<gui::TLabel>();
    lblang->SetBounds(12, 26, 130, 14);
    cbLang = gbLang->Make<gui::TComboBox>();
    cbLang->SetBounds(150, 22, 180, 21);
    btLang = gbLang->Make<gui::TButton>();
    btLang->SetBounds(340, 20, 106, 25);
    btLang->OnClick = [this] { btLangClick(); };
    auto pair = [this](int top, gui::TLabel*& label, gui::TLabel*& value) {
        label = gbLang->Make<gui::TLabel>();
        label->SetBounds(12, top, 130, 14);
        value = gbLang->Make<gui::TLabel>();
        value->SetBounds(150, top, 296, 14);
        value->SetFont({11, true});
    };
    pair(58, lbCreator, lbIsCreator);
    pair(80, lbForVer, lbIsForVer);
    pair(102, lbLanguage, lbIsLang);

    gbKiller = Body->Make<gui::TGroupBox>();
    gbKiller->SetBounds(12, 148, 460, 236);
    pnSwitches = gbKiller->Make<gui::TPanel>();
    pnSwitches->SetBounds(8, 18, 444, 6 * kSwitchHeight);
    cbHideTray = SwitchBox(0, "show_tray_icon");
    cbSystemMess = SwitchBox(1, "view_mess");
    cbSplash = SwitchBox(2, "splash");
    cbHideWarning = SwitchBox(3, "show_tray_warn");
    cbF12 = SwitchBox(4, "kb_f12");
    cbCross = SwitchBox(5, "kb_cross");
    btPass = gbKiller->Make<gui::TButton>();
    btPass->SetBounds(12, 18 + 6 * kSwitchHeight + 4, 140, 25);
    btPass->OnClick = [this] { btPassClick(); };
    pnPassSwitch = gbKiller->Make<gui::TPanel>();
    pnPassSwitch->SetBounds(8, 18 + 6 * kSwitchHeight + 34, 444, kSwitchHeight);
    cbPassSet = pnPassSwitch->Make<gui::TCheckBox>();
    cbPassSet->SetBounds(4, 0, 430, 18);
    cbPassSet->OnClick = [this] { WriteBoolSetting("setting_protect", cbPassSet->Checked()); };
}

gui::TCheckBox* TfrLocal::SwitchBox(int row, const char* setting)
{
    gui::TCheckBox* box = pnSwitches->Make<gui::TCheckBox>();
    box->SetBounds(4, row * kSwitchHeight, 430, 18);
    box->OnClick = [box, setting] { WriteBoolSetting(setting, box->Checked()); };
    return box;
}

void TfrLocal::LoadPage()
{
    gbLang->SetCaption(GetLangText(kLangGui, "l_gb_local"));
    lblang->SetCaption(GetLangText(kLangGui, "l_lb_lang"));
    btLang->SetCaption(GetLangText(kLangGui, "l_bc"));
    lbCreator->SetCaption(GetLangText(kLangGui, "l_lb_cr"));
    lbForVer->SetCaption(GetLangText(kLangGui, "l_lb_fv"));
    lbLanguage->SetCaption(GetLangText(kLangGui, "l_lb_lng"));
    lbIsCreator->SetCaption(GetLangText(kLangInfo, "Creator"));
    lbIsForVer->SetCaption(GetLangText(kLangInfo, "Version"));
    lbIsLang->SetCaption(GetLangText(kLangInfo, "LanguageName"));
    gbKiller->SetCaption(GetLangText(kLangGui, "l_kil"));
    cbHideTray->SetCaption(GetLangText(kLangGui, "l_tray"));
    cbSystemMess->SetCaption(GetLangText(kLangGui, "l_sm"));
    cbSplash->SetCaption(GetLangText(kLangGui, "l_spl"));
    cbHideWarning->SetCaption(GetLangText(kLangGui, "l_show_warn"));
    cbF12->SetCaption(GetLangText(kLangGui, "l_f12"));
    cbCross->SetCaption(GetLangText(kLangGui, "l_cross"));
    btPass->SetCaption(GetLangText(kLangGui, "l_setpass"));
    cbPassSet->SetCaption(GetLangText(kLangGui, "l_setting"));

    TStringList languages;
    GetLanguageList(languages);
    cbLang->Clear();
    for (const std::string& file : languages) cbLang->AddItem(file);
    cbLang->SetItemIndex(0);

    LoadSwitch(cbCross, "kb_cross");
    LoadSwitch(cbF12, "kb_f12");
    LoadSwitch(cbSplash, "splash");
    LoadSwitch(cbSystemMess, "view_mess");
    LoadSwitch(cbPassSet, "setting_protect");
    LoadSwitch(cbHideTray, "show_tray_icon");
    LoadSwitch(cbHideWarning, "show_tray_warn");
}

void TfrLocal::ApplyLock(bool unlocked)
{
    pnSwitches->SetEnabled(unlocked);
    pnPassSwitch->SetEnabled(unlocked);
}

void TfrLocal::btLangClick()
{
    const std::string chosen = cbLang->Text();
    if (SettingsPageLanguageAction(chosen, GetCurrentLanguage()) != TLanguageAction::Change) return;
    SendLanguageChange(chosen);
    CloseAllWindows();
}

void TfrLocal::btPassClick()
{
    gui::TForm* dialog = gui::CreateForm(kPasswordForm);
    if (!dialog) return;
    TrayApp().Session.PassMode = kPassSet;  // the dialog turns it into "delete" when a password is stored
    dialog->ShowModal();
    if (gui::FormExists(dialog)) gui::FreeForm(dialog);
}

void RegisterLocalPage()
{
    RegisterSettingsPage(kPageLocal, [](gui::TContainer& host) { return host.Make<TfrLocal>(); });
}
