#pragma once
#include "uServiceManage.h"
// The service "Quorvane": registration properties, start-up, shutdown.
#include <string>

#include "qvOwnFolder.h"

#include "uServiceApp.h"

class TQuorvane : public TServiceModule {
public:
    TQuorvane();
    void ServiceStart(bool& started) override;
    void ServiceStop(bool& stopped) override;
    void ServiceShutdown() override;
    void ServiceAfterInstall() override;
    void ServiceAfterUninstall() override;

    void InitService();
    // False when a thread did not end within its step's time limit (it is
    // then left running, and its object is not freed).
    bool StopAllThreads();
};

// How long a stop waits for one thread: below the 5000 ms wait hint.
constexpr DWORD kStopStepMs = 4000;

constexpr const char* kServiceDescription = "Служба защиты от Блокировки системы";
constexpr const char* kServiceKey = "SYSTEM\\CurrentControlSet\\Services\\Quorvane";

// Writes "show_tray_icon" and "show_tray_warn" as on when they are missing.
void SetTrayDefaults();
// Sets "language" when it is missing: the locale's language file when it lies
// in programFolder, else "Russian.lng".
void SetLanguageDefault(const std::string& programFolder);
// Moves "<name>.log" to "<name>_old.log", replacing an older copy; neither
// may be a link or have a second hard link.
void RotateLog(const std::string& logPath, const std::string& oldPath);
// The data folder made or checked as the service's own (see TakeOwnFolder);
// a folder that is not fit is moved aside under the time of this start.
TOwnFolderResult TakeDataFolder();

int RunServiceProgram(int argc, char** argv);
