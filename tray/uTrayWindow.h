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
constexpr UINT WM_TRAYICON = WM_USER + 1;  // 1025: the icon's mouse message in lParam

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
