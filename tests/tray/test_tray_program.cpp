#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <thread>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uMailSlots.h"
#include "uServiceManage.h"
#include "uTrayProgram.h"

namespace {

// QuorvaneTray.exe and ServiceQuorvane.exe together in a folder of their own,
// with their language files: the tray runs the service's installer from its
// own folder.
std::string StageFolder()
{
    static std::string folder;
    if (folder.empty()) {
        folder = GetEnvVar("TEMP") + "\\qvtray_stage";
        ForceDirectories(folder + "\\language");
        for (const char* file : {"QuorvaneTray.exe", "ServiceQuorvane.exe", "Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
        for (const char* file : {"Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\language\\" + file).c_str(), FALSE);
    }
    return folder;
}
std::string StagedTray() { return StageFolder() + "\\QuorvaneTray.exe"; }
// The service in a folder without the tray program: it then starts no tray of
// its own, adopts the one a test starts, and leaves the tray slot to stand-ins.
std::string StagedService()
{
    static std::string folder;
    if (folder.empty()) {
        folder = GetEnvVar("TEMP") + "\\qvtray_service";
        ForceDirectories(folder + "\\language");
        CopyFileA((ModuleFolder() + "ServiceQuorvane.exe").c_str(), (folder + "\\ServiceQuorvane.exe").c_str(), FALSE);
        for (const char* file : {"Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\language\\" + file).c_str(), FALSE);
    }
    return folder + "\\ServiceQuorvane.exe";
}

struct RunResult {
    bool Ended;
    DWORD Code;
    DWORD Ms;
};

RunResult RunTray(const std::string& args, DWORD timeoutMs = 20000, const std::string& exe = StagedTray())
{
    ChildProcess tray;
    if (!tray.Start(exe, args)) return {false, 0, 0};
    const DWORD start = GetTickCount();
    DWORD code = tray.Wait(timeoutMs);
    return {!tray.Running(), code, GetTickCount() - start};
}

// Top-level windows whose class name (or title) is "Quorvane".
int TopLevelWindowsNamedQuorvane(bool byTitle)
{
    struct Search {
        bool byTitle;
        int count;
    } search{byTitle, 0};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* search = reinterpret_cast<Search*>(param);
            char name[32] = {};
            if (search->byTitle)
                GetWindowTextA(window, name, sizeof(name));
            else
                GetClassNameA(window, name, sizeof(name));
            if (std::string(name) == "Quorvane") ++search->count;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.count;
}

int TrayWindowCount() { return TopLevelWindowsNamedQuorvane(false); }

// Top-level windows titled "Quorvane": only the tray's hidden window.
int WindowsTitledQuorvane() { return TopLevelWindowsNamedQuorvane(true); }

// The process id a running tray gives for 13/18; 0 without an answer.
DWORD AskTrayProcessId()
{
    TMSlotMessage ask;
    ClearMailSlotMessage(ask);
    ask.Type = 13;
    ask.A = 18;
    if (!SendToMailSlotAndWait(kTraySlot, ask)) return 0;
    return static_cast<DWORD>(ask.B);
}

void TellTrayToQuit()
{
    TMSlotMessage quit;
    ClearMailSlotMessage(quit);
    quit.Type = 13;
    quit.A = 1;
    SendToMailSlot(quit, kTraySlot);
}

bool InstalledFromStage()
{
    if (harness::State() != 0) return true;
    return harness::InstallService(StagedService());
}

bool ServiceRunningFromStage() { return InstalledFromStage() && (harness::State() == 4 || harness::StartAndWaitRunning()); }

class TrayProgram : public ::testing::Test {
protected:
    static void TearDownTestSuite() { harness::RemoveService(); }
};

TEST_F(TrayProgram, InstallStartStopAndUninstallTheService)
{
    harness::RemoveService();
    ASSERT_EQ(harness::State(), 0);

    RunResult run = RunTray("/install");
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.Code, 0u);
    EXPECT_EQ(harness::State(), SERVICE_STOPPED) << "the poll ends once the service exists";
    TRegEngine image;
    image.Root = kRootHKLM;
    image.Key = "SYSTEM\\CurrentControlSet\\Services\\Quorvane";
    image.Value = "ImagePath";
    EXPECT_NE(LowerCase(ReadRegString(image)).find(LowerCase(StageFolder())), std::string::npos)
        << "the installer beside the tray ran: " << ReadRegString(image);

    run = RunTray("/INSTALL");
    EXPECT_TRUE(run.Ended);
    // A poll that runs to its end takes 70 rounds of 100 ms; anything shorter
    // ended early, however slow the program's start on a loaded machine.
    EXPECT_LT(run.Ms, 7000u) << "an existing service: nothing to run, the poll ends at once";

    run = RunTray("/startService");
    EXPECT_TRUE(run.Ended);
    EXPECT_EQ(harness::State(), SERVICE_RUNNING);

    run = RunTray("/stopService");
    EXPECT_TRUE(run.Ended);
    EXPECT_EQ(harness::State(), SERVICE_STOPPED);
    EXPECT_GE(run.Ms, 3000u) << "three seconds after the service stopped";

    run = RunTray("/uninstall");
    EXPECT_TRUE(run.Ended);
    EXPECT_EQ(harness::State(), 0);
    EXPECT_GE(run.Ms, 3000u);
    std::printf("/uninstall took %lu ms\n", static_cast<unsigned long>(run.Ms));
}

TEST_F(TrayProgram, SwitchesSignalARunningTrayThroughTheSlots)
{
    ASSERT_TRUE(ServiceRunningFromStage());
    // Stands in for a running tray, once a tray that the service started in an
    // earlier test has let go of the slot.
    std::unique_ptr<SlotListener> listener;
    ASSERT_TRUE(WaitUntil(
        [&] {
            listener = std::make_unique<SlotListener>(kTraySlot);
            return listener->Active();
        },
        30000));
    SlotListener& tray = *listener;

    // The service talks to the tray slot too (pings, id requests): only the
    // switch's own message counts.
    ASSERT_TRUE(RunTray("/start").Ended);
    TMSlotMessage message;
    EXPECT_TRUE(tray.NextOfType(30, message, 20000)) << "a running tray opens its settings";

    ASSERT_TRUE(RunTray("/show").Ended);
    EXPECT_TRUE(tray.NextOfType(40, message, 20000)) << "the service passes the status request on";

    RunResult run = RunTray("/startService");
    EXPECT_TRUE(run.Ended);
    EXPECT_LT(run.Ms, 7000u) << "running already: the poll ends at once";
    EXPECT_EQ(harness::State(), SERVICE_RUNNING);
}

TEST_F(TrayProgram, OneResidentTrayButAdminstartGoesOn)
{
    ASSERT_TRUE(ServiceRunningFromStage());
    ChildProcess first;
    ASSERT_TRUE(first.Start(StagedTray()));
    ASSERT_TRUE(WaitUntil([&] { return AskTrayProcessId() == first.Id(); }, 20000)) << "the tray answers 13/18";
    // its receiver runs before its window exists
    ASSERT_TRUE(WaitUntil([] { return TrayWindowCount() == 1; }, 20000));
    EXPECT_EQ(WindowsTitledQuorvane(), 1) << "only the hidden window carries the title";

    RunResult second = RunTray("");
    EXPECT_TRUE(second.Ended);
    EXPECT_EQ(second.Code, 0u);
    EXPECT_LT(second.Ms, 15000u) << "it does not stay";
    EXPECT_EQ(TrayWindowCount(), 1) << "the second ended before making its window";
    EXPECT_TRUE(first.Running());

    ChildProcess admin;
    ASSERT_TRUE(admin.Start(StagedTray(), "/adminstart"));
    EXPECT_TRUE(WaitUntil([] { return TrayWindowCount() == 2; }, 30000)) << "goes on despite the running tray";
    EXPECT_TRUE(admin.Running());
    admin.Kill();

    TellTrayToQuit();
    EXPECT_EQ(first.Wait(10000), 0u);
    EXPECT_FALSE(first.Running()) << "13/1 ends the tray";
}

TEST_F(TrayProgram, WithoutARunningServiceTheTrayEndsAfterAboutThreeSeconds)
{
    ASSERT_TRUE(InstalledFromStage());
    ASSERT_TRUE(harness::StopAndWaitStopped());
    ChildProcess tray;
    ASSERT_TRUE(tray.Start(StagedTray()));
    const DWORD start = GetTickCount();
    EXPECT_TRUE(WaitUntil([] { return TrayWindowCount() == 1; }, 5000)) << "the window comes before the wait";
    EXPECT_EQ(tray.Wait(30000), 0u);
    const DWORD ms = GetTickCount() - start;
    EXPECT_FALSE(tray.Running());
    EXPECT_GE(ms, 2500u) << "six tests 500 ms apart";
    std::printf("the tray gave up after %lu ms\n", static_cast<unsigned long>(ms));
}

TEST_F(TrayProgram, StartedByTheServiceItStartsAFreshCopy)
{
    harness::RemoveService();
    // a stand-in parent of the service's name
    const std::string parentFolder = GetEnvVar("TEMP") + "\\qvtray_parent";
    ForceDirectories(parentFolder);
    const std::string parent = parentFolder + "\\ServiceQuorvane.exe";
    ASSERT_TRUE(CopyFileA(HelperPath("qv_launch.exe").c_str(), parent.c_str(), FALSE));

    // WinExec waits until the new copy is idle (here: until it gives up for
    // want of a service), so the parent lives as long as the copy does.
    ChildProcess service;
    ASSERT_TRUE(service.Start(parent, "\"" + StagedTray() + "\" /install"));
    EXPECT_TRUE(WaitUntil([] { return TrayWindowCount() == 1; }, 30000)) << "the fresh copy starts";
    EXPECT_EQ(service.Wait(30000), 0u) << "the tray started by the service ended with code 0";
    EXPECT_EQ(harness::State(), 0) << "the switch was not acted on";
    EXPECT_TRUE(WaitUntil([] { return TrayWindowCount() == 0; }, 30000)) << "no service: the copy gives up";
}

// Runs a check on a thread attached to Wine's desktop "shell", where the
// tray and the taskbar live.
template <typename Check>
void OnShellDesktop(Check check)
{
    std::thread worker([&] {
        HDESK desktop = nullptr;
        WaitUntil([&] { return (desktop = OpenDesktopA("shell", 0, FALSE, GENERIC_ALL)) != nullptr; }, 20000);
        ASSERT_NE(desktop, nullptr) << "Wine's desktop did not come up";
        ASSERT_TRUE(SetThreadDesktop(desktop));
        check();
    });
    worker.join();
}

TEST_F(TrayProgram, IconMenuAndQuitInWinesDesktop)
{
    ASSERT_TRUE(ServiceRunningFromStage());
    ChildProcess desktop;
    const std::string explorer = ExpandEnvironment("%windir%\\explorer.exe");
    ASSERT_TRUE(desktop.Start(explorer, "/desktop=shell,1024x768 \"" + StagedTray() + "\""));

    DWORD trayPid = 0;
    OnShellDesktop([&] {
        HWND tray = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (tray = FindWindowA("Quorvane", "Quorvane")) != nullptr; }, 30000));
        GetWindowThreadProcessId(tray, &trayPid);
        EXPECT_FALSE(IsWindowVisible(tray));

        HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
        ASSERT_NE(taskbar, nullptr);
        RECT bar{};
        GetWindowRect(taskbar, &bar);
        EXPECT_EQ(bar.bottom, 768);

        // the shell changes only an icon it has: the tray's icon (window, id 0) is there
        NOTIFYICONDATAA icon{};
        icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
        icon.hWnd = tray;
        icon.uID = 0;
        icon.uFlags = NIF_TIP;
        lstrcpynA(icon.szTip, "Quorvane", sizeof(icon.szTip));
        EXPECT_TRUE(WaitUntil([&] { return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE; }, 10000));
        icon.uID = 1;
        EXPECT_FALSE(Shell_NotifyIconA(NIM_MODIFY, &icon)) << "and no other";

        // an event pop-up stands 4 px above the taskbar, 4 px from the right edge
        TMSlotMessage event;
        ClearMailSlotMessage(event);
        event.Type = 9;
        event.A = 101;
        event.B = 903;
        ASSERT_TRUE(SendToMailSlot(event, kTraySlot));
        HWND popup = nullptr;
        ASSERT_TRUE(WaitUntil(
            [&] {
                popup = FindWindowA("TfmMessage", nullptr);
                return popup && IsWindowVisible(popup);
            },
            5000));
        RECT placed{};
        GetWindowRect(popup, &placed);
        EXPECT_EQ(placed.bottom, bar.top - 4);
        EXPECT_EQ(placed.right, bar.right - 4);
        EXPECT_EQ(placed.right - placed.left, 401);

        // a right click on the icon opens the menu
        SetCursorPos(bar.right - 40, bar.top - 2);
        PostMessageA(tray, WM_USER + 1, 0, WM_RBUTTONUP);
        HWND menu = nullptr;
        EXPECT_TRUE(WaitUntil(
            [&] {
                menu = FindWindowA("#32768", nullptr);
                return menu && IsWindowVisible(menu);
            },
            5000));
    });
    ASSERT_NE(trayPid, 0u);
    EXPECT_EQ(AskTrayProcessId(), trayPid);

    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, trayPid));
    ASSERT_TRUE(process.Valid());
    TellTrayToQuit();  // with its menu still open
    EXPECT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0) << "13/1 ends the tray";
    desktop.Kill();
}

