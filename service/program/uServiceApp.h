#pragma once
// A small service framework: registration with the service control manager
// from the command line ("/install", "/uninstall", "/silent"), and the run of
// a registered service (service main, control handler, status reports).
#include <windows.h>

#include <string>
#include <vector>

#include "qvHandles.h"

struct TServiceProperties {
    std::string Name;
    std::string DisplayName;
    std::vector<std::string> Dependencies;  // service names
    DWORD StartType = SERVICE_AUTO_START;
    DWORD ServiceType = SERVICE_WIN32_OWN_PROCESS;
    DWORD ErrorControl = SERVICE_ERROR_NORMAL;
    DWORD WaitHint = 5000;
    bool AllowStop = true;
    bool AllowPause = false;
};

// The service itself: handlers that the framework calls.
class TServiceModule {
public:
    explicit TServiceModule(TServiceProperties properties) : properties_(std::move(properties)) {}
    virtual ~TServiceModule() = default;

    // Start-up; set started to false to refuse the start.
    virtual void ServiceStart(bool& started) { started = true; }
    virtual void ServiceStop(bool& stopped) { stopped = true; }
    virtual void ServiceShutdown() {}
    // Raise to report a failed installation (after the service was created).
    virtual void ServiceAfterInstall() {}
    virtual void ServiceAfterUninstall() {}

    // Tells the manager that the start (or stop) is still in progress.
    void ReportStatus();
    // Ends the process with the exit code, telling the manager first that the
    // service stopped (so it does not wait for a start that will never end).
    [[noreturn]] void ExitAsStopped(UINT exitCode);

    // Installs with "/install", removes with "/uninstall" (both quiet with
    // "/silent"), otherwise connects to the manager and runs the service.
    // Returns the process exit code.
    int Run(int argc, char** argv);

private:
    friend struct ServiceRunner;
    bool Install(bool silent);
    bool Uninstall(bool silent);
    void Report(bool silent, const std::string& text, bool ok);
    void RunService();
    void SetState(DWORD state, DWORD exitCode = NO_ERROR);

    TServiceProperties properties_;
    SERVICE_STATUS_HANDLE statusHandle_ = nullptr;
    SERVICE_STATUS status_{};
    UniqueHandle controlEvent_;
    volatile LONG pendingControl_ = 0;
};
