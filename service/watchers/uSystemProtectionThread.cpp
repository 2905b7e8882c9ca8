#include "uSystemProtectionThread.h"

#include <windows.h>
#include <shlobj.h>

#include "md5.h"
#include "qvFiles.h"
#include "qvPlainFiles.h"
#include "uChangeFilesProcedures.h"
#include "uCommonUtils.h"
#include "uHostsProcedures.h"
#include "uLogThread.h"
#include "uSystemEventsProcedures.h"
#include "uWinLogonProcedures.h"

std::unique_ptr<TSystemProtectionThread> gSystemProtectionThread;

std::vector<TMachineWatch> MachineRegistryWatches(bool win64)
{
    const std::string run = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string wowRun = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
    const std::string& normalRun = win64 ? wowRun : run;
    // 32-bit programs read AppInit_DLLs from the Wow6432Node key, 64-bit ones
    // from the 64-bit view: on 64-bit Windows both are watched, each by name.
    const std::string windows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    const std::string wowWindows = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
    std::vector<TMachineWatch> watches = {
        {WinlogonKeyPath(), RegView::Default, &OnWinlogonChanged},
        {win64 ? wowWindows : windows, RegView::Default, &OnAppInitChanged},
        {kIfeoKey, RegView::Default, &OnIfeoChanged},
        {kMachinePoliciesSystemKey, RegView::Default, &OnMachinePolicyChanged},
        {normalRun, RegView::Default, &OnMachineRunChanged},
    };
    if (win64) {
        // Winlogon is a 64-bit program there and reads its key in the 64-bit view.
        watches.push_back({kWinlogon64Key, RegView::Key64, &OnWinlogon64Changed});
        watches.push_back({windows, RegView::Key64, &OnAppInit64Changed});
        watches.push_back({run, RegView::Key64, &OnMachineRun64Changed});
        watches.push_back({run + "Once", RegView::Key64, &OnMachineRunOnce64Changed});
        watches.push_back({run + "OnceEx", RegView::Key64, &OnMachineRunOnceEx64Changed});
    }
    watches.push_back({normalRun + "Once", RegView::Default, &OnMachineRunOnceChanged});
    watches.push_back({normalRun + "OnceEx", RegView::Default, &OnMachineRunOnceExChanged});
    watches.push_back({kPoliciesExplorerRunKey, RegView::Default, &OnMachinePoliciesRunChanged});
    return watches;
}

namespace {

// Each watcher is set up on its own: one that fails leaves the others in place.
template <typename Fn>
void Guarded(Fn&& step)
{
    try {
        step();
    } catch (const std::exception& error) {
        // that watcher stays absent; the others are set up
        WriteServiceLog(std::string("machine watcher not set up: ") + error.what());
    }
}

}  // namespace

int TSystemProtectionThread::RegistryWatcherCount() const
{
    int n = 0;
    for (const auto& w : registryWatchers_)
        if (w && !w->Finished()) ++n;
    return n;
}

int TSystemProtectionThread::FolderWatcherCount() const
{
    int n = 0;
    for (const auto* w : {&systemFolder_, &dllcache_, &commonStartup_, &hostsFolder_})
        if (*w && !(*w)->Finished()) ++n;
    return n;
}

std::vector<std::string> TSystemProtectionThread::WatchedKeys() const
{
    std::vector<std::string> keys;
    for (const auto& w : registryWatchers_)
        if (w && !w->Finished()) keys.push_back(w->Ref().Key + (w->View() == RegView::Key64 ? " (64)" : ""));
    return keys;
}

std::vector<std::string> TSystemProtectionThread::WatchedFolders() const
{
    std::vector<std::string> folders;
    for (const auto* w : {&systemFolder_, &dllcache_, &commonStartup_, &hostsFolder_})
        if (*w && !(*w)->Finished()) folders.push_back((*w)->Folder());
    return folders;
}

void TSystemProtectionThread::Execute()
{
    // No handler of its own: an error here ends the thread before any watcher.
    RepairWinlogon();

    if (ProtectedFilesGuardApplies(GetOSMajorVersion())) {
        CheckProtectedFiles();
        const std::string system = GetSpecialFolder(CSIDL_SYSTEM);
        Guarded([&] { systemFolder_ = std::make_unique<TDirWatchThread>(system, 0, WriteServiceLog, OnSystemFolderChanged); });
        Sleep(100);
        Guarded([&] { dllcache_ = std::make_unique<TDirWatchThread>(system + "\\dllcache", 0, WriteServiceLog, OnDllcacheChanged); });
    }

    for (const TMachineWatch& watch : MachineRegistryWatches(IsWin64System())) {
        Guarded([&] {
            TRegEngine ref;
            ref.Root = kRootHKLM;
            ref.Key = watch.Key;
            registryWatchers_.push_back(std::make_unique<TRegEventThread>(ref, watch.View, WriteServiceLog, watch.Callback));
        });
    }

    Guarded([&] { repeat_ = std::make_unique<TRepeatThread>(OnMachinePoliciesRunChanged); });

    Guarded([&] {
        const std::string startup = GetSpecialFolder(CSIDL_COMMON_STARTUP);
        commonStartup_ = std::make_unique<TDirWatchThread>(startup, 0, WriteServiceLog, OnCommonStartupChanged, true);
    });

    Guarded([&] {
        const std::string backup = BackupHostsPath();
        std::string bytes;
        SetAcceptedHostsDigest(ReadPlainFile(backup, bytes) ? MD5DigestToHex(MD5OfString(bytes)) : std::string());
        const std::string folder = ExtractFilePath(GetHostsFilePath());
        hostsFolder_ = std::make_unique<TDirWatchThread>(folder, 0, WriteServiceLog, OnHostsChanged, true);
    });

    setUpDone_ = true;
    WaitForSingleObject(StopEvent(), INFINITE);  // the watchers work; nothing to poll
    StopWatchers();
}

void TSystemProtectionThread::StopWatchers()
{
    try {
        StopAndFree(repeat_);
        for (auto& watcher : registryWatchers_) HardStopRegWatch(watcher);
        registryWatchers_.clear();
        HardStopDirWatch(hostsFolder_);
        HardStopDirWatch(systemFolder_);
        HardStopDirWatch(dllcache_);
        HardStopDirWatch(commonStartup_);
    } catch (const std::exception& error) {
        WriteServiceLog(std::string("machine watchers not all stopped: ") + error.what());
    }
}
