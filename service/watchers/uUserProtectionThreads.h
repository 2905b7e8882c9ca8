#pragma once
// The console user's guards: six registry watchers under HKEY_USERS\<SID> and
// the user's Startup folder. Each is set up on its own; one that fails is
// logged and tried again every few seconds.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "qvThread.h"
#include "uDirWatchThread.h"
#include "uRegEventThread.h"
#include "uThreadPass.h"

class TUserProtectionThreads : public TThread {
public:
    // lookup: reads the console user's SID and name (both empty on failure);
    // tests give their own.
    using SidLookup = std::function<bool(std::string& sid, std::string& name)>;
    explicit TUserProtectionThreads(SidLookup lookup = {});
    // Ends the thread while this object (its lock, its watchers) is whole.
    ~TUserProtectionThreads() override { StopAndJoin(); }

    std::string Sid() const;
    std::string UserName() const;
    int RegistryWatcherCount() const;
    bool HasStartupWatcher() const;
    // True once every guard was tried (set up, or left to be tried again), or
    // the thread gave up on the SID.
    bool SetUpDone() const { return setUpDone_.load(); }

protected:
    void Execute() override;

private:
    bool FindUser();
    std::vector<TSetUpStep> SetUpSteps();
    void WatchUserKey(size_t index);
    void WatchStartupFolder();
    void StopWatchers();

    SidLookup lookup_;
    mutable std::mutex lock_;
    std::string sid_, name_;
    std::vector<std::unique_ptr<TRegEventThread>> registryWatchers_;  // a null one is not set up yet
    std::unique_ptr<TDirWatchThread> startupWatcher_;
    std::atomic<bool> setUpDone_{false};
};

// The user's Startup folder as the user's "Shell Folders" names it, when it
// is safe for the service to examine: inside the user's profile folder and not
// reached through a reparse point. Empty otherwise; `why` tells.
std::string SafeUserStartupFolder(const std::string& sid, std::string& why);
