// Drives the settings window of a running tray from inside its Wine desktop,
// for scripts:
//   qv_settingsctl open PAGE     the tray's menu command opens the window; then the
//                                tree's entry PAGE is selected; prints the window's rectangle
//   qv_settingsctl close         closes the window
// Exit code 0 when it worked.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr WPARAM kSettingsCommand = 2;  // the tray window's command for the settings

HWND WaitForWindow(const char* className, const char* title, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        HWND window = FindWindowA(className, title);
        if (window && IsWindowVisible(window)) return window;
        if (GetTickCount() - start >= ms) return nullptr;
        Sleep(100);
    }
}

struct Search {
    const char* Class;
    HWND Found;
};

BOOL CALLBACK FindChild(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    if (_stricmp(className, search->Class) != 0) return TRUE;
    search->Found = window;
    return FALSE;
}

HWND Child(HWND parent, const char* className)
{
    Search search{className, nullptr};
    EnumChildWindows(parent, FindChild, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

int Open(int page)
{
    HWND tray = FindWindowA("Quorvane", "Quorvane");
    if (!tray) return 1;
    PostMessageA(tray, WM_COMMAND, kSettingsCommand, 0);
    HWND settings = WaitForWindow("TfmSetting", nullptr, 60000);
    if (!settings) return 1;
    HWND tree = Child(settings, WC_TREEVIEWA);
    if (!tree) return 1;
    HTREEITEM item = TreeView_GetRoot(tree);
    for (int i = 0; i < page && item; ++i) item = TreeView_GetNextSibling(tree, item);
    if (!item) return 1;
    // Sent: the page has loaded once this returns.
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    RECT rect{};
    GetWindowRect(settings, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

int Close()
{
    HWND settings = FindWindowA("TfmSetting", nullptr);
    if (!settings) return 1;
    SendMessageA(settings, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string verb = argc > 1 ? argv[1] : "";
    if (verb == "open" && argc > 2) return Open(std::atoi(argv[2]));
    if (verb == "close") return Close();
    std::fprintf(stderr, "usage: qv_settingsctl open PAGE | close\n");
    return 2;
}
