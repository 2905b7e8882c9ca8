// Drives the tray's first-run wizard from outside, as a user would, for the
// main job and the screenshots, and shows what it wrote:
//   qv_setupctl wizard SECONDS       waits until the wizard shows; prints its rectangle
//   qv_setupctl choose N             picks choice N of the wizard (0, 1, 2) and presses Start
//   qv_setupctl gone SECONDS         waits until the wizard has closed
//   qv_setupctl settings SECONDS     waits until the settings window shows; prints its rectangle
//   qv_setupctl puzzle               opens the puzzle of the settings window's about page
//                                    (a double click on its 42-pixel picture)
//   qv_setupctl values               prints the settings (HKLM\SOFTWARE\Quorvane), one
//                                    "name = value" a line, then their count
// Exit code 0 when the step worked.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND VisibleTopLevel(const char* className)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

HWND WaitForWindow(const char* className, int seconds)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = VisibleTopLevel(className)) return window;
        if (GetTickCount() - start >= static_cast<DWORD>(seconds) * 1000) return nullptr;
        Sleep(100);
    }
}

int PrintRect(HWND window)
{
    if (!window) return 1;
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("%ld,%ld,%ld,%ld\n", rect.left, rect.top, rect.right, rect.bottom);
    return 0;
}

// The wizard's controls as a user sees them: its choices are the radio
// buttons in order, Start is its default button.
std::vector<HWND> Children(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            if (IsWindowVisible(child)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

bool IsButtonOfType(HWND window, LONG type)
{
    char className[32] = {};
    GetClassNameA(window, className, sizeof(className));
    return lstrcmpiA(className, "Button") == 0 && (GetWindowLongA(window, GWL_STYLE) & BS_TYPEMASK) == type;
}

int Choose(int choice)
{
    HWND wizard = VisibleTopLevel("TfmWizard");
    if (!wizard) return 1;
    std::vector<HWND> radios;
    HWND start = nullptr;
    HWND lastPush = nullptr;  // controls come in creation order: Start is the last button
    for (HWND child : Children(wizard)) {
        if (IsButtonOfType(child, BS_AUTORADIOBUTTON) || IsButtonOfType(child, BS_RADIOBUTTON)) radios.push_back(child);
        if (IsButtonOfType(child, BS_DEFPUSHBUTTON)) start = child;
        if (IsButtonOfType(child, BS_PUSHBUTTON)) lastPush = child;
    }
    if (!start) start = lastPush;
    if (choice < 0 || choice >= static_cast<int>(radios.size()) || !start) return 1;
    SendMessageA(radios[choice], BM_CLICK, 0, 0);
    SendMessageA(start, BM_CLICK, 0, 0);
    return 0;
}

int Puzzle()
{
    HWND settings = VisibleTopLevel("TfmSetting");
    if (!settings) return 1;
    for (HWND child : Children(settings)) {
        RECT rect{};
        GetWindowRect(child, &rect);
        if (rect.bottom - rect.top != 42) continue;
        PostMessageA(child, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        return 0;
    }
    return 1;
}

int Gone(int seconds)
{
    const DWORD start = GetTickCount();
    while (VisibleTopLevel("TfmWizard")) {
        if (GetTickCount() - start >= static_cast<DWORD>(seconds) * 1000) return 1;
        Sleep(100);
    }
    return 0;
}

int Values()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvane", 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return 1;
    DWORD count = 0;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof(name);
        BYTE data[1024];
        DWORD dataSize = sizeof(data);
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data, &dataSize) != ERROR_SUCCESS) break;
        ++count;
        if (type == REG_DWORD && dataSize == 4)
            std::printf("%s = %ld\n", name, *reinterpret_cast<const LONG*>(data));
        else if (type == REG_SZ)
            std::printf("%s = \"%.*s\"\n", name, static_cast<int>(dataSize), reinterpret_cast<const char*>(data));
        else
            std::printf("%s = (%lu bytes)\n", name, static_cast<unsigned long>(dataSize));
    }
    RegCloseKey(key);
    std::printf("%lu values\n", static_cast<unsigned long>(count));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string verb = argc > 1 ? argv[1] : "";
    const int number = argc > 2 ? std::atoi(argv[2]) : 0;
    if (verb == "wizard") return PrintRect(WaitForWindow("TfmWizard", number));
    if (verb == "settings") return PrintRect(WaitForWindow("TfmSetting", number));
    if (verb == "choose") return Choose(number);
    if (verb == "gone") return Gone(number);
    if (verb == "values") return Values();
    if (verb == "puzzle") return Puzzle();
    std::fprintf(stderr, "usage: qv_setupctl wizard|settings|gone SECONDS | choose N | puzzle | values\n");
    return 2;
}
