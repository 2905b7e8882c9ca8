#include "frUpdate.h"

#include "fmSetting.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"

TfrmUpdate::TfrmUpdate(gui::TContainer& host) : TSettingsPage(host)
{
    gbUpdate = Body->Make<gui::TGroupBox>();
    gbUpdate->SetBounds(12, 12, 460, 170);
    lbCurrent = gbUpdate->Make<gui::TLabel>();
    lbCurrent->SetBounds(12, 26, 150, 14);
    lbVerCur = gbUpdate->Make<gui::TLabel>();
    lbVerCur->SetBounds(170, 26, 200, 14);
    lbVerCur->SetFont({11, true});
    btGetUpdate = gbUpdate->Make<gui::TButton>();
    btGetUpdate->SetBounds(12, 52, 160, 25);
    btGetUpdate->OnClick = [this] { RefreshUpdateGroup(); };
    btSite = gbUpdate->Make<gui::TButton>();
    btSite->SetBounds(184, 52, 160, 25);
    btSite->OnClick = [] { OpenMakerDownloadPage(); };
    cbUpdate = gbUpdate->Make<gui::TCheckBox>();
    cbUpdate->SetBounds(12, 94, 436, 18);
    cbUpdate->OnClick = [this] { WriteBoolSetting("vm_prog", cbUpdate->Checked()); };
    cbUpdateCD = gbUpdate->Make<gui::TCheckBox>();
    cbUpdateCD->SetBounds(12, 120, 436, 18);
    cbUpdateCD->OnClick = [this] { WriteBoolSetting("vm_cd", cbUpdateCD->Checked()); };
}

void TfrmUpdate::LoadPage()
{
    lbVerCur->SetCaption(GetVersionText());
    RefreshUpdateGroup();
}

void TfrmUpdate::RefreshUpdateGroup()
{
    gbUpdate->SetCaption(GetLangText(kLangGui, "upd_gb_update"));
    lbCurrent->SetCaption(GetLangText(kLangGui, "upd_lb_curver"));
    btGetUpdate->SetCaption(GetLangText(kLangGui, "upd_bt_getupdate"));
    btSite->SetCaption(GetLangText(kLangGui, "upd_bt_site"));
    cbUpdate->SetCaption(GetLangText(kLangGui, "upd_a"));
    cbUpdateCD->SetCaption(GetLangText(kLangGui, "upd_c"));
    bool value = false;
    ReadBoolSetting("vm_prog", value);
    cbUpdate->SetChecked(value);
    value = false;
    ReadBoolSetting("vm_cd", value);
    cbUpdateCD->SetChecked(value);
}

void RegisterUpdatePage()
{
    RegisterSettingsPage(kPageUpdate, [](gui::TContainer& host) { return host.Make<TfrmUpdate>(); });
}
