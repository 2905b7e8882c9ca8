#pragma once
// The tray's hidden window (class and title "Quorvane"): owner of the tray
// icon and its menu, receiver of the hot keys, and the one place where the
// tray's other threads and windows ask the main thread to act, by sending it
// the messages and commands below and waiting until they are handled.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "uGuiUtils.h"

constexpr const char* kTrayWindowClass = "Quorvane";

// Private messages.
constexpr UINT WM_TRAYICON = WM_USER + 1;    // 1025: the icon's mouse message in lParam
constexpr UINT WM_TRAYNOTIFY = WM_USER + 2;  // 1026: show the notification record, kind in wParam; 1 when shown
constexpr UINT WM_TRAYANSWER = WM_USER + 3;  // 1027: a pop-up's answer: kind in wParam, 100 in lParam for yes
constexpr UINT WM_TRAYCLOSED = WM_USER + 4;  // 1028: a pop-up closed: act on a yes

// WM_COMMAND ids (the menu uses the same numbers).
enum TTrayCommand : int {
    cmdStopProtection = 0,
    cmdReport = 1,
    cmdSettings = 2,
    cmdAutorunManager = 3,
    cmdKiller = 4,
    cmdTrustList = 5,
    cmdRebuildMenu = 6,
    cmdWizard = 9,
    cmdStatus = 10,
    cmdHostsCopy = 11,
    cmdHostsManager = 12,
};

// Hot keys on the hidden window.
constexpr int kHotKeyKiller = 1;  // Win+F12
constexpr int kHotKeyF11 = 2;     // Win+F11, registered, no action

struct TTrayMenuItem {
    int Id;
    int Section;  // of the language file
    const char* Key;
};
extern const std::array<TTrayMenuItem, 8> kTrayMenuItems;

// The answer of the last pop-up: written by 1027, read by 1028.
struct TAnswerState {
    int32_t Kind = 0;
    bool Yes = false;
    bool Answered = false;
    bool Closed = false;
};
extern TAnswerState gAnswer;
// 1027: a pop-up answered; the killer confirmation (kind 13) counts every
// answer as yes, since its own yes label answers as kind 0.
void TakeAnswer(TAnswerState& state, WPARAM kind, LPARAM param);
// 1028: the answer kind to act on once the pop-up closed (0: nothing); the
// yes is used up.
int32_t AnswerToRun(TAnswerState& state);

extern std::atomic<HWND> gTrayWindow;  // also read by the receiver
extern HMENU gTrayMenu;
extern UINT gTaskbarCreatedMessage;
// `kb_F12`: Win+F12 opens the killer confirmation.
extern TRememberedSwitch gKillerKeySwitch;

// Registers the class and creates the window; nullptr when either fails.
HWND CreateTrayWindow(HINSTANCE instance);
LRESULT CALLBACK TrayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The eight items with the texts of the current language; nullptr when the
// menu or an item cannot be made.
HMENU BuildTrayMenu();
bool RebuildTrayMenu();

// Adds the icon when `show_tray_icon` is on (a failed request counts as off).
void AddTrayIcon();
void RemoveTrayIcon();
bool TrayIconAdded();  // the last add was taken by the shell

// The hosts copy that the tray asked the service for (command 11): the copy's
// answer is taken only for this name, once, and only while the hosts manager
// is not open.
void ExpectHostsCopy(const std::string& fileName);
// The name of the hosts copy the hosts manager works on.
std::string HostsCopyFileName();
// Takes the service's answer for a hosts copy: true when it is the copy the
// tray asked for (the expectation is then used up).
bool AcceptHostsCopy(const std::string& fileName);
