// Looks at a running tray from inside a Wine desktop, for tests and scripts:
//   qv_trayctl [--desktop NAME] wait SECONDS   the hidden window exists (prints the tray's process id)
//   qv_trayctl [--desktop NAME] icon           the tray's icon is in the notification area
//   qv_trayctl [--desktop NAME] menu           opens the tray menu as a right click does, prints where
//   qv_trayctl quit                            tells the tray to end (Type 13, A 1)
//   qv_trayctl send TYPE [A [B [DATA]]]        sends a record to the tray's slot
//   qv_trayctl [--desktop NAME] killer         the tray menu's killer command (the confirmation)
//   qv_trayctl [--desktop NAME] popups [N]     prints the pop-ups' rectangles; with N, waits up
//                                              to 10 s until N are shown
//   qv_trayctl [--desktop NAME] closepopups    closes every pop-up without an answer
// Exit code 0 when the check holds.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "uMailSlots.h"

namespace {

HWND FindTray() { return FindWindowA("Quorvane", "Quorvane"); }

bool WaitFor(HWND& window, DWORD ms)
{
    DWORD start = GetTickCount();
    while (!(window = FindTray())) {
        if (GetTickCount() - start >= ms) return false;
        Sleep(100);
    }
    return true;
}

int Wait(int seconds)
{
    HWND tray = nullptr;
    if (!WaitFor(tray, static_cast<DWORD>(seconds) * 1000)) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(tray, &pid);
    std::printf("%lu\n", static_cast<unsigned long>(pid));
    return 0;
}

int Icon()
{
    HWND tray = FindTray();
    if (!tray) return 1;
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = tray;
    icon.uID = 0;
    icon.uFlags = NIF_TIP;
    lstrcpynA(icon.szTip, "Quorvane", sizeof(icon.szTip));
    // changing an icon succeeds only when the shell has that icon
    return Shell_NotifyIconA(NIM_MODIFY, &icon) ? 0 : 1;
}

HWND VisibleMenu()
{
    HWND menu = nullptr;
    while ((menu = FindWindowExA(nullptr, menu, "#32768", nullptr)))
        if (IsWindowVisible(menu)) return menu;
    return nullptr;
}

int Menu()
{
    HWND tray = FindTray();
    if (!tray) return 1;
    // near the notification area, where a right click on the icon would be
    RECT bar{};
    if (HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr)) GetWindowRect(taskbar, &bar);
    SetCursorPos(bar.right > 40 ? bar.right - 40 : 600, bar.top > 0 ? bar.top - 2 : 400);
    PostMessageA(tray, WM_USER + 1, 0, WM_RBUTTONUP);
    DWORD start = GetTickCount();
    HWND menu = nullptr;
    while (!(menu = VisibleMenu())) {
        if (GetTickCount() - start >= 5000) return 1;
        Sleep(100);
    }
    // The menu's items live in the tray's process (Wine keeps menus per
    // process), so only its window is seen from here.
    RECT rect{};
    GetWindowRect(menu, &rect);
    std::printf("%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

std::vector<HWND> Popups()
{
    std::vector<HWND> list;
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, "TfmMessage", nullptr)))
        if (IsWindowVisible(window)) list.push_back(window);
    return list;
}

int ListPopups(int wanted)
{
    DWORD start = GetTickCount();
    std::vector<HWND> list = Popups();
    while (wanted > 0 && static_cast<int>(list.size()) < wanted) {
        if (GetTickCount() - start >= 10000) return 1;
        Sleep(50);
        list = Popups();
    }
    for (HWND popup : list) {
        RECT rect{};
        GetWindowRect(popup, &rect);
        std::printf("%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    }
    return 0;
}

int ClosePopups()
{
    for (HWND popup : Popups()) PostMessageA(popup, WM_CLOSE, 0, 0);
    return 0;
}

// The taskbar's window rectangle; fails without a taskbar.
int Taskbar()
{
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT rect{};
    if (!taskbar || !GetWindowRect(taskbar, &rect) || IsRectEmpty(&rect)) return 1;
    std::printf("%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int Killer()
{
    HWND tray = FindTray();
    return tray && PostMessageA(tray, WM_COMMAND, 4, 0) ? 0 : 1;
}

int Send(int argc, char** argv, int i)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = static_cast<uint8_t>(std::atoi(argv[i]));
    if (argc > i + 1) message.A = std::atoi(argv[i + 1]);
    if (argc > i + 2) message.B = std::atoi(argv[i + 2]);
    if (argc > i + 3) message.Data.Set(argv[i + 3]);
    return SendToMailSlot(message, kTraySlot) ? 0 : 1;
}

int Quit()
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = 13;
    message.A = 1;
    return SendToMailSlot(message, kTraySlot) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    int i = 1;
    if (argc > 2 && std::strcmp(argv[1], "--desktop") == 0) {
        // the desktop appears a moment after its explorer starts
        HDESK desktop = nullptr;
        for (int tries = 0; !desktop && tries < 200; ++tries) {
            desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
            if (!desktop) Sleep(100);
        }
        if (!desktop || !SetThreadDesktop(desktop)) {
            std::fprintf(stderr, "no desktop %s\n", argv[2]);
            return 3;
        }
        i = 3;
    }
    std::string verb = argc > i ? argv[i] : "";
    setvbuf(stdout, nullptr, _IONBF, 0);
    if (verb == "wait") return Wait(argc > i + 1 ? std::atoi(argv[i + 1]) : 10);
    if (verb == "icon") return Icon();
    if (verb == "menu") return Menu();
    if (verb == "quit") return Quit();
    if (verb == "send" && argc > i + 1) return Send(argc, argv, i + 1);
    if (verb == "killer") return Killer();
    if (verb == "taskbar") return Taskbar();
    if (verb == "popups") return ListPopups(argc > i + 1 ? std::atoi(argv[i + 1]) : 0);
    if (verb == "closepopups") return ClosePopups();
    std::fprintf(stderr, "usage: qv_trayctl [--desktop NAME] wait SECONDS | icon | menu | quit | send TYPE [A [B [DATA]]]"
                         " | killer | taskbar | popups [N] | closepopups\n");
    return 2;
}
