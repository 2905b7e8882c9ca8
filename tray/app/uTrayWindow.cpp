#include "uTrayWindow.h"

#include <shellapi.h>

#include <mutex>

#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uKeyboardThread.h"
#include "uLangUtils.h"
#include "uNotifyRecord.h"
#include "uPopupOwner.h"
#include "uTrayApplication.h"

const std::array<TTrayMenuItem, 8> kTrayMenuItems = {{
    {cmdStatus, kLangGui, "tray_stat"},
    {cmdSettings, kLangGui, "tray_setting"},
    {cmdAutorunManager, kLangGui, "tray_autorun"},
    {cmdHostsCopy, kLangGui, "tray_hosts"},
    {cmdKiller, kLangGui, "tray_killer"},
    {cmdReport, kLangGui, "tray_events"},
    {cmdTrustList, kLangGui, "tray_trust"},
    {cmdStopProtection, kLangGui, "tray_stop"},
}};

namespace {

constexpr UINT kIconCallback = WM_TRAYICON;

NOTIFYICONDATAA IconRecord(HWND window)
{
    NOTIFYICONDATAA icon{};
    icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
    icon.hWnd = window;
    icon.uID = 0;
    icon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    icon.uCallbackMessage = kIconCallback;
    icon.hIcon = LoadIconA(GetModuleHandleA(nullptr), "TRAY");
    lstrcpynA(icon.szTip, "Quorvane", sizeof(icon.szTip));
    return icon;
}

void StopProtectionQuestion()
{
    std::string password;
    ReadStrSetting("password", password);
    TNotifyRecord question;
    ResetNotifyRecord(question);
    question.Style = nsPlain;
    question.Text2.Set(GetLangText(kLangGui, "mes_stop"));
    question.Buttons = true;
    // with a password the question waits for an answer
    question.Seconds = password.empty() ? 14 : 0;
    question.Kind = proto::kAnswerStopProtection;
    ShowNotification(question);
}

void AskForHostsCopy()
{
    if (IsFormOpen(kHostsManagerForm)) return;
    const std::string name = NewHostsCopyName();
    TrayApp().HostsCopy.Expect(name);
    TMSlotMessage message = proto::ToService(proto::kCopyHostsOut);
    message.Data.Set(name);
    SendToMailSlot(message, kServiceSlot);
}

void RunCommand(int id, LPARAM lParam)
{
    switch (id) {
    case cmdStopProtection: StopProtectionQuestion(); break;
    case cmdReport: HandleAnswer(proto::kAnswerReport); break;
    case cmdSettings: OpenSettings(0); break;
    case cmdAutorunManager: OpenAutorunManager(0, ""); break;
    case cmdKiller: ShowKillerConfirmation(); break;
    case cmdTrustList: {
        TMSlotMessage record;
        ClearMailSlotMessage(record);
        if (lParam != 0) record = TrayApp().Kept.LastTrustRecord();
        OpenTrustList(record);
        break;
    }
    case cmdRebuildMenu:
        if (!RebuildTrayMenu()) ExitProcess(0);  // the tray is of no use without its menu
        break;
    case cmdWizard: OpenWizard(); break;
    case cmdStatus: OpenStatusWindow(); break;
    case cmdHostsCopy: AskForHostsCopy(); break;
    case cmdHostsManager:
        if (!IsFormOpen(kHostsManagerForm)) OpenHostsManager(static_cast<int>(lParam));
        break;
    default: break;
    }
}

void IconMouseMessage(HWND window, LPARAM mouseMessage)
{
    // A click already queued behind the quit: a menu loop would take the
    // quit message for itself and the tray would never end.
    if (TrayApp().Icon.Quitting) return;
    switch (mouseMessage) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        SetForegroundWindow(window);
        OpenStatusWindow();
        break;
    case WM_RBUTTONUP: {
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(window);
        if (TrayApp().Icon.Quitting) break;
        TrackPopupMenu(TrayApp().Icon.Menu, 0, cursor.x, cursor.y, 0, window, nullptr);
        // lets the menu close when the user clicks elsewhere
        PostMessageA(window, WM_NULL, 0, 0);
        // The quit came while the menu was open: its loop may have eaten it.
        if (TrayApp().Icon.Quitting) PostQuitMessage(0);
        break;
    }
    default: break;
    }
}

}  // namespace

