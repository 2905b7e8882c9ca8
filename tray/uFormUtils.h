#pragma once
// The form manager: opens the tray's windows by class name (at most one of
// each kind), shows the notification record behind the tray-warning gate and
// acts on the answers of pop-ups. A window whose class is not registered
// (gui::RegisterFormClass) opens nothing, so every caller may ask for any
// window at any time. Main thread only, unless noted.
#include <atomic>
#include <cstdint>
#include <string>

#include "uMailSlots.h"
#include "uNotifyRecord.h"

// Window class names.
constexpr const char* kMessageForm = "TfmMessage";
constexpr const char* kStatusForm = "TfmStatusForm";
constexpr const char* kSettingsForm = "TfmSetting";
constexpr const char* kWizardForm = "TfmWizard";
constexpr const char* kReportForm = "TfmReportFrm";
constexpr const char* kHostsManagerForm = "TfmHostsManager";
constexpr const char* kTrustListForm = "TfmTrustList";
constexpr const char* kAutorunDialogForm = "TfmAutorunDlg";
constexpr const char* kSplashForm = "TfmSplashForm";

// The event kind of the last event pop-up, -1 when none is pending for the
// gate. Written by the receiver, read and reset by the gate.
extern std::atomic<int32_t> gLastEventKind;

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
void OpenAutorunDialog();
void ShowSplash();
// The outside autorun manager for an event kind and path (0 and empty: no event).
void OpenAutorunManager(int number, const std::string& path);

// The record handed to the trust-list window by the last OpenTrustList.
TMSlotMessage LastTrustListRecord();

// Copies the record into the pop-up values and opens a pop-up; its Tag
// becomes the record's Kind and its HelpContext the record's Value.
void ShowNotification(const TNotifyRecord& record);
// The values of the pop-up being built (read by the pop-up window).
TNotifyRecord PopupValues();

// The tray-warning gate: true when `show_tray_warn` is on or no event pop-up
// is pending; otherwise forgets the pending event kind and says no.
bool PopupAllowed();

// What a pop-up answered with yes asks for (answer kinds 2, 4, 5, 6, 13, 15).
void HandleAnswer(int32_t kind);

// Closes every open window of the tray (end of the program, language change).
void CloseAllWindows();

// Lets the notification area drop the icons of programs that have ended.
void SweepNotificationArea();

// Ends and restarts Explorer after the service ended programs; may block for
// 10 s. Any thread.
bool RestartExplorerChecked();

// Starts a program with the "runas" verb (an elevated copy of the tray).
bool RunElevated(const std::string& programPath, const std::string& parameters);
