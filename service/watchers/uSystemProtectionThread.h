#pragma once
// Sets up every machine-wide guard: the first Winlogon repair, one watcher per
// guarded key or folder, and stops them all when it ends. Each part is set up
// on its own; one that fails is logged and tried again every few seconds.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "qvThread.h"
#include "uDirWatchThread.h"
#include "uRegEventThread.h"
#include "uTestRepeatThread.h"
#include "uThreadPass.h"

// One machine-wide registry watcher: key, view and callback.
struct TMachineWatch {
    std::string Key;
    RegView View;
    void (*Callback)(TRegEngine&);
};

// The registry watchers in the order they are created; the 64-bit-view ones
// (Winlogon, AppInit_DLLs, Run, RunOnce, RunOnceEx) only on 64-bit Windows.
std::vector<TMachineWatch> MachineRegistryWatches(bool win64);

class TSystemProtectionThread : public TThread {
public:
    TSystemProtectionThread() { Start(); }
    // Ends the thread while this object (its lock, its watchers) is whole.
    ~TSystemProtectionThread() override { StopAndJoin(); }
    // For tests: how many watchers of each kind are running.
    int RegistryWatcherCount() const;
    int FolderWatcherCount() const;
    // True once every part was tried (set up, or left to be tried again).
    bool SetUpDone() const { return setUpDone_.load(); }
    // Once set up: each running registry watcher as its key, with " (64)" after
    // a 64-bit-view one, in creation order; and the folders watched.
    std::vector<std::string> WatchedKeys() const;
    std::vector<std::string> WatchedFolders() const;

protected:
    void Execute() override;

private:
    std::vector<TSetUpStep> SetUpSteps();
    void WatchFolder(std::unique_ptr<TDirWatchThread>& slot, const std::string& folder,
                     void (*onChange)(const std::string&), bool examineFirst = false);
    void WatchMachineKey(size_t index, const TMachineWatch& watch);
    void StopWatchers();

    mutable std::mutex lock_;  // the watchers, made on this thread and counted on others
    std::vector<std::unique_ptr<TRegEventThread>> registryWatchers_;  // a null one is not set up yet
    std::unique_ptr<TRepeatThread> repeat_;
    std::unique_ptr<TDirWatchThread> systemFolder_, dllcache_, commonStartup_, hostsFolder_;
    std::atomic<bool> setUpDone_{false};
};

extern std::unique_ptr<TSystemProtectionThread> gSystemProtectionThread;
