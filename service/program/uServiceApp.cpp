#include "uServiceApp.h"

#include <cstdio>

#include "qvCaught.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvStrings.h"
#include "uThreadPass.h"

// The one module of this process, for the callbacks of the manager.
static TServiceModule* gModule = nullptr;

struct ServiceRunner {
    static void WINAPI ServiceMain(DWORD, LPSTR*) { gModule->RunService(); }

    // Runs on the manager's dispatcher thread: it only records the request;
    // the service thread does the work, so a stop requested from one of the
    // service's own threads cannot deadlock.
    static DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
    {
        switch (control) {
        case SERVICE_CONTROL_STOP:
        case SERVICE_CONTROL_SHUTDOWN:
            InterlockedExchange(&gModule->pendingControl_, static_cast<LONG>(control));
            gModule->SetState(SERVICE_STOP_PENDING);
            SetEvent(gModule->controlEvent_.Get());
            return NO_ERROR;
        case SERVICE_CONTROL_INTERROGATE:
            SetServiceStatus(gModule->statusHandle_, &gModule->status_);
            return NO_ERROR;
        default:
            return ERROR_CALL_NOT_IMPLEMENTED;
        }
    }
};

void TServiceModule::SetState(DWORD state, DWORD exitCode)
{
    status_.dwServiceType = properties_.ServiceType;
    status_.dwCurrentState = state;
    status_.dwWin32ExitCode = exitCode;
    status_.dwControlsAccepted = 0;
    if (state == SERVICE_RUNNING) {
        if (properties_.AllowStop) status_.dwControlsAccepted |= SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
        if (properties_.AllowPause) status_.dwControlsAccepted |= SERVICE_ACCEPT_PAUSE_CONTINUE;
    }
    bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status_.dwWaitHint = pending ? properties_.WaitHint : 0;
    status_.dwCheckPoint = pending ? status_.dwCheckPoint + 1 : 0;
    if (statusHandle_) SetServiceStatus(statusHandle_, &status_);
}

void TServiceModule::ReportStatus()
{
    if (status_.dwCurrentState == SERVICE_START_PENDING || status_.dwCurrentState == SERVICE_STOP_PENDING)
        SetState(status_.dwCurrentState);
}

void TServiceModule::ExitAsStopped(UINT exitCode)
{
    SetState(SERVICE_STOPPED);
    ExitProcess(exitCode);
}

void TServiceModule::RunService()
{
    statusHandle_ = RegisterServiceCtrlHandlerExA(properties_.Name.c_str(), &ServiceRunner::Handler, nullptr);
    if (!statusHandle_) return;
    controlEvent_.Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    SetState(SERVICE_START_PENDING);
    bool started = false;
    if (!RunLoggedPass("service start", [&] { ServiceStart(started); })) started = false;
    if (!started) {
        SetState(SERVICE_STOPPED, ERROR_SERVICE_SPECIFIC_ERROR);
        return;
    }
    SetState(SERVICE_RUNNING);
    // Serve control requests until a stop or shutdown arrives.
    for (;;) {
        WaitForSingleObject(controlEvent_.Get(), INFINITE);
        LONG control = InterlockedExchange(&pendingControl_, 0);
        if (control == SERVICE_CONTROL_SHUTDOWN) {
            RunLoggedPass("service shutdown", [this] { ServiceShutdown(); });
            break;
        }
        if (control == SERVICE_CONTROL_STOP) {
            bool stopped = true;
            RunLoggedPass("service stop", [&] { ServiceStop(stopped); });
            if (stopped) break;
            SetState(SERVICE_RUNNING);
        }
    }
    SetState(SERVICE_STOPPED);
    controlEvent_.Reset();
}

void TServiceModule::Report(bool silent, const std::string& text, bool ok)
{
    if (silent) return;
    std::fprintf(ok ? stdout : stderr, "%s\n", text.c_str());
}

bool TServiceModule::Install(bool silent)
{
    try {
        UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) RaiseLastOSError();
        std::string binary = "\"" + ModuleFileName() + "\"";
        std::string dependencies;
        for (const auto& dep : properties_.Dependencies) dependencies += dep + '\0';
        dependencies += '\0';
        UniqueScHandle service(CreateServiceA(manager.Get(), properties_.Name.c_str(),
                                              properties_.DisplayName.c_str(), SERVICE_ALL_ACCESS,
                                              properties_.ServiceType, properties_.StartType, properties_.ErrorControl,
                                              binary.c_str(), nullptr, nullptr, dependencies.c_str(), nullptr,
                                              nullptr));
        if (!service) RaiseLastOSError();
        service.Reset();
        ServiceAfterInstall();
        Report(silent, "Service " + properties_.Name + " installed successfully", true);
        return true;
    } catch (const std::exception& e) {
        Report(silent, "Service " + properties_.Name + " failed to install: " + e.what(), false);
        return false;
    }
}

bool TServiceModule::Uninstall(bool silent)
{
    try {
        UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
        if (!manager) RaiseLastOSError();
        UniqueScHandle service(OpenServiceA(manager.Get(), properties_.Name.c_str(), SERVICE_ALL_ACCESS));
        if (!service) RaiseLastOSError();
        ServiceAfterUninstall();
        if (!DeleteService(service.Get())) RaiseLastOSError();
        Report(silent, "Service " + properties_.Name + " uninstalled successfully", true);
        return true;
    } catch (const std::exception& e) {
        Report(silent, "Service " + properties_.Name + " failed to uninstall: " + e.what(), false);
        return false;
    }
}

int TServiceModule::Run(int argc, char** argv)
{
    gModule = this;
    bool install = false, uninstall = false, silent = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (SameText(arg, "/install") || SameText(arg, "-install")) install = true;
        else if (SameText(arg, "/uninstall") || SameText(arg, "-uninstall")) uninstall = true;
        else if (SameText(arg, "/silent") || SameText(arg, "-silent")) silent = true;
    }
    if (install) return Install(silent) ? 0 : 1;
    if (uninstall) return Uninstall(silent) ? 0 : 1;

    std::string name = properties_.Name;
    SERVICE_TABLE_ENTRYA table[] = {{name.data(), &ServiceRunner::ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
