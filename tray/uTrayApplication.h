#pragma once
// The tray's one application object: everything the tray keeps for its run
// lives here, the state of the models and of the units above them. The
// threads (the receiver, the gesture thread) have owners of their own, and
// the window frame keeps its own state (gui::Frame).
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "qvHandles.h"
#include "uGuiUtils.h"
#include "uPopupOwner.h"
#include "uTrayModels.h"

// The event texts of the language in use: one per key of kGlobMesFields
// (uLangUtils.h), in that order.
constexpr size_t kGlobMesCount = 57;
struct TGlobMes {
    std::array<std::string, kGlobMesCount> Texts;
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
    bool Quitting = false;   // the window was told to go: the icon opens nothing (main thread)
    TRememberedSwitch KillerKeySwitch{"kb_F12", false};  // Win+F12 opens the killer confirmation
};

// How the shell is restarted: end every process of that name, wait for the
// taskbar to come back by itself, and start one only when it does not (or
// when none could be ended).
struct TShellRestart {
    std::string ProcessName = "Explorer.exe";
    std::string Command = "Explorer.exe";
    DWORD WaitMs = 10000;
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
    // Opens an address in the tray's browser window (set by the program
    // once its windows can be made).
    std::function<void(const std::string& address, int mode)> OpenInBrowser;
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

// The one instance, made on first use and never destroyed: windows and
// threads still running at exit may use it.
TTrayApplication& TrayApp();
