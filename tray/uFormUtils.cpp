#include "uFormUtils.h"

#include <shellapi.h>
#include <tlhelp32.h>

#include <exception>

#include "qvCaught.h"
#include "qvFiles.h"
#include "qvForms.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uInetUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr int kModalYes = IDYES;  // 6
constexpr DWORD kBeforeStopMs = 200;
constexpr int kBrowserWidth = 800;
constexpr int kBrowserHeight = 500;

// Brings an open window of the class to the front, or makes a new one;
// nullptr when it was open or the class is not registered.
gui::TForm* OpenOrFocus(const char* className, bool focusOpen = true)
{
    if (gui::TForm* form = gui::FindForm(className)) {
        if (form->Visible()) {
            if (focusOpen) form->BringToFront();
            return nullptr;
        }
        gui::FreeForm(form);  // a closed leftover: the next open builds a new one
    }
    return gui::CreateForm(className);
}

void Open(gui::TForm* form, int tag = 0)
{
    if (!form) return;
    form->Tag = tag;
    form->Show();
}

void StopAfterPassword()
{
    std::string password;
    // Without an answer nobody knows whether a password guards the stop.
    if (!ReadStrSetting("password", password)) return;
    if (password.empty()) {
        StopProtection();
        return;
    }
    gui::TForm* dialog = gui::CreateForm(kPasswordForm);
    if (!dialog) return;  // no way to confirm: nothing stops
    TrayApp().Session.PassMode = kPassModeStop;
    const int result = dialog->ShowModal();
    if (gui::FormExists(dialog)) dialog->Release();
    if (result == kModalYes) StopProtection();
}

void StartKiller()
{
    // A confirmed order always goes to the service, whose own running flag
    // decides: the tray's mark may come from a forged 13/8.
    // Marked running only when the service got the order: a lost order would
    // otherwise block every later confirmation until the tray restarts.
    const bool delivered = SendServiceCommand(proto::kRunKiller);
    if (delivered) {
        TrayApp().Popups.KillerRunning = true;
        MessageBeep(MB_OK);
        MessageBeep(MB_OK);
    }
    TNotifyRecord notice;
    ResetNotifyRecord(notice);
    if (delivered) {
        notice.Style = nsInformation;
        notice.Text2.Set(GetLangText(kLangGui, "mes_kilrrun"));
        notice.Text3.Set(GetLangText(kLangGui, "mes_wait"));
    } else {
        notice.Style = nsWarning;
        notice.Text2.Set(GetLangText(kLangGui, "mes_kilnoserv"));
    }
    notice.Kind = proto::kAnswerNone;
    notice.Seconds = 7;
    notice.Buttons = false;
    ShowRequestedNotification(notice);
    TrayApp().Popups.ConfirmationPending = false;
}

void OpenSystemMessage()
{
    const TSystemMessage kept = TrayApp().Kept.SystemMessage();
    if (!IsWebAddress(kept.Address)) return;
    if (!CheckInternet()) return;
    OpenAddress(kept.Address, 0);
    WriteStrSetting("message", kept.Text);
}

}  // namespace

bool IsFormOpen(const char* className)
{
    gui::TForm* form = gui::FindForm(className);
    return form && form->Visible();
}

void OpenStatusWindow() { Open(OpenOrFocus(kStatusForm)); }

void OpenSettings(int page)
{
    gui::TForm* form = OpenOrFocus(kSettingsForm);
    Open(form, page);
    if (page <= 0) return;
    if (!form) form = gui::FindForm(kSettingsForm);
    if (auto* pages = dynamic_cast<TSettingsPages*>(form)) {
        try {
            pages->SelectPage(page);
        } catch (const std::exception& error) {
            ReportCaught("settings page " + std::to_string(page) + " not selected", error);
        }
    }
}

void OpenWizard() { Open(OpenOrFocus(kWizardForm)); }
void OpenReport() { Open(OpenOrFocus(kReportForm, false)); }
void OpenAutorunDialog() { Open(gui::CreateForm(kAutorunDialogForm)); }
void ShowSplash() { Open(gui::CreateForm(kSplashForm)); }

void OpenTrustList(const TMSlotMessage& record)
{
    gui::TForm* form = OpenOrFocus(kTrustListForm);
    if (!form) return;
    TrayApp().Kept.KeepTrustListRecord(record);
    LogMessageRecord(record);
    Open(form);
}

TMSlotMessage LastTrustListRecord() { return TrayApp().Kept.TrustListRecord(); }

void OpenHostsManager(int resultCode) { Open(OpenOrFocus(kHostsManagerForm, false), resultCode); }

void OpenBrowser(const std::string& address, int mode)
{
    gui::TForm* form = OpenOrFocus(kBrowserForm, false);
    if (!form) return;
    HWND window = form->Handle();
    if (!window) return;
    if (auto* browser = dynamic_cast<TBrowserNavigation*>(form)) browser->Navigate(address);
    form->SetCaption(kBrowserCaption);
    if (mode == 1) {
        SetWindowPos(window, nullptr, 0, 0, kBrowserWidth, kBrowserHeight, SWP_NOMOVE | SWP_NOZORDER);
        ShowWindow(window, SW_SHOWNORMAL);
    } else {
        ShowWindow(window, SW_SHOWMAXIMIZED);
    }
}

