#pragma once
// Sets up every machine-wide guard: the first Winlogon repair, one watcher per
// guarded key or folder, and stops them all when it ends.
#include <memory>
#include <string>
#include <vector>

#include "qvThread.h"
#include "uDirWatchThread.h"
#include "uRegEventThread.h"
#include "uTestRepeatThread.h"

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
    ~TSystemProtectionThread() override { StopAndJoin(); }
    // For tests: how many watchers of each kind are running.
    int RegistryWatcherCount() const;
    int FolderWatcherCount() const;
    bool SetUpDone() const { return setUpDone_.load(); }
    // Once set up: each running registry watcher as its key, with " (64)" after
    // a 64-bit-view one, in creation order; and the folders watched.
    std::vector<std::string> WatchedKeys() const;
    std::vector<std::string> WatchedFolders() const;

protected:
    void Execute() override;

private:
    void StopWatchers();

    std::vector<std::unique_ptr<TRegEventThread>> registryWatchers_;
    std::unique_ptr<TRepeatThread> repeat_;
    std::unique_ptr<TDirWatchThread> systemFolder_, dllcache_, commonStartup_, hostsFolder_;
    std::atomic<bool> setUpDone_{false};
};

extern std::unique_ptr<TSystemProtectionThread> gSystemProtectionThread;
