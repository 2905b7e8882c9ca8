#include "uSystemProtectionThread.h"

#include <windows.h>
#include <shlobj.h>

#include "md5.h"
#include "qvFiles.h"
#include "qvPlainFiles.h"
#include "uChangeFilesProcedures.h"
#include "uCommonUtils.h"
#include "uHostsProcedures.h"
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

int TSystemProtectionThread::RegistryWatcherCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto& w : registryWatchers_)
        if (w && !w->Finished()) ++n;
    return n;
}

int TSystemProtectionThread::FolderWatcherCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto* w : {&systemFolder_, &dllcache_, &commonStartup_, &hostsFolder_})
        if (*w && !(*w)->Finished()) ++n;
    return n;
}

std::vector<std::string> TSystemProtectionThread::WatchedKeys() const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> keys;
    for (const auto& w : registryWatchers_)
        if (w && !w->Finished()) keys.push_back(w->Ref().Key + (w->View() == RegView::Key64 ? " (64)" : ""));
    return keys;
}

std::vector<std::string> TSystemProtectionThread::WatchedFolders() const
{
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<std::string> folders;
    for (const auto* w : {&systemFolder_, &dllcache_, &commonStartup_, &hostsFolder_})
        if (*w && !(*w)->Finished()) folders.push_back((*w)->Folder());
    return folders;
}

void TSystemProtectionThread::WatchFolder(std::unique_ptr<TDirWatchThread>& slot, const std::string& folder,
                                          void (*onChange)(const std::string&), bool examineFirst)
{
    auto watcher = std::make_unique<TDirWatchThread>(folder, 0, onChange, examineFirst);
    std::lock_guard<std::mutex> guard(lock_);
    slot = std::move(watcher);
}

void TSystemProtectionThread::WatchMachineKey(size_t index, const TMachineWatch& watch)
{
    TRegEngine ref;
    ref.Root = kRootHKLM;
    ref.Key = watch.Key;
    auto watcher = std::make_unique<TRegEventThread>(ref, watch.View, watch.Callback);
    std::lock_guard<std::mutex> guard(lock_);
    registryWatchers_[index] = std::move(watcher);
}

std::vector<TSetUpStep> TSystemProtectionThread::SetUpSteps()
{
    std::vector<TSetUpStep> steps;
    steps.push_back({"first Winlogon check", [] { RepairWinlogon(); }});
    if (ProtectedFilesGuardApplies(GetOSMajorVersion())) {
        steps.push_back({"protected files check", [] { CheckProtectedFiles(); }});
        steps.push_back({"system folder watcher", [this] {
                             WatchFolder(systemFolder_, GetSpecialFolder(CSIDL_SYSTEM), OnSystemFolderChanged);
                             Pause(100);
                         }});
        steps.push_back({"dllcache watcher", [this] {
                             WatchFolder(dllcache_, GetSpecialFolder(CSIDL_SYSTEM) + "\\dllcache", OnDllcacheChanged);
                         }});
    }
    const std::vector<TMachineWatch> watches = MachineRegistryWatches(IsWin64System());
    {
        // One place per watch, in creation order, whenever each is set up.
        std::lock_guard<std::mutex> guard(lock_);
        registryWatchers_.resize(watches.size());
    }
    for (size_t i = 0; i < watches.size(); ++i) {
        const TMachineWatch watch = watches[i];
        steps.push_back({"watcher of " + watch.Key, [this, i, watch] { WatchMachineKey(i, watch); }});
    }
    steps.push_back({"repeat thread", [this] {
                         auto repeat = std::make_unique<TRepeatThread>(OnMachinePoliciesRunChanged);
                         std::lock_guard<std::mutex> guard(lock_);
                         repeat_ = std::move(repeat);
                     }});
    steps.push_back({"common Startup folder watcher", [this] {
                         WatchFolder(commonStartup_, GetSpecialFolder(CSIDL_COMMON_STARTUP), OnCommonStartupChanged, true);
                     }});
    steps.push_back({"hosts folder watcher", [this] {
                         std::string bytes;
                         SetAcceptedHostsDigest(ReadPlainFile(BackupHostsPath(), bytes) ? MD5DigestToHex(MD5OfString(bytes))
                                                                                        : std::string());
                         WatchFolder(hostsFolder_, ExtractFilePath(GetHostsFilePath()), OnHostsChanged, true);
                     }});
    return steps;
}

void TSystemProtectionThread::Execute()
{
    RunSetUp([this] { return SetUpSteps(); }, "machine guards", "systemprotection.setup", *this, setUpDone_);
    WaitForSingleObject(StopEvent(), INFINITE);  // the watchers work; nothing to poll
    StopWatchers();
}

void TSystemProtectionThread::StopWatchers()
{
    std::unique_ptr<TRepeatThread> repeat;
    std::vector<std::unique_ptr<TRegEventThread>> registry;
    std::unique_ptr<TDirWatchThread> folders[4];
    {
        // Taken out under the lock: the counts seen elsewhere drop at once.
        std::lock_guard<std::mutex> guard(lock_);
        repeat = std::move(repeat_);
        registry = std::move(registryWatchers_);
        folders[0] = std::move(hostsFolder_);
        folders[1] = std::move(systemFolder_);
        folders[2] = std::move(dllcache_);
        folders[3] = std::move(commonStartup_);
    }
    RunLoggedPass("machine guards: stop", [&] {
        // All are told first, then waited for: their stops overlap.
        if (repeat) repeat->Terminate();
        for (auto& watcher : registry)
            if (watcher) watcher->Terminate();
        for (auto& folder : folders)
            if (folder) folder->Terminate();
        StopAndFree(repeat);
        for (auto& watcher : registry) StopAndFree(watcher);
        for (auto& folder : folders) StopAndFree(folder);
    });
}