bool ShowNotification(const TNotifyRecord& record)
{
    const bool confirmation = record.Kind == kKillerConfirmationKind;
    if (TrayApp().Popups.Stack.Open > kMaxOpenPopups && !confirmation) return false;
    TrayApp().Popups.Answer.Answered = false;
    TrayApp().Popups.Answer.Closed = false;
    TrayApp().Popups.Answer.Yes = false;
    gui::TForm* popup = gui::CreateForm(kMessageForm);
    if (!popup) return false;
    if (auto* window = dynamic_cast<TPopupWindow*>(popup)) {
        TPopupCallbacks callbacks;
        callbacks.Answered = [](int32_t kind, bool yes) { TakeAnswer(TrayApp().Popups.Answer, kind, yes); };
        callbacks.Closed = [] {
            if (int32_t kind = AnswerToRun(TrayApp().Popups.Answer)) HandleAnswer(kind);
        };
        window->Present(record, std::move(callbacks));
    }
    popup->Tag = record.Kind;
    popup->HelpContext = record.Value;
    popup->Show();
    const bool shown = gui::FormExists(popup) && popup->Visible();
    if (shown && confirmation) TrayApp().Popups.ConfirmationPending = true;  // cleared when it goes
    return shown;
}

bool ShowRequestedNotification(const TNotifyRecord& record)
{
    if (!TrayApp().Popups.HostAlive || !TrayApp().Popups.HostAlive()) return false;
    if (record.Kind == kKillerConfirmationKind)
        TrayApp().Popups.LastEventKind = -1;
    else if (!TrayApp().Popups.GateAllows())
        return false;
    return ShowNotification(record);
}

void HandleAnswer(int32_t kind)
{
    switch (kind) {
    case proto::kAnswerStopProtection: StopAfterPassword(); break;
    case proto::kAnswerSettings: OpenSettings(0); break;
    case proto::kAnswerReport:
        if (!IsFormOpen(kReportForm)) OpenReport();
        break;
    case proto::kAnswerNewAutorun: OpenAutorunDialog(); break;
    case proto::kAnswerKiller: StartKiller(); break;
    case proto::kAnswerSystemMessage: OpenSystemMessage(); break;
    default: break;
    }
}

void StopProtection()
{
    Sleep(kBeforeStopMs);
    SendServiceCommand(proto::kStopService);
    TrayApp().Actions.StopProtection();
}

void CloseAllWindows()
{
    if (gui::TForm* properties = gui::FindForm(kReportPropertiesForm); properties && properties->Visible()) {
        try {
            properties->Close();
        } catch (const std::exception& error) {
            WriteGuiLog(std::string("Error: ") + error.what());
        }
    }
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

bool KillProcessesByName(const std::string& name)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) return false;
    const std::string wanted = UpperCase(name);
    bool result = false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        const std::string image = UpperCase(entry.szExeFile);
        if (UpperCase(ExtractFileName(image)) != wanted && image != wanted) continue;
        UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
        result = process.Valid() && TerminateProcess(process.Get(), 0) != FALSE;
    }
    return result;
}

TShellRestartResult RestartShell(const TShellRestart& how)
{
    if (TrayApp().Session.ShellRestartBusy.exchange(true)) return TShellRestartResult::Busy;
    bool cameBack = false;
    if (KillProcessesByName(how.ProcessName)) {
        // The system usually brings the taskbar back by itself.
        Sleep(how.WaitMs);
        cameBack = FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
    }
    if (!cameBack) WinExec(how.Command.c_str(), SW_SHOWNORMAL);
    TrayApp().Session.ShellRestartBusy = false;
    return cameBack ? TShellRestartResult::CameBack : TShellRestartResult::Started;
}

void RestartExplorer() { RestartShell(TrayApp().Session.ExplorerRestart); }

bool RestartExplorerChecked()
{
    RestartExplorer();
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

DWORD StartProcess(const std::string& programPath, const std::string& commandLine)
{
    if (programPath.empty()) return 0;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    UniqueProcessInformation info;
    std::string line = ProcessCommandLine(programPath, commandLine);  // CreateProcess may write into it
    if (!CreateProcessA(Trim(programPath).c_str(), line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, info.Put()))
        return 0;
    return info.Get().dwProcessId;
}

std::string ProcessCommandLine(const std::string& programPath, const std::string& commandLine)
{
    // The started program reads its own name first and its arguments after it.
    std::string line = "\"" + Trim(programPath) + "\"";
    if (!commandLine.empty()) line += " " + commandLine;
    return line;
}

std::string AutorunManagerParameters(int number, const std::string& path)
{
    return "/ " + IntToStr(number) + " \"" + path + "\"";
}

void OpenAutorunManager(int number, const std::string& path)
{
    if (SendToMailSlot(proto::Message(proto::kControl, proto::kAutorunPing), kAutorunSlot)) {  // it runs: hand it the event
        TMSlotMessage message = proto::Message(proto::kAutorunEvent, number);
        message.Mess.Set(path);
        SendToMailSlot(message, kAutorunSlot);
        return;
    }
    const std::string folder =
        TrayApp().Session.AutorunManagerFolder.empty() ? ModuleFolder() : IncludeTrailingBackslash(TrayApp().Session.AutorunManagerFolder);
    const std::string program = folder + kAutorunManagerExe;
    std::string parameters;
    try {
        parameters = AutorunManagerParameters(number, path);
    } catch (const std::exception& error) {
        ReportCaught("autorun manager parameters", error);
        parameters = AutorunManagerParameters(0, "");
    }
    if (GetAdminLevel() == 2)
        StartProcess(program, parameters);
    else
        RunElevated(program, parameters);
}
