#pragma once
// Settings page 6, the language and tray page TfrLocal: the language choice
// with a description of the current language file, the tray's switches, the
// emergency keys and the settings password. Without the settings password
// only the switches are locked: the language and the password button stay
// usable.
#include "frSettingsPage.h"

class TfrLocal : public TSettingsPage {
public:
    explicit TfrLocal(gui::TContainer& host);
    void LoadPage() override;
    void ApplyLock(bool unlocked) override;

    gui::TComboBox* cbLang = nullptr;
    gui::TButton* btLang = nullptr;
    gui::TLabel* lbIsCreator = nullptr;
    gui::TLabel* lbIsForVer = nullptr;
    gui::TLabel* lbIsLang = nullptr;
    gui::TCheckBox* cbHideTray = nullptr;
    gui::TCheckBox* cbSystemMess = nullptr;
    gui::TCheckBox* cbSplash = nullptr;
    gui::TCheckBox* cbHideWarning = nullptr;
    gui::TCheckBox* cbF12 = nullptr;
    gui::TCheckBox* cbCross = nullptr;
    gui::TCheckBox* cbPassSet = nullptr;
    gui::TButton* btPass = nullptr;
    // Hold the seven switches, so that a lock covers them whatever a load sets.
    gui::TPanel* pnSwitches = nullptr;
    gui::TPanel* pnPassSwitch = nullptr;

private:
    gui::TCheckBox* SwitchBox(int top, const char* setting);
    void btLangClick();
    void btPassClick();

    gui::TGroupBox* gbLang = nullptr;
    gui::TLabel* lblang = nullptr;
    gui::TLabel* lbCreator = nullptr;
    gui::TLabel* lbForVer = nullptr;
    gui::TLabel* lbLanguage = nullptr;
    gui::TGroupBox* gbKiller = nullptr;
};

void RegisterLocalPage();
