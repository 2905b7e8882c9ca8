#pragma once
// Settings page 3, autoruns: the Startup folders and autorun keys the
// service guards, how it treats what it finds, and the boot record; with
// buttons for the trust list and the autorun manager.
#include "frSwitchPage.h"
#include "qvPageControl.h"

class TfrmAutorun : public TSwitchPage {
public:
    explicit TfrmAutorun(gui::TContainer& host);
    gui::TPageControl* pcAutorun;
    gui::TTabSheet *tsAll, *tsSys, *tsUser;
    gui::TGroupBox *gbAutorunFolder, *gbAutorunReg, *gbSetting, *gbMbr, *gbSystem, *gbUser;
    gui::TCheckBox *cbFolderAll, *cbFolderUser, *cbSystemReg, *cbUserReg, *cbUseTrustList, *cbSysRun, *cbSysRunOnce,
        *cbSysRunOnceEx, *cbSysPoliceRun, *cbUserRun, *cbUserRunOnce, *cbUserPoliceRun, *cbUserRunNT, *cbUserLoadNT,
        *cbCloseThread, *cbOffUnrec, *cbMBR;
    gui::TButton *btTrustList, *btAutorunMan;

    // The autorun manager, with no event.
    void btAutorunManClick();
};

void RegisterAutorunPage();
