#pragma once
// The tray's one application object: everything the tray keeps for its run
// lives here, with the model or the window unit that uses it. Threads (the
// receiver, the gesture thread) have owners of their own; nothing else in the
// tray outlives a call.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "qvHandles.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMailSlots.h"
#include "uPopupOwner.h"
#include "uTrayModels.h"

// What the receiver keeps from the service's messages for later. Any thread,
// under Lock.
struct TKeptMessages {
    std::mutex Lock;
    TMSlotMessage LastTrustRecord{};  // the service's last trust-list request
    TMSlotMessage TrustListRecord{};  // the request the open trust list shows
    TSystemMessage SystemMessage;
};

// The language in use and the texts loaded from it. Current and Folder
// under Lock; the texts are filled on the main thread.
struct TTrayLanguage {
    std::mutex Lock;
    std::string Current;
    std::string Folder;
    TGlobMes Texts;
};

// The hidden window: the tray icon, its menu and the shell's message.
struct TTrayIconState {
    std::atomic<HWND> Window{nullptr};  // also read by the receiver
    HMENU Menu = nullptr;
    UINT TaskbarCreatedMessage = 0;
    bool IconAdded = false;  // the last add was taken by the shell
    bool Quitting = false;   // main thread only
    TRememberedSwitch KillerKeySwitch{"kb_F12", false};  // Win+F12 opens the killer confirmation
};

// What the user did in this run, and where the tray's helpers live (tests
// point these at stand-ins).
struct TTraySession {
    int32_t PassMode = 0;           // the mode the password dialog is shown in
    bool SettingsUnlocked = true;   // the protected settings may change; set anew at every showing
    bool PuzzleSolved = false;      // the About page's puzzle
    bool ShowSplash = false;        // the splash is shown at this start
    std::atomic<bool> ShellRestartBusy{false};
    TShellRestart ExplorerRestart;  // what RestartExplorer restarts
    std::string ExplorerProgram = "explorer.exe";  // what is started for "/select"
    std::string AutorunManagerFolder;  // started from here when not running; empty: the tray's own folder
    std::string InternetCheckAddress;  // empty: the built-in address
    std::atomic<unsigned long> LastInternetStateSet{0};
    UniqueHandle InstanceMutex;  // "QuorvaneTray", held for the life of the process
};

struct TTrayApplication {
    TTrayCommands Actions;
    TPopupOwner Popups;
    TTrayEventQueue Events;
    TReportRows ReportRows;
    TTrustRowFeed TrustRows;
    TTrustFeed TrustFeed;
    THostsCopySession HostsCopy;
    TKeptMessages Kept;
    TTrayLanguage Language;
    TTrayIconState Icon;
    TTraySession Session;
};

// The one instance, made on first use.
TTrayApplication& TrayApp();
