#include "frChangeFile.h"

#include "uCommonUtils.h"

TfrmChangeFile::TfrmChangeFile(gui::TContainer& host) : TSwitchPage(host)
{
    gbShellSetting = AddGroup(*Body, "chf_gb_hj", 8, 2);
    const int appInitTop = 16 + GroupHeight(2);
    gbAppinit = AddGroup(*Body, "app_init_gb", appInitTop, 1);
    gbChangeFile = AddGroup(*Body, "chf_gb_cf", appInitTop + 8 + GroupHeight(1), 4);
    cbFileTaskMgr = AddSwitch(*gbChangeFile, 1, "chf_f_taskmgr", "file_taskman");
    cbFileUserinit = AddSwitch(*gbChangeFile, 3, "chf_f_userinit", "file_userinit");
    cbFileUserinitCache = AddSwitch(*gbChangeFile, 4, "chf_fc_userinit", "file_userinit_cache");
    cbFileTaskMgrCache = AddSwitch(*gbChangeFile, 2, "chf_fc_taskmgr", "file_taskman_cache");
    cbChangeAll = AddSwitch(*gbShellSetting, 2, "chf_hj_all", "hijack_all");
    cbChangeTaskman = AddSwitch(*gbShellSetting, 1, "chf_hj_taskmgr", "hijack_taskman");
    cbAppInitDlls = AddSwitch(*gbAppinit, 1, "app_init_str", "appinitdlls");
    OnSwitchChanged = [this](gui::TCheckBox* box) {
        if (box == cbChangeAll) FollowChangeAll();
    };
}

bool SystemFilesGuarded(int majorVersion) { return majorVersion == 5; }

void TfrmChangeFile::LoadPage()
{
    LoadTexts();
    const bool files = SystemFilesGuarded(GetOSMajorVersion());
    gbChangeFile->SetVisible(files);
    if (files)
        for (gui::TCheckBox* box : {cbFileTaskMgr, cbFileUserinit, cbFileUserinitCache, cbFileTaskMgrCache})
            ReadSwitch(box);
    for (gui::TCheckBox* box : {cbChangeAll, cbChangeTaskman, cbAppInitDlls}) ReadSwitch(box);
    FollowChangeAll();
}

void TfrmChangeFile::FollowChangeAll() { cbChangeTaskman->SetEnabled(!cbChangeAll->Checked()); }

void RegisterChangeFilePage()
{
    RegisterSettingsPage(kPageChangeFile, [](gui::TContainer& host) { return host.Make<TfrmChangeFile>(); });
}
