#include "QuorvaneService.h"

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <vector>

#include "RegistryUtils.h"
#include "Trust.h"
#include "qvCaught.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvOwnFolder.h"
#include "qvPlainFiles.h"
#include "uCommonUtils.h"
#include "uChangeFilesProcedures.h"
#include "uDispatcherThread.h"
#include "uJail.h"
#include "uLogThread.h"
#include "uKillerUtils.h"
#include "uMbrThread.h"
#include "uPIDProcessing.h"
#include "uServiceMessThread.h"
#include "uServiceUtils.h"
#include "uSystemProtectionThread.h"
#include "uThreadPass.h"
#include "uUserSIDThreads.h"

namespace {

TServiceProperties QuorvaneProperties()
{
    TServiceProperties p;
    p.Name = kServiceName;
    p.DisplayName = kServiceName;
    p.Dependencies = {"RpcSs"};
    p.StartType = SERVICE_AUTO_START;
    p.ServiceType = SERVICE_WIN32_OWN_PROCESS;
    p.ErrorControl = SERVICE_ERROR_NORMAL;
    p.WaitHint = 5000;
    p.AllowStop = true;
    p.AllowPause = false;
    return p;
}

TRegEngine DescriptionRef()
{
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = kServiceKey;
    rec.Value = "Description";
    return rec;
}

}  // namespace

TQuorvane::TQuorvane() : TServiceModule(QuorvaneProperties()) {}

void TQuorvane::ServiceStart(bool& started)
{
    ReportStatus();
    InitService();
    started = true;
    ReportStatus();
}

void TQuorvane::ServiceStop(bool& stopped)
{
    // A thread that did not end in time cannot be freed: the process ends
    // instead, within the time the manager was told.
    if (!StopAllThreads()) ExitAsStopped(0);
    stopped = true;
}

void TQuorvane::ServiceShutdown()
{
    if (!StopAllThreads()) ExitAsStopped(0);
}

void TQuorvane::ServiceAfterInstall()
{
    TRegEngine rec = DescriptionRef();
    WriteRegString(rec, kServiceDescription);

    UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) RaiseLastOSError();
    UniqueScHandle service(OpenServiceA(manager.Get(), kServiceName, SERVICE_ALL_ACCESS));
    if (!service) RaiseLastOSError();
    SC_ACTION actions[3];
    for (auto& action : actions) {
        action.Type = SC_ACTION_RESTART;
        action.Delay = 500;
    }
    SERVICE_FAILURE_ACTIONSA failure{};
    failure.dwResetPeriod = 0;
    failure.lpRebootMsg = nullptr;
    failure.lpCommand = nullptr;
    failure.cActions = 3;
    failure.lpsaActions = actions;
    if (!ChangeServiceConfig2A(service.Get(), SERVICE_CONFIG_FAILURE_ACTIONS, &failure)) RaiseLastOSError();
}

void TQuorvane::ServiceAfterUninstall()
{
    // Runs while the service key still exists: deleting the value afterwards
    // would create the key of a removed service anew.
    TRegEngine rec = DescriptionRef();
    if (RegKeyExists(rec)) DeleteRegValue(rec);
}

