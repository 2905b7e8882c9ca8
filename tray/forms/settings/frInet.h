#pragma once
// Settings page 7, the network page TfrmInet: the hosts-file guard (its
// switch, its rules and the button to the hosts manager) and a proxy tab that
// is never shown. Loading reads the switches; each change writes at once.
#include "frSettingsPage.h"
#include "qvPageControl.h"

class TfrmInet : public TSettingsPage {
public:
    explicit TfrmInet(gui::TContainer& host);
    void LoadPage() override;

    gui::TButton* btRunHostsMan = nullptr;
    gui::TCheckBox* cbHostsGuard = nullptr;
    gui::TGroupBox* gbHostsSetting = nullptr;
    gui::TCheckBox* cbHostsDefault = nullptr;
    gui::TRadioGroup* rgDelHosts = nullptr;
    gui::TRadioGroup* rgChangeHosts = nullptr;

private:
    void BuildHostsTab(gui::TTabSheet& sheet);
    void BuildProxyTab(gui::TTabSheet& sheet);
    void ShowHostsRules();
    void cbHostsGuardClick();
    void cbHostsDefaultClick();
    void cbProxyClick();
    void btProxySaveClick();

    gui::TPageControl* pcInet = nullptr;
    gui::TTabSheet* tsHosts = nullptr;
    gui::TTabSheet* tsProxy = nullptr;
    gui::TCheckBox* cbProxy = nullptr;
    gui::TCheckBox* cbSaveProxySetting = nullptr;
    gui::TGroupBox* gbProxy = nullptr;
    gui::TCheckBox* cbProxyEnable = nullptr;
    gui::TEdit* leProxyServer = nullptr;
    gui::TEdit* leProxyLocal = nullptr;
    gui::TButton* btProxySave = nullptr;
};

void RegisterInetPage();
