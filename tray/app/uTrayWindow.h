#pragma once
// The tray's hidden window (class and title "Quorvane"): owner of the tray
// icon and its menu and receiver of the hot keys. Once it exists it runs the
// commands that the receiver and the windows ask for through TrayApp().Actions
// (as WM_COMMAND to itself, on its own thread while the caller waits), the
// service's quit and the end of the protection.
#include <windows.h>

#include <array>
#include <cstdint>
#include <string>

#include "uTrayModels.h"

constexpr const char* kTrayWindowClass = "Quorvane";

// Private messages.
constexpr UINT WM_TRAYICON = WM_USER + 1;  // 1025: the icon's mouse message in lParam

// WM_COMMAND ids are the TTrayCommand numbers (the menu uses the same); the
// window runs them for TrayApp().Actions too while it exists.

// Hot keys on the hidden window.
constexpr int kHotKeyKiller = 1;  // Win+F12
constexpr int kHotKeyF11 = 2;     // Win+F11, registered, no action

struct TTrayMenuItem {
    int Id;
    int Section;  // of the language file
    const char* Key;
};
extern const std::array<TTrayMenuItem, 8> kTrayMenuItems;

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
