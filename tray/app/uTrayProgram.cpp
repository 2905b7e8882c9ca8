#include "uTrayProgram.h"

#include <exception>
#include <memory>

#include "fmAutorunDlg.h"
#include "fmHostsManager.h"
#include "fmMessage.h"
#include "fmSetting.h"
#include "fmTrustList.h"
#include "fmWizard.h"
#include "qvApplication.h"
#include "qvCaught.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uKeyboardThread.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uPopupOwner.h"
#include "uServiceManage.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"
#include "uViewForms.h"

namespace {

constexpr int kPollRounds = 70;        // of 100 ms
constexpr int kServiceWaitTests = 6;   // of 500 ms
constexpr DWORD kAfterPollSleepMs = 3000;

TThreadMess* gThreadMess = nullptr;  // never stopped: ends with the process

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool PollReached(TPollTarget target, int state)
{
    switch (target) {
    case TPollTarget::Exists: return state != 0;
    case TPollTarget::Gone: return state == 0;
    case TPollTarget::Running: return state == SERVICE_RUNNING;
    case TPollTarget::Stopped: return state == SERVICE_STOPPED;
    default: return true;
    }
}

void PollServiceState(TPollTarget target)
{
    int rounds = 0;
    int state;
    do {
        Sleep(100);
        ++rounds;
        state = GetServiceState(kServiceName);
    } while (!PollReached(target, state) && rounds < kPollRounds);
}

void Act(TSwitchAction action)
{
    const std::string self = ModuleFileName();
    switch (action) {
    case TSwitchAction::Nothing: break;
    case TSwitchAction::StartService: StartServiceByName(kServiceName); break;
    case TSwitchAction::StopService: StopServiceByName(kServiceName); break;
    case TSwitchAction::RunInstaller: InstallService(); break;
    case TSwitchAction::RunUninstaller: UninstallService(); break;
    case TSwitchAction::SendSettingsToTray: SendTypeOnly(proto::kOpenSettings, kTraySlot); break;
    case TSwitchAction::SendStatusToService: SendTypeOnly(proto::kShowStatus, kServiceSlot); break;
    case TSwitchAction::SendStatusToTray: SendTypeOnly(proto::kShowStatus, kTraySlot); break;
    case TSwitchAction::RelaunchStart: RunElevated(self, "/start"); break;
    case TSwitchAction::RelaunchStartService: RunElevated(self, "/startService"); break;
    }
}

// The switch of the command line; true when the process goes on to the
// resident start.
bool RunSwitch(TTraySwitch option)
{
    if (option == TTraySwitch::None) return true;
    const int state = GetServiceState(kServiceName);
    const bool needsAdminInfo = option == TTraySwitch::Show || option == TTraySwitch::AdminStart;
    const int adminLevel = needsAdminInfo ? GetAdminLevel() : 0;
    const int major = option == TTraySwitch::Show ? GetOSMajorVersion() : 0;
    const TSwitchPlan plan = PlanSwitch(option, state, adminLevel, major);
    Act(plan.Action);
    if (plan.Poll != TPollTarget::None) PollServiceState(plan.Poll);
    if (plan.SleepAfter) Sleep(kAfterPollSleepMs);
    return plan.GoOn;
}

bool WaitForService()
{
    for (int test = 0; test < kServiceWaitTests; ++test) {
        if (GetServiceState(kServiceName) == SERVICE_RUNNING) return true;
        Sleep(500);
    }
    return false;
}

void ShowErrorReport(const std::exception& error)
{
    MessageBoxA(nullptr, error.what(), "QuorvaneTray", MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

int RunTray(HINSTANCE instance, TTraySwitch option)
{
    // 1. Started by the service: a fresh copy of our own, so that the tray
    // does not run as the service's child.
    if (SameText(GetParentProcessName(), kServiceProgramName)) {
        WinExec(Quoted(ModuleFileName()).c_str(), SW_HIDE);
        return 0;
    }
    // 2. The switches.
    if (!RunSwitch(option)) return 0;
    const bool adminStart = option == TTraySwitch::AdminStart;
    // 3. One resident tray.
    if (IsAnotherInstanceRunning() && !adminStart) return 0;
    // 4. The receiver, and the frame it synchronises with.
    if (!gui::InitApplication(instance)) return 0;
    // Only the hidden window is found by the title "Quorvane".
    SetWindowTextA(gui::ApplicationWindow(), "");
    RegisterMessageForm();
    RegisterSettingsForm();
    RegisterHostsManagerForm();
    RegisterTrustListForm();
    RegisterAutorunDialogForm();
    RegisterViewForms();
    RegisterSetupForms();
    TrayApp().Session.OpenInBrowser = OpenBrowser;
    gThreadMess = new TThreadMess();
    gThreadMess->Start();
    // 5. The hidden window.
    if (!CreateTrayWindow(instance)) return 0;
    // 6. The service must run.
    if (!WaitForService()) return 0;
    // 7. The language.
    SetCurrentLanguage(LanguageFromSetting());
    // 8. First-run check: the service answers with Type 8 when the settings look new.
    if (!SendServiceCommand(proto::kFirstRunCheck)) return 0;
    // 9-11. The splash.
    bool splash = true;
    if (!ReadBoolSetting("splash", splash)) return 0;
    TMSlotMessage ping = proto::ToService(proto::kSplashAllowed);
    if (SendToMailSlotAndWait(kServiceSlot, ping) && splash) splash = ping.Bool;
    TrayApp().Session.ShowSplash = splash && !adminStart;
    if (TrayApp().Session.ShowSplash) ShowSplash();
    // The switches the main thread reads with a short wait, known from now on.
    TrayApp().Popups.WarnSwitch.Refresh();
    TrayApp().Icon.KillerKeySwitch.Refresh();
    // 12. Explorer announces its restarts with this message.
    TrayApp().Icon.TaskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
    // 13. COM for the main thread.
    static ComScope com;
    // 14. The killer's gesture.
    StartKeyboardThread();
    // 15. Win+F12 and Win+F11; a key taken by another program stays unregistered.
    RegisterHotKey(TrayApp().Icon.Window, kHotKeyKiller, MOD_WIN, VK_F12);
    RegisterHotKey(TrayApp().Icon.Window, kHotKeyF11, MOD_WIN, VK_F11);
    // 16. The event texts.
    LoadEventTexts(TrayApp().Language.Texts);
    // 17. Menu and icon.
    if (!RebuildTrayMenu()) return 0;
    AddTrayIcon();
    // 18. Until the hidden window is told to go; then it goes for real.
    gui::RunMessageLoop();
    DestroyWindow(TrayApp().Icon.Window.exchange(nullptr));
    return 0;
}

}  // namespace

std::string FirstArgument(std::string_view commandLine)
{
    size_t i = 0;
    auto skipBlanks = [&] {
        while (i < commandLine.size() && static_cast<unsigned char>(commandLine[i]) <= ' ') ++i;
    };
    auto nextToken = [&] {
        std::string token;
        bool quoted = false;
        while (i < commandLine.size()) {
            char c = commandLine[i];
            if (c == '"') quoted = !quoted;
            else if (!quoted && static_cast<unsigned char>(c) <= ' ') break;
            else token += c;
            ++i;
        }
        return token;
    };
    skipBlanks();
    nextToken();  // the program
    skipBlanks();
    return nextToken();
}

TTraySwitch ParseTraySwitch(std::string_view argument)
{
    static const struct {
        const char* Text;
        TTraySwitch Option;
    } kSwitches[] = {
        {"/install", TTraySwitch::Install},
        {"/uninstall", TTraySwitch::Uninstall},
        {"/start", TTraySwitch::Start},
        {"/show", TTraySwitch::Show},
        {"/adminstart", TTraySwitch::AdminStart},
        {"/startService", TTraySwitch::StartService},
        {"/stopService", TTraySwitch::StopService},
    };
    for (const auto& s : kSwitches)
        if (SameText(argument, s.Text)) return s.Option;
    return TTraySwitch::None;
}

TSwitchPlan PlanSwitch(TTraySwitch option, int state, int adminLevel, int osMajor)
{
    const bool stoppedOrPaused = state == SERVICE_STOPPED || state == SERVICE_PAUSED;
    const bool admin = adminLevel == 2;
    TSwitchPlan plan;
    switch (option) {
    case TTraySwitch::None: plan.GoOn = true; break;
    case TTraySwitch::Install:
        if (state == 0) plan.Action = TSwitchAction::RunInstaller;
        plan.Poll = TPollTarget::Exists;
        break;
    case TTraySwitch::Uninstall:
        if (state == SERVICE_STOPPED) plan.Action = TSwitchAction::RunUninstaller;
        plan.Poll = TPollTarget::Gone;
        plan.SleepAfter = true;
        break;
    case TTraySwitch::Start:
        if (stoppedOrPaused) plan.Action = TSwitchAction::StartService;
        else if (state == SERVICE_RUNNING) plan.Action = TSwitchAction::SendSettingsToTray;
        break;
    case TTraySwitch::Show:
        if (stoppedOrPaused) {
            if (!admin) plan.Action = TSwitchAction::RelaunchStart;
            else if (osMajor <= 5) plan.Action = TSwitchAction::StartService;
            else plan.Action = TSwitchAction::RelaunchStartService;
        } else if (state == SERVICE_RUNNING) {
            plan.Action = TSwitchAction::SendStatusToService;
        }
        break;
    case TTraySwitch::AdminStart:
        plan.GoOn = true;
        if (stoppedOrPaused) {
            plan.Action = admin ? TSwitchAction::StartService : TSwitchAction::RelaunchStart;
            plan.GoOn = admin;
        } else if (state == SERVICE_RUNNING) {
            plan.Action = TSwitchAction::SendStatusToTray;
        }
        break;
    case TTraySwitch::StartService:
        if (state == 0) break;
        if (stoppedOrPaused) plan.Action = TSwitchAction::StartService;
        plan.Poll = TPollTarget::Running;
        break;
    case TTraySwitch::StopService:
        if (state == 0) break;
        if (state == SERVICE_RUNNING || state == SERVICE_PAUSED) plan.Action = TSwitchAction::StopService;
        plan.Poll = TPollTarget::Stopped;
        plan.SleepAfter = true;
        break;
    }
    return plan;
}

void InstallService()
{
    if (GetServiceState(kServiceName) != 0) return;
    // quoted: the program folder usually has a blank in its name
    const std::string command = Quoted(ModuleFolder() + kServiceProgramName) + " /install /silent";
    WinExec(command.c_str(), SW_HIDE);
}

void UninstallService()
{
    if (GetServiceState(kServiceName) != SERVICE_STOPPED) return;
    const std::string command = Quoted(ModuleFolder() + kServiceProgramName) + " /uninstall /silent";
    WinExec(command.c_str(), SW_HIDE);
}

bool IsAnotherInstanceRunning()
{
    if (UniqueHandle(OpenMutexA(MUTEX_ALL_ACCESS, FALSE, kInstanceMutex))) return true;
    UniqueHandle& mark = TrayApp().Session.InstanceMutex;
    if (!mark) mark.Reset(CreateMutexA(nullptr, TRUE, kInstanceMutex));
    return false;
}

std::string LanguageFromSetting()
{
    std::string language;
    ReadStrSetting("language", language);
    return language.empty() ? std::string(kDefaultLanguage) : language;
}

int RunTrayProgram(HINSTANCE instance)
{
    const TTraySwitch option = ParseTraySwitch(FirstArgument(GetCommandLineA()));
    SetCaughtSink(&WriteGuiLog);
    try {
        return RunTray(instance, option);
    } catch (const std::exception& error) {
        // a service-control step that failed: say why, then end
        ShowErrorReport(error);
        return 1;
    }
}