// The service's quit and a right click on the icon at nearly the same moment:
// the menu must not open on a tray that is quitting, nor keep it alive.
TEST_F(TrayProgram, QuitRacingARightClickOnTheIconStillEndsTheTray)
{
    ASSERT_TRUE(ServiceRunningFromStage());
    for (int round = 0; round < 20; ++round) {
        ChildProcess tray;
        // Under Wine a start can fail for a moment while a desktop an earlier
        // case ended is going away.
        ASSERT_TRUE(WaitUntil([&] { return tray.Start(StagedTray()); }, 30000)) << "error " << GetLastError();
        HWND window = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return AskTrayProcessId() == tray.Id(); }, 30000));
        ASSERT_TRUE(WaitUntil([&] { return (window = FindWindowA("Quorvane", "Quorvane")) != nullptr; }, 30000));
        DWORD_PTR result = 0;
        ASSERT_TRUE(SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 30000, &result)) << "its loop runs";

        const DWORD delayMs = static_cast<DWORD>(round % 11);
        TellTrayToQuit();
        Sleep(delayMs);
        PostMessageA(window, WM_USER + 1, 0, WM_RBUTTONUP);
        ASSERT_EQ(tray.Wait(30000), 0u) << "round " << round << ": the click came " << delayMs << " ms after 13/1";
    }
}

