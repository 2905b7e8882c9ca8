#pragma once
// Settings page 5, the update page TfrmUpdate: the program's version and two
// switches that ask to hear about new versions (stored only).
#include "frSettingsPage.h"

class TfrmUpdate : public TSettingsPage {
public:
    explicit TfrmUpdate(gui::TContainer& host);
    void LoadPage() override;
    // Texts of the update group and its two switches (also the Refresh button).
    void RefreshUpdateGroup();

    gui::TLabel* lbVerCur = nullptr;
    gui::TCheckBox* cbUpdate = nullptr;
    gui::TCheckBox* cbUpdateCD = nullptr;
    gui::TButton* btGetUpdate = nullptr;
    // Opens the maker's download page.
    gui::TButton* btSite = nullptr;

private:
    gui::TGroupBox* gbUpdate = nullptr;
    gui::TLabel* lbCurrent = nullptr;
};

void RegisterUpdatePage();
