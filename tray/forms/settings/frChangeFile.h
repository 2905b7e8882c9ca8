#pragma once
// Settings page 4: program start hijacks (Image File Execution Options),
// AppInit DLLs and, on Windows 5.x only, the protected system files.
#include "frSwitchPage.h"

class TfrmChangeFile : public TSwitchPage {
public:
    explicit TfrmChangeFile(gui::TContainer& host);
    // The system-files group shows, and its switches load, on Windows 5.x only.
    void LoadPage() override;
    gui::TGroupBox *gbShellSetting, *gbAppinit, *gbChangeFile;
    gui::TCheckBox *cbFileTaskMgr, *cbFileUserinit, *cbFileUserinitCache, *cbFileTaskMgrCache, *cbChangeAll,
        *cbChangeTaskman, *cbAppInitDlls;

private:
    // Removing every hijack includes the task manager's: its own box rests.
    void FollowChangeAll();
};

// Whether the system-files switches apply to a Windows major version.
bool SystemFilesGuarded(int majorVersion);

void RegisterChangeFilePage();
