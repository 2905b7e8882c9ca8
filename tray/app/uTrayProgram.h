#pragma once
#include "uServiceManage.h"
// The start of QuorvaneTray: a fresh start by the service (relaunch and end),
// a command-line tool that installs, removes, starts or stops the service or
// signals a running tray (ends when done), or the resident tray (hidden
// window, icon, menu, threads and hot keys, then the message loop).
#include <windows.h>

#include <string>
#include <string_view>

constexpr const char* kInstanceMutex = "QuorvaneTray";

enum class TTraySwitch { None, Install, Uninstall, Start, Show, AdminStart, StartService, StopService };

// The first argument of a command line (quotes removed), as the runtime's
// ParamStr(1) gives it.
std::string FirstArgument(std::string_view commandLine);
// Compared without regard to case; anything else is no switch.
TTraySwitch ParseTraySwitch(std::string_view argument);

enum class TSwitchAction {
    Nothing,
    StartService,
    StopService,
    RunInstaller,
    RunUninstaller,
    SendSettingsToTray,    // Type 30 to "Quorvane\tray"
    SendStatusToService,   // Type 40 to "Quorvane\Service"
    SendStatusToTray,      // Type 40 to "Quorvane\tray"
    RelaunchStart,         // elevated copy with "/start"
    RelaunchStartService,  // elevated copy with "/startService"
};
enum class TPollTarget { None, Exists, Gone, Running, Stopped };

struct TSwitchPlan {
    TSwitchAction Action = TSwitchAction::Nothing;
    TPollTarget Poll = TPollTarget::None;
    bool SleepAfter = false;  // 3 s after the poll
    bool GoOn = false;        // continue with the normal start
};
// What a switch does at a service state (0 none, 1 stopped, 4 running, 7 paused),
// for an admin level (2 = administrator) and a Windows major version.
TSwitchPlan PlanSwitch(TTraySwitch option, int serviceState, int adminLevel, int osMajor);

// Runs "ServiceQuorvane.exe /install /silent" from the tray's folder when no
// service exists; returns without waiting.
void InstallService();
// Runs "ServiceQuorvane.exe /uninstall /silent" when the service is stopped.
void UninstallService();
// True when another tray holds the mutex; otherwise this process now owns it
// (for its whole life).
bool IsAnotherInstanceRunning();

// The language of the tray from the `language` setting; "Russian.lng" when the
// request fails or the value is empty.
std::string LanguageFromSetting();

int RunTrayProgram(HINSTANCE instance);
