#pragma once
// The form manager: opens the tray's windows by class name (at most one of
// each kind), shows the notification record behind the tray-warning gate,
// acts on the answers of pop-ups, stops the protection, restarts Explorer and
// starts other programs. A window whose class is not registered
// (gui::RegisterFormClass) opens nothing, so every caller may ask for any
// window at any time. Main thread only, unless noted.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "uGuiUtils.h"
#include "uMailSlots.h"
#include "uNotifyRecord.h"
#include "uPopupOwner.h"
#include "uTrayApplication.h"

// Window class names.
constexpr const char* kMessageForm = "TfmMessage";
constexpr const char* kStatusForm = "TfmStatusForm";
constexpr const char* kSettingsForm = "TfmSetting";
constexpr const char* kWizardForm = "TfmWizard";
constexpr const char* kReportForm = "TfmReportFrm";
constexpr const char* kReportPropertiesForm = "TfmRepProp";
constexpr const char* kHostsManagerForm = "TfmHostsManager";
constexpr const char* kTrustListForm = "TfmTrustList";
constexpr const char* kAutorunDialogForm = "TfmAutorunDlg";
constexpr const char* kSplashForm = "TfmSplashForm";
constexpr const char* kBrowserForm = "TfmBrowser";
constexpr const char* kPasswordForm = "TfmPass";

constexpr const char* kAutorunManagerExe = "qrv_autorun.exe ";  // with its blank, as the manager is started
constexpr const char* kBrowserCaption = "Quorvane browser...";

// The password dialog's mode that confirms stopping the protection.
constexpr int32_t kPassModeStop = 2;

// What the settings window offers the manager: one page of its tree.
class TSettingsPages {
public:
    virtual void SelectPage(int page) = 0;

protected:
    ~TSettingsPages() = default;
};

// What the browser window offers the manager.
class TBrowserNavigation {
public:
    virtual void Navigate(const std::string& address) = 0;

protected:
    ~TBrowserNavigation() = default;
};

// True while a live, visible window of the class exists.
bool IsFormOpen(const char* className);

// Opening a window that is open already brings it to the front. A value that
// the window needs at start (settings page, hosts result code) is its Tag.
void OpenStatusWindow();
void OpenSettings(int page);  // page 0: as it was
void OpenWizard();
void OpenReport();
void OpenTrustList(const TMSlotMessage& record);
void OpenHostsManager(int resultCode);  // 777 copied, 1 copy failed, 666 no hosts file
void OpenBrowser(const std::string& address, int mode);  // 0 maximised, 1 normal 800 x 500
void OpenAutorunDialog();
void ShowSplash();

// The record handed to the trust-list window by the last OpenTrustList.
TMSlotMessage LastTrustListRecord();

// The answer kind of the killer confirmation.
constexpr int32_t kKillerConfirmationKind = proto::kAnswerKiller;

// Opens a pop-up with the record; its Tag becomes the record's Kind and its
// HelpContext the record's Value, and its answer comes back to the pop-up
// owner (a yes is acted on once the pop-up has closed). Nothing while more
// than kMaxOpenPopups are open, except the killer confirmation: it is the
// user's way out and always opens, and only a confirmation that really
// opened marks one pending. True when the pop-up is on screen.
bool ShowNotification(const TNotifyRecord& record);

// A record handed over by the receiver, the killer or the gesture: shown
// through the gate, except the killer confirmation, which is never held back
// (and uses up the pending event kind, so that the killer's own notices
// follow); true when a pop-up opened.
bool ShowRequestedNotification(const TNotifyRecord& record);

// What a pop-up answered with yes asks for (the answer kinds of proto::AnswerKind).
void HandleAnswer(int32_t kind);

// Asks the service to stop, gives up Win+F12 and ends the tray.
void StopProtection();

// Closes every open window of the tray (end of the program, language change).
void CloseAllWindows();

// Lets the notification area drop the icons of programs that have ended.
void SweepNotificationArea();

// Ends every process whose image (file name or whole text) is `name`, in any
// case; the result of the last attempt (false when none matched).
bool KillProcessesByName(const std::string& name);

enum class TShellRestartResult { Busy, CameBack, Started };
TShellRestartResult RestartShell(const TShellRestart& how);
// Ends and restarts Explorer after the service ended programs; blocks for up
// to 10 s. Any thread; a second restart while one waits does nothing.
void RestartExplorer();
bool RestartExplorerChecked();

// Starts a program with the "runas" verb (an elevated copy of the tray).
bool RunElevated(const std::string& programPath, const std::string& parameters);
// CreateProcess of the program; the command line it gets starts with the
// quoted program path, as a shell start gives it. Its process id, 0 on failure.
DWORD StartProcess(const std::string& programPath, const std::string& commandLine);
// The full command line StartProcess hands over.
std::string ProcessCommandLine(const std::string& programPath, const std::string& commandLine);

// The outside autorun manager for an event kind and path (0 and empty: no
// event): handed to the running manager through its slot, or started with
// the parameters AutorunManagerParameters gives. Any thread.
void OpenAutorunManager(int number, const std::string& path);
std::string AutorunManagerParameters(int number, const std::string& path);
