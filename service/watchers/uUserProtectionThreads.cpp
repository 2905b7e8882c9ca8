#include "uUserProtectionThreads.h"

#include <windows.h>

#include <iterator>

#include "qvFiles.h"
#include "uLogThread.h"
#include "uRunFileFromSrv.h"
#include "uUserEventsProcedures.h"

namespace {

struct TUserWatch {
    const char* Path;
    void (*Callback)(TRegEngine&);
};

// In the order the watchers are created.
const TUserWatch kUserWatches[] = {
    {"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", &OnUserWinlogonChanged},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", &OnUserPoliciesRunChanged},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run", &OnUserRunChanged},
    {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce", &OnUserRunOnceChanged},
    {"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System", &OnUserPoliciesSystemChanged},
    {"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", &OnUserWindowsChanged},
};

TRegEngine UserKey(const std::string& sid, const std::string& path)
{
    TRegEngine rec;
    rec.Root = kRootHKU;
    rec.Key = sid + "\\" + path;
    return rec;
}

}  // namespace

std::string SafeUserStartupFolder(const std::string& sid, std::string& why)
{
    TRegEngine rec = UserKey(sid, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders");
    rec.Value = "Startup";
    const std::string startup = ExcludeTrailingBackslash(ReadRegString(rec));
    if (startup.empty()) {
        why = "no Startup folder is named for the user";
        return {};
    }
    const std::string profile = GetUserProfileFolder(sid);
    if (profile.empty()) {
        why = "the user's profile folder is unknown";
        return {};
    }
    // The folder comes from a value the user can write; the LocalSystem
    // service only works inside the user's own profile and never through links.
    if (!LiesInside(startup, profile)) {
        why = "the Startup folder " + startup + " lies outside the profile " + profile;
        return {};
    }
    if (!OpenPlainFolder(startup)) {
        why = "the Startup folder " + startup + " is not a plain folder (a link on the way?)";
        return {};
    }
    return startup;
}

TUserProtectionThreads::TUserProtectionThreads(SidLookup lookup) : lookup_(std::move(lookup))
{
    if (!lookup_) lookup_ = [](std::string& sid, std::string& name) { return GetConsoleUserSidAndName(sid, name); };
    Start();
}

std::string TUserProtectionThreads::Sid() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return sid_;
}

std::string TUserProtectionThreads::UserName() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return name_;
}

int TUserProtectionThreads::RegistryWatcherCount() const
{
    std::lock_guard<std::mutex> guard(lock_);
    int n = 0;
    for (const auto& w : registryWatchers_)
        if (w && !w->Finished()) ++n;
    return n;
}

bool TUserProtectionThreads::HasStartupWatcher() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return startupWatcher_ && !startupWatcher_->Finished();
}

bool TUserProtectionThreads::FindUser()
{
    for (int round = 0; round < 40 && !Terminated(); ++round) {
        std::string sid, name;
        // a lookup that throws counts as a round that found nobody
        RunLoggedPass("per-user guards: console user's SID", [&] { lookup_(sid, name); });
        if (!Pause(200)) return false;
        if (!sid.empty() && !name.empty()) {
            std::lock_guard<std::mutex> guard(lock_);
            sid_ = sid;
            name_ = name;
            return true;
        }
    }
    return false;
}

void TUserProtectionThreads::WatchStartupFolder()
{
    std::string why;
    const std::string folder = SafeUserStartupFolder(Sid(), why);
    if (folder.empty()) {
        WriteServiceLog("Папка автозагрузки пользователя не охраняется: " + why);
        return;
    }
    auto onChange = [sid = Sid()](const std::string& changed) { OnUserStartupChanged(sid, changed); };
    auto watcher = std::make_unique<TDirWatchThread>(folder, 0, onChange, true);
    std::lock_guard<std::mutex> guard(lock_);
    startupWatcher_ = std::move(watcher);
}

void TUserProtectionThreads::WatchUserKey(size_t index)
{
    const TUserWatch& watch = kUserWatches[index];
    TRegEngine ref = UserKey(Sid(), watch.Path);
    if (watch.Callback == &OnUserWinlogonChanged) watch.Callback(ref);
    auto watcher = std::make_unique<TRegEventThread>(ref, RegView::Default, watch.Callback);
    std::lock_guard<std::mutex> guard(lock_);
    registryWatchers_[index] = std::move(watcher);
}

std::vector<TSetUpStep> TUserProtectionThreads::SetUpSteps()
{
    {
        // One place per watch, in creation order, whenever each is set up.
        std::lock_guard<std::mutex> guard(lock_);
        registryWatchers_.resize(std::size(kUserWatches));
    }
    std::vector<TSetUpStep> steps;
    for (size_t i = 0; i < std::size(kUserWatches); ++i)
        steps.push_back({std::string("watcher of ") + kUserWatches[i].Path, [this, i] { WatchUserKey(i); }});
    steps.push_back({"Startup folder watcher", [this] { WatchStartupFolder(); }});
    return steps;
}

void TUserProtectionThreads::Execute()
{
    struct StopAtEnd {
        TUserProtectionThreads* self;
        ~StopAtEnd() { self->StopWatchers(); }
    } stopAtEnd{this};

    if (!FindUser()) {
        setUpDone_ = true;
        return;  // no SID: no per-user watchers
    }
    RunSetUp([this] { return SetUpSteps(); }, "per-user guards", "userprotection.setup", *this, setUpDone_);
    WaitForSingleObject(StopEvent(), INFINITE);  // the watchers work; nothing to poll
}

void TUserProtectionThreads::StopWatchers()
{
    std::unique_ptr<TDirWatchThread> startup;
    std::vector<std::unique_ptr<TRegEventThread>> watchers;
    {
        std::lock_guard<std::mutex> guard(lock_);
        startup = std::move(startupWatcher_);
        watchers = std::move(registryWatchers_);
    }
    RunLoggedPass("per-user guards: stop", [&] {
        // All are told first, then waited for: their stops overlap.
        if (startup) startup->Terminate();
        for (auto& watcher : watchers)
            if (watcher) watcher->Terminate();
        StopAndFree(startup);
        for (auto& watcher : watchers) StopAndFree(watcher);
    });
}