void RotateLog(const std::string& logPath, const std::string& oldPath)
{
    // Through the checked handles: a link at either name is never followed.
    if (GetFileAttributesA(logPath.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    RenamePlainFile(logPath, oldPath);
}

TOwnFolderResult TakeDataFolder() { return TakeOwnFolder(GetDataFolder()); }

void SetLanguageDefault(const std::string& programFolder)
{
    TRegEngine rec = SettingRef("language");
    if (RegValueExists(rec)) return;
    std::string localeFile = GetLocaleInfoText(0x1001) + ".lng";
    WriteRegString(rec, FileExists(programFolder + localeFile) ? localeFile : "Russian.lng");
}

void SetTrayDefaults()
{
    for (const char* name : {"show_tray_icon", "show_tray_warn"}) {
        TRegEngine rec = SettingRef(name);
        if (!RegValueExists(rec)) WriteRegBool(rec, true);
    }
}

namespace {

// Lines reported before the service log exists wait here and are written to it
// once it does. Only the service's own thread runs until then.
std::vector<std::string>& LinesBeforeLog()
{
    static std::vector<std::string> lines;
    return lines;
}

void KeepForServiceLog(const std::string& line) { LinesBeforeLog().push_back(line); }

void WriteKeptLines()
{
    for (const std::string& line : LinesBeforeLog()) WriteServiceLog(line);
    LinesBeforeLog().clear();
}

// A thread whose start the system refused is a failed step, not an object
// that looks like a running guard.
template <typename T>
void StartThread(std::unique_ptr<T>& thread)
{
    thread = std::make_unique<T>();
    if (thread->Handle()) return;
    const DWORD error = GetLastError();
    thread.reset();
    throw EOSError(error, "the thread did not start");
}

// One step of the start-up: what it throws is logged as "start-up: <what>:
// <error>", and the start goes on with the next step.
void RunStartStep(const std::string& what, const std::function<void()>& step)
{
    RunLoggedPass("start-up: " + what, step);
}

}  // namespace

void TQuorvane::InitService()
{
    if (!SameText(ExtractFileName(ModuleFileName()), kServiceProgramName)) ExitAsStopped(0);
    ReportStatus();
    SetCaughtSink(&KeepForServiceLog);

    const std::string dataFolder = GetDataFolder();
    const std::string guiLog = dataFolder + "gui.log";
    const std::string serviceLog = dataFolder + "service.log";
    ReportStatus();

    // Whatever the checks of the data folder found is said once the log exists.
    TOwnFolderResult data;
    RunStartStep("data folder", [&] { data = TakeDataFolder(); });
    if (!data.Note.empty()) KeepForServiceLog("папка данных: " + data.Note);
    if (data.Usable) {
        RunStartStep("rotation of service.log", [&] { RotateLog(serviceLog, OldLogName(serviceLog)); });
        ReportStatus();
        RunStartStep("rotation of gui.log", [&] { RotateLog(guiLog, OldLogName(guiLog)); });
    }

    gGuiLog = std::make_unique<TLogThread>(guiLog);
    gServiceLog = std::make_unique<TLogThread>(serviceLog);
    SetCaughtSink(&WriteServiceLog);
    WriteServiceLog("Запуск службы Quorvane " + GetVersionText());
    WriteKeptLines();

    // Each step on its own: one that fails is logged with its error, and the
    // guards of the steps after it still start.
    if (data.Usable) {
        RunStartStep("quarantine folder", [] {
            const TOwnFolderResult jail = TakeOwnFolder(JailFolder());
            if (!jail.Note.empty()) WriteServiceLog("карантин: " + jail.Note);
        });
        // Made only where reference copies are kept; checked wherever found.
        RunStartStep("reference copies folder", [] {
            if (!DirectoryExists(ReferenceFolder())) return;
            const TOwnFolderResult references = TakeOwnFolder(ReferenceFolder());
            if (!references.Note.empty()) WriteServiceLog("reference copies: " + references.Note);
        });
    }

    RunStartStep("default language", [] { SetLanguageDefault(ModuleFolder()); });
    ReportStatus();
    RunStartStep("tray defaults", [] { SetTrayDefaults(); });
    ReportStatus();

    RunStartStep("event dispatcher", [] { StartThread(gDispatcherThread); });
    ReportStatus();
    Sleep(1000);
    ReportStatus();
    RunStartStep("command thread", [] { StartThread(gServiceMessThread); });
    RunStartStep("machine guards", [] { StartThread(gSystemProtectionThread); });
    RunStartStep("console user thread", [] { StartThread(gUserSIDThreads); });
    ReportStatus();
    Sleep(10);
    RunStartStep("MBR guard", [] { StartThread(gMbrThread); });
}

bool TQuorvane::StopAllThreads()
{
    // Each step reports progress first and then waits less than the wait hint
    // it announces, so the manager never waits on a stop that hangs.
    bool allEnded = true;
    const bool stepsRan = RunLoggedPass("stop of the service's threads", [&] {
        ReportStatus();
        if (gServiceMessThread) gServiceMessThread->WakeToStop();
        allEnded &= StopWithin(gServiceMessThread, kStopStepMs);
        ReportStatus();
        const uint32_t trayPid = gUserSIDThreads ? gUserSIDThreads->TrayProcessId() : 0;
        allEnded &= StopWithin(gUserSIDThreads, kStopStepMs);
        // Only the tray program from our own folder: the kept id came from a
        // mailslot answer and may by now belong to another process.
        if (IsOurTrayProcess(trayPid)) TerminateTrayProcess(trayPid);
        ReportStatus();
        allEnded &= StopWithin(gSystemProtectionThread, kStopStepMs);
        ReportStatus();
        allEnded &= StopWithin(gDispatcherThread, kStopStepMs);
        ReportStatus();
        allEnded &= StopWithin(gMbrThread, kStopStepMs);
        if (!allEnded) WriteServiceLog("Остановка службы: поток не завершился вовремя, процесс будет завершён");
        if (gServiceLog) gServiceLog->Terminate();
    });
    return stepsRan && allEnded;
}

int RunServiceProgram(int argc, char** argv)
{
    InitTrust();
    static TQuorvane service;
    int code = service.Run(argc, argv);
    FinalizeTrust();
    return code;
}
