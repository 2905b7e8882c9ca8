#pragma once
// Settings page 1, shell and Winlogon: the Winlogon values and policies the
// service restores, for the machine and for the user at the console.
#include "frSwitchPage.h"

class TfrmShell : public TSwitchPage {
public:
    explicit TfrmShell(gui::TContainer& host);
    gui::TGroupBox* gbAllWinlogon;
    gui::TGroupBox* gbShellUser;
    gui::TCheckBox *cbUShell, *cbUserinit, *cbUPoliceShell, *cbTaskman, *cbShell, *cbParazite, *cbMessage, *cbLoad,
        *cbGina, *cbPolicesShell;
};

void RegisterShellPage();
