#include "frInet.h"

#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

void WriteChosenItem(const gui::TRadioGroup& group, const char* setting)
{
    if (group.ItemIndex() >= 0) WriteIntSetting(setting, group.ItemIndex());
}

bool ReadBool(const char* name)
{
    bool value = false;
    ReadBoolSetting(name, value);
    return value;
}

// An unanswered read counts as 0, the first rule.
int ReadInt(const char* name)
{
    int32_t value = 0;
    if (!ReadIntSetting(name, value)) value = 0;
    return value;
}

}  // namespace

TfrmInet::TfrmInet(gui::TContainer& host) : TSettingsPage(host)
{
    pcInet = Body->Make<gui::TPageControl>();
    pcInet->SetAlign(gui::TAlign::Client);
    tsHosts = pcInet->AddPage({});
    tsProxy = pcInet->AddPage({});
    BuildHostsTab(*tsHosts);
    BuildProxyTab(*tsProxy);
    pcInet->SetTabVisible(tsProxy, false);
    pcInet->SetActivePage(tsHosts);
}

void TfrmInet::BuildHostsTab(gui::TTabSheet& sheet)
{
    btRunHostsMan = sheet.Make<gui::TButton>();
    btRunHostsMan->SetBounds(12, 12, 200, 25);
    btRunHostsMan->OnClick = [] {
        TrayApp().Actions.Run(cmdHostsCopy);
    };
    cbHostsGuard = sheet.Make<gui::TCheckBox>();
    cbHostsGuard->SetBounds(12, 50, 440, 18);
    cbHostsGuard->OnClick = [this] { cbHostsGuardClick(); };

    gbHostsSetting = sheet.Make<gui::TGroupBox>();
    gbHostsSetting->SetBounds(12, 76, 448, 232);
    cbHostsDefault = gbHostsSetting->Make<gui::TCheckBox>();
    cbHostsDefault->SetBounds(12, 22, 420, 18);
    cbHostsDefault->OnClick = [this] { cbHostsDefaultClick(); };
    rgDelHosts = gbHostsSetting->Make<gui::TRadioGroup>();
    rgDelHosts->SetBounds(12, 48, 424, 70);
    rgDelHosts->OnClick = [this] { WriteChosenItem(*rgDelHosts, "hosts_delete"); };
    rgChangeHosts = gbHostsSetting->Make<gui::TRadioGroup>();
    rgChangeHosts->SetBounds(12, 126, 424, 92);
    rgChangeHosts->OnClick = [this] { WriteChosenItem(*rgChangeHosts, "hosts_change"); };
}

// Nothing shows this tab or loads its controls; what they write nobody reads.
void TfrmInet::BuildProxyTab(gui::TTabSheet& sheet)
{
    cbProxy = sheet.Make<gui::TCheckBox>("Use the system proxy");
    cbProxy->SetBounds(12, 12, 300, 18);
    cbProxy->OnClick = [this] { cbProxyClick(); };
    cbSaveProxySetting = sheet.Make<gui::TCheckBox>("Protect the proxy settings");
    cbSaveProxySetting->SetBounds(12, 36, 300, 18);
    cbSaveProxySetting->OnClick = [this] { WriteBoolSetting("protect_proxy", cbSaveProxySetting->Checked()); };
    gbProxy = sheet.Make<gui::TGroupBox>("Proxy");
    gbProxy->SetBounds(12, 62, 448, 130);
    cbProxyEnable = gbProxy->Make<gui::TCheckBox>("Proxy on");
    cbProxyEnable->SetBounds(12, 22, 300, 18);
    cbProxyEnable->OnClick = [this] { WriteBoolSetting("proxy_enabled", cbProxyEnable->Checked()); };
    leProxyServer = gbProxy->Make<gui::TEdit>();
    leProxyServer->SetBounds(12, 48, 300, 21);
    leProxyLocal = gbProxy->Make<gui::TEdit>();
    leProxyLocal->SetBounds(12, 76, 300, 21);
    btProxySave = gbProxy->Make<gui::TButton>("Save");
    btProxySave->SetBounds(324, 74, 100, 25);
    btProxySave->OnClick = [this] { btProxySaveClick(); };
}

void TfrmInet::LoadPage()
{
    pcInet->SetPageCaption(tsHosts, GetLangText(kLangGui, "hs_cap"));
    btRunHostsMan->SetCaption(GetLangText(kLangGui, "hm_cap"));
    cbHostsGuard->SetCaption(GetLangText(kLangGui, "hs_on"));
    gbHostsSetting->SetCaption(GetLangText(kLangGui, "hs_rules"));
    cbHostsDefault->SetCaption(GetLangText(kLangGui, "hs_aldef"));
    rgDelHosts->SetCaption(GetLangText(kLangGui, "hs_ifdel"));
    rgDelHosts->SetItems({GetLangText(kLangGui, "hs_todef"), GetLangText(kLangGui, "hs_restsave")});
    rgChangeHosts->SetCaption(GetLangText(kLangGui, "hs_change"));
    rgChangeHosts->SetItems({GetLangText(kLangGui, "hs_todef"), GetLangText(kLangGui, "hs_restsave"),
                             GetLangText(kLangGui, "hs_reslist")});

    cbHostsGuard->SetChecked(ReadBool("hosts_guard"));
    cbHostsDefault->SetChecked(ReadBool("hosts_default"));
    // A value outside the items chooses none.
    rgChangeHosts->SetItemIndex(ReadInt("hosts_change"));
    rgDelHosts->SetItemIndex(ReadInt("hosts_delete"));
    ShowHostsRules();
}

void TfrmInet::ShowHostsRules()
{
    gbHostsSetting->SetVisible(cbHostsGuard->Checked());
    rgDelHosts->SetEnabled(!cbHostsDefault->Checked());
    rgChangeHosts->SetEnabled(!cbHostsDefault->Checked());
}

void TfrmInet::cbHostsGuardClick()
{
    ShowHostsRules();
    WriteBoolSetting("hosts_guard", cbHostsGuard->Checked());
}

void TfrmInet::cbHostsDefaultClick()
{
    ShowHostsRules();
    WriteBoolSetting("hosts_default", cbHostsDefault->Checked());
}

void TfrmInet::cbProxyClick()
{
    const bool system = cbProxy->Checked();
    cbSaveProxySetting->SetVisible(!system);
    gbProxy->SetVisible(!system);
    WriteBoolSetting("user_proxy", system);
}

void TfrmInet::btProxySaveClick()
{
    WriteStrSetting("proxy_server", leProxyServer->Text());
    WriteStrSetting("proxy_local", leProxyLocal->Text());
}

void RegisterInetPage()
{
    RegisterSettingsPage(kPageInet, [](gui::TContainer& host) { return host.Make<TfrmInet>(); });
}