HWND CreateTrayWindow(HINSTANCE instance)
{
    WNDCLASSA windowClass{};
    windowClass.style = 0;
    windowClass.lpfnWndProc = TrayWndProc;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW);  // brush value 5
    windowClass.lpszClassName = kTrayWindowClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
    TrayApp().Icon.Quitting = false;
    TrayApp().Icon.Window = CreateWindowExA(WS_EX_APPWINDOW, kTrayWindowClass, kTrayWindowClass, WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, instance, nullptr);
    // The others' way to the commands and the quit: as messages to this window.
    TrayApp().Actions.OnCommand = [](int command, intptr_t param) {
        if (HWND tray = TrayApp().Icon.Window.load()) SendMessageA(tray, WM_COMMAND, static_cast<WPARAM>(command), param);
    };
    TrayApp().Actions.OnQuit = [] {
        if (HWND tray = TrayApp().Icon.Window.load()) SendMessageA(tray, WM_DESTROY, 0, 0);
    };
    TrayApp().Popups.HostAlive = [] { return TrayApp().Icon.Window.load() != nullptr; };
    TrayApp().Actions.OnStopProtection = [] {
        HWND tray = TrayApp().Icon.Window.load();
        UnregisterHotKey(tray, kHotKeyKiller);
        if (tray) SendMessageA(tray, WM_CLOSE, 0, 0);
    };
    return TrayApp().Icon.Window;
}

LRESULT CALLBACK TrayWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (TrayApp().Icon.TaskbarCreatedMessage != 0 && message == TrayApp().Icon.TaskbarCreatedMessage) {
        AddTrayIcon();
        return DefWindowProcA(window, message, wParam, lParam);
    }
    switch (message) {
    case WM_DESTROY:
        // Sent by the receiver on the service's quit, and again by the real
        // destruction once the message loop has ended.
        if (!TrayApp().Icon.Quitting) {
            TrayApp().Icon.Quitting = true;
            EndMenu();  // an open tray menu would keep its loop running past the quit message
            RemoveTrayIcon();
            CloseAllWindows();
        }
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        // no window opens on a tray that is going (a menu choice made at the moment of the quit)
        if (!TrayApp().Icon.Quitting) RunCommand(static_cast<int>(wParam & 0xFF), lParam);
        return 0;
    case WM_HOTKEY:
        if (!TrayApp().Icon.Quitting && wParam == kHotKeyKiller && TrayApp().Icon.KillerKeySwitch.Read()) ShowKillerConfirmation();
        return 0;
    case WM_TRAYICON: IconMouseMessage(window, lParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

HMENU BuildTrayMenu()
{
    HMENU menu = CreatePopupMenu();
    if (!menu) return nullptr;
    for (const TTrayMenuItem& item : kTrayMenuItems) {
        if (!AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(item.Id), GetLangText(item.Section, item.Key).c_str())) {
            DestroyMenu(menu);
            return nullptr;
        }
    }
    return menu;
}

bool RebuildTrayMenu()
{
    if (TrayApp().Icon.Menu) DestroyMenu(TrayApp().Icon.Menu);
    TrayApp().Icon.Menu = BuildTrayMenu();
    return TrayApp().Icon.Menu != nullptr;
}

void AddTrayIcon()
{
    bool show = false;
    ReadBoolSetting("show_tray_icon", show);
    if (!show) return;
    SweepNotificationArea();
    NOTIFYICONDATAA icon = IconRecord(TrayApp().Icon.Window);
    Shell_NotifyIconA(NIM_ADD, &icon);
    Sleep(200);
}

void RemoveTrayIcon()
{
    NOTIFYICONDATAA icon = IconRecord(TrayApp().Icon.Window);
    Shell_NotifyIconA(NIM_DELETE, &icon);
}

