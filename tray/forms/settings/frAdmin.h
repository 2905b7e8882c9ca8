#pragma once
// Settings page 2, administrative tools: the policies that block Task
// Manager and the Registry Editor.
#include "frSwitchPage.h"

class TfAdmin : public TSwitchPage {
public:
    explicit TfAdmin(gui::TContainer& host);
    gui::TGroupBox* gbAdminMain;
    gui::TCheckBox *cbTaskman, *cbRegedit;
};

void RegisterAdminPage();