TEST(TraySwitches, PlanOfEachSwitch)
{
    EXPECT_EQ(FirstArgument("\"C:\\Program Files\\Quorvane\\QuorvaneTray.exe\" /Install extra"), "/Install");
    EXPECT_EQ(FirstArgument("QuorvaneTray.exe"), "");
    EXPECT_EQ(FirstArgument("  tray.exe   \"/start\""), "/start");
    EXPECT_EQ(ParseTraySwitch("/STARTSERVICE"), TTraySwitch::StartService);
    EXPECT_EQ(ParseTraySwitch("/starts"), TTraySwitch::None);
    EXPECT_EQ(ParseTraySwitch("-install"), TTraySwitch::None);

    auto plan = PlanSwitch(TTraySwitch::Show, SERVICE_STOPPED, 2, 6);
    EXPECT_EQ(plan.Action, TSwitchAction::RelaunchStartService) << "Windows 7, administrator";
    EXPECT_FALSE(plan.GoOn);

    plan = PlanSwitch(TTraySwitch::AdminStart, SERVICE_STOPPED, 1, 6);
    EXPECT_EQ(plan.Action, TSwitchAction::RelaunchStart);
    EXPECT_FALSE(plan.GoOn) << "ends after the elevated relaunch";
    plan = PlanSwitch(TTraySwitch::AdminStart, SERVICE_STOPPED, 2, 6);
    EXPECT_EQ(plan.Action, TSwitchAction::StartService);
    EXPECT_TRUE(plan.GoOn);
    plan = PlanSwitch(TTraySwitch::AdminStart, SERVICE_RUNNING, 1, 6);
    EXPECT_EQ(plan.Action, TSwitchAction::SendStatusToTray);
    EXPECT_TRUE(plan.GoOn);

    plan = PlanSwitch(TTraySwitch::Uninstall, SERVICE_RUNNING, 2, 6);
    EXPECT_EQ(plan.Action, TSwitchAction::Nothing) << "a running service is not removed";
    EXPECT_EQ(plan.Poll, TPollTarget::Gone) << "but the poll and the pause still come";
    EXPECT_TRUE(plan.SleepAfter);
    EXPECT_EQ(PlanSwitch(TTraySwitch::StartService, 0, 2, 6).Poll, TPollTarget::None) << "no service: end";
    EXPECT_TRUE(PlanSwitch(TTraySwitch::None, 0, 0, 0).GoOn);
}

}  // namespace
