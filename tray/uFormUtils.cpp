#include "uFormUtils.h"

#include <windows.h>
#include <shellapi.h>

#include <mutex>

#include "qvFiles.h"
#include "qvForms.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uTrayWindow.h"

std::atomic<int32_t> gLastEventKind{-1};

namespace {

TNotifyRecord gPopupValues = {nsInformation, {}, {}, {}, {}, 0, 0, false, -1};

std::mutex gTrustRecordLock;
TMSlotMessage gTrustListRecord{};

// Brings an open window of the class to the front, or opens a new one;
// nullptr when the class is not registered.
gui::TForm* OpenOrFocus(const char* className, bool focusOpen = true)
{
    if (gui::TForm* form = gui::FindForm(className)) {
        if (form->Visible()) {
            if (focusOpen) form->BringToFront();
            return nullptr;
        }
        gui::FreeForm(form);  // a hidden leftover: the next open builds a new one
    }
    return gui::CreateForm(className);
}

void Open(gui::TForm* form, int tag = 0)
{
    if (!form) return;
    form->Tag = tag;
    form->Show();
}

}  // namespace

bool IsFormOpen(const char* className)
{
    gui::TForm* form = gui::FindForm(className);
    return form && form->Visible();
}

void OpenStatusWindow() { Open(OpenOrFocus(kStatusForm)); }
void OpenSettings(int page) { Open(OpenOrFocus(kSettingsForm), page); }
void OpenWizard() { Open(OpenOrFocus(kWizardForm)); }
void OpenReport() { Open(OpenOrFocus(kReportForm, false)); }
void OpenAutorunDialog() { Open(gui::CreateForm(kAutorunDialogForm)); }
void ShowSplash() { Open(gui::CreateForm(kSplashForm)); }

void OpenTrustList(const TMSlotMessage& record)
{
    gui::TForm* form = OpenOrFocus(kTrustListForm);
    if (!form) return;
    {
        std::lock_guard<std::mutex> lock(gTrustRecordLock);
        gTrustListRecord = record;
    }
    LogMessageRecord(record);
    Open(form);
}

TMSlotMessage LastTrustListRecord()
{
    std::lock_guard<std::mutex> lock(gTrustRecordLock);
    return gTrustListRecord;
}

void OpenHostsManager(int resultCode) { Open(OpenOrFocus(kHostsManagerForm, false), resultCode); }

void OpenAutorunManager(int number, const std::string& path)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = 13;
    message.A = 2;
    if (SendToMailSlot(message, kAutorunSlot)) {  // it runs: hand it the event
        ClearMailSlotMessage(message);
        message.Type = 20;
        message.Mess.Set(path);
        message.A = number;
        SendToMailSlot(message, kAutorunSlot);
        return;
    }
    const std::string program = ModuleFolder() + "qrv_autorun.exe";
    const std::string parameters = "/ " + IntToStr(number) + " \"" + path + "\"";
    if (GetAdminLevel() == 2) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info{};
        std::string commandLine = "\"" + program + "\" " + parameters;
        if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            CloseHandle(info.hProcess);
        }
    } else {
        RunElevated(program, parameters);
    }
}

void ShowNotification(const TNotifyRecord& record)
{
    gPopupValues = record;
    gAnswer.Answered = false;
    gAnswer.Closed = false;
    gAnswer.Yes = false;
    gui::TForm* popup = gui::CreateForm(kMessageForm);
    if (!popup) return;
    popup->Tag = record.Kind;
    popup->HelpContext = record.Value;
    popup->Show();
}

TNotifyRecord PopupValues() { return gPopupValues; }

bool PopupAllowed()
{
    bool warn = false;
    ReadBoolSetting("show_tray_warn", warn);  // no answer counts as off
    if (warn || gLastEventKind.load() == -1) return true;
    gLastEventKind = -1;
    return false;
}

void HandleAnswer(int32_t kind)
{
    switch (kind) {
    case 4: OpenSettings(0); break;
    case 5:
        if (!IsFormOpen(kReportForm)) OpenReport();
        break;
    case 6: OpenAutorunDialog(); break;
    default:
        // The stop question (2), the killer confirmation (13) and the system
        // message (15) are answered through their own pop-ups.
        break;
    }
}

void CloseAllWindows()
{
    for (const char* name : {kSettingsForm, kWizardForm, kReportForm, kHostsManagerForm, kTrustListForm, kStatusForm})
        if (gui::TForm* form = gui::FindForm(name); form && form->Visible()) form->Close();
}

void SweepNotificationArea()
{
    HWND toolbar = FindWindowA("Shell_TrayWnd", nullptr);
    for (const char* child : {"TrayNotifyWnd", "SysPager", "ToolbarWindow32"})
        if (toolbar) toolbar = FindWindowExA(toolbar, nullptr, child, nullptr);
    if (!toolbar) return;
    RECT client;
    GetClientRect(toolbar, &client);
    const int iconWidth = GetSystemMetrics(SM_CXSMICON);
    const int iconHeight = GetSystemMetrics(SM_CYSMICON);
    if (iconWidth <= 0 || iconHeight <= 0) return;
    for (int y = iconHeight / 2; y < client.bottom; y += iconHeight)
        for (int x = iconWidth / 2; x < client.right; x += iconWidth)
            SendMessageA(toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

bool RestartExplorerChecked()
{
    // Explorer is restarted by the form manager's restart, which comes with
    // the pop-up windows; until then the notice alone is shown.
    return true;
}

bool RunElevated(const std::string& programPath, const std::string& parameters)
{
    // The full path, not the bare name: a bare name would be looked for along
    // the search path first.
    const std::string& file = programPath;
    const std::string folder = ExtractFilePath(programPath);
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.lpVerb = "runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExA(&info) != FALSE;
}
