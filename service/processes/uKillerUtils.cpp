#include "uKillerUtils.h"

#include <windows.h>

#include <algorithm>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "Trust.h"
#include "md5.h"
#include "qvCaught.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvProtocol.h"
#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uJail.h"
#include "uLogThread.h"
#include "uMailSlots.h"
#include "uPIDProcessing.h"
#include "uRunFileFromSrv.h"
#include "uServiceUtils.h"

std::atomic<bool> KillerRunning{false};

namespace {

// The killer never ends these, as the copies in the service's own folder; a
// namesake elsewhere is any other program.
constexpr const char* kExemptNames[] = {"ServiceQuorvane.exe", "pelmarith.exe", "QuorvaneTray.exe"};

// A program that comes back as fast as it is ended must not keep the caller
// busy for ever.
constexpr int kMaxKillRounds = 64;

bool IsOwnProgram(const std::string& path)
{
    const std::string name = ExtractFileName(path);
    if (!std::any_of(std::begin(kExemptNames), std::end(kExemptNames),
                     [&](const char* exempt) { return SameText(name, exempt); }))
        return false;
    return SameProgramPath(path, ModuleFolder() + name);
}

// A locker that rewrites a value in a loop names the same program each time.
// Once a repair has ended it, it is not searched for again (a process
// snapshot, digests of every image of its size) for a few seconds, as long as
// no process has started since: listing the process ids costs a fraction of
// one search.
class TRecentlyEnded {
public:
    // The program was ended a moment ago and no process runs that did not run then.
    bool Holds(const std::string& key, const TPidList& running)
    {
        if (running.empty()) return false;  // a failed listing proves nothing
        std::lock_guard<std::mutex> guard(lock_);
        auto found = entries_.find(key);
        if (found == entries_.end()) return false;
        if (GetTickCount() - found->second.At >= kSpanMs) {
            entries_.erase(found);
            return false;
        }
        return std::includes(found->second.Running.begin(), found->second.Running.end(), running.begin(),
                             running.end());
    }
    void Note(const std::string& key, TPidList running)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (entries_.size() >= kCapacity) entries_.clear();  // many programs at once: no locker loop
        entries_[key] = {GetTickCount(), std::move(running)};
    }

private:
    static constexpr DWORD kSpanMs = 3000;
    static constexpr size_t kCapacity = 16;
    struct TEntry {
        DWORD At;
        TPidList Running;  // sorted
    };
    std::mutex lock_;
    std::map<std::string, TEntry> entries_;
};

TRecentlyEnded gRecentlyEnded;

// Ends the program unless a repair under the same owner scope ended it a
// moment ago. True when it was searched for.
bool KillProgramUnlessJustEnded(const std::string& path, bool jail)
{
    const std::string key = TProcessOwnerScope::Current() + '\n' + (jail ? "j\n" : "\n") + LowerCase(ProgramPathOf(path));
    if (gRecentlyEnded.Holds(key, RunningProcessIds())) return false;
    KillProgramAll(path, jail);
    // Only a program that no longer runs is known ended: one left running (of
    // another user, refused) is searched for again next time.
    if (FindProcessByPath(path) < 0) gRecentlyEnded.Note(key, RunningProcessIds());
    return true;
}

bool KillTwins(const TFileDigest& program, bool jail);

void SendKillerState(proto::TrayControl state) { SendToMailSlot(proto::ToTray(state), kTraySlot); }

// Ends the process only while it still runs the image it was found by (its
// id may have passed to another program since), and jails that image.
bool EndFoundAndJail(int64_t pid, const std::wstring& image, bool jail)
{
    if (pid < 0 || !TerminateProcessRunning(static_cast<uint32_t>(pid), image)) return false;
    if (jail) JailFileW(image);
    return true;
}

bool KillProgramInner(const std::string& program, bool jail)
{
    std::wstring image;
    const int64_t pid = FindProcessByPath(program, &image);
    if (EndFoundAndJail(pid, image, jail)) {
        KillTwinProcesses(program, jail);
        return true;
    }
    if (!TerminateProcessesByName(program)) return KillTwinProcesses(program, jail);
    if (jail) JailFile(program);
    return true;
}

}  // namespace

bool KillProgram(const std::string& path, bool jail)
{
    try {
        // The text may be a whole command ("C:\x\a.exe /s"): its program file is
        // what twins are compared with and what goes to the jail.
        return KillProgramInner(ProgramPathOf(path), jail);
    } catch (const std::exception& error) {
        ReportCaught("KillProgram", error);
    } catch (...) {
        ReportUnknownCaught("KillProgram");
    }
    return false;
}

bool KillProgramW(const std::wstring& program, bool jail, const TFileDigest* read)
{
    try {
        // Found by its real name: the ANSI form of a name outside the code
        // page may match no process, or another one.
        std::wstring image;
        const int64_t pid = FindProcessByPathW(program, &image);
        const std::string recordForm = WideToAnsiForRecord(program);
        if (EndFoundAndJail(pid, image, jail)) {
            if (read) {
                KillTwins(*read, jail);
            } else {
                KillTwinProcesses(recordForm, jail);
            }
            return true;
        }
        if (FitsCodePage(program)) return KillProgram(recordForm, jail);
        // Ended by its short name or its twins; jailed under its real name.
        const bool ended = KillProgram(recordForm, false);
        if (ended && jail) JailFileW(program);
        return ended;
    } catch (const std::exception& error) {
        ReportCaught("KillProgramW", error);
    } catch (...) {
        ReportUnknownCaught("KillProgramW");
    }
    return false;
}

namespace {

// Repeats the kill while a round ends a process not ended before: a process
// that only seems to end (or a name that keeps matching) cannot loop for ever.
template <typename KillOnce>
int KillRounds(KillOnce killOnce)
{
    int rounds = 0;
    TPidList seen;
    while (rounds < kMaxKillRounds) {
        TEndedProcessLog log;
        if (!killOnce()) break;
        bool reachedNew = false;
        for (uint32_t pid : log.Ended())
            if (std::find(seen.begin(), seen.end(), pid) == seen.end()) {
                seen.push_back(pid);
                reachedNew = true;
            }
        if (!reachedNew) break;
        ++rounds;
    }
    return rounds;
}

}  // namespace

int KillProgramAll(const std::string& path, bool jail)
{
    const int rounds = KillRounds([&] { return KillProgram(path, jail); });
    const std::string program = ProgramPathOf(path);
    if (FileExists(program)) KillTwinProcesses(program, jail);
    TellTrayRefresh();
    return rounds;
}

namespace {

// A process and the program file it runs, read once.
struct TProcessImage {
    uint32_t Pid;
    std::wstring Image;
};

std::vector<TProcessImage> ReadImages(const std::vector<TRunningProcess>& processes)
{
    std::vector<TProcessImage> images;
    for (const TRunningProcess& process : processes) {
        std::wstring image = GetProcessImagePathW(process.Pid);
        if (!image.empty()) images.push_back({process.Pid, std::move(image)});
    }
    return images;
}

// The processes that run a copy of one of the programs (the same bytes under
// any name). Only a file of a program's size is digested, and once.
class TTwinSearch {
public:
    explicit TTwinSearch(TFileDigestCache& files) : files_(files) {}
    void Add(const TFileDigest& program)
    {
        if (program.Md5.empty()) return;
        sizes_.insert(program.Size);
        digests_.insert(program.Md5);
    }
    bool Empty() const { return digests_.empty(); }
    bool IsTwin(const std::wstring& image)
    {
        if (sizes_.count(files_.SizeOf(image)) == 0) return false;
        const std::string& md5 = files_.Of(image).Md5;
        return !md5.empty() && digests_.count(md5) > 0;
    }
    // Ends them (and jails their files on request), each only while it still
    // runs the file judged.
    bool EndTwins(const std::vector<TProcessImage>& processes, bool jail)
    {
        bool ended = false;
        for (const TProcessImage& process : processes) {
            if (!IsTwin(process.Image) || !TerminateProcessRunning(process.Pid, process.Image)) continue;
            ended = true;
            if (jail) JailFile(files_.Of(process.Image));
        }
        return ended;
    }

private:
    TFileDigestCache& files_;
    std::set<int64_t> sizes_;
    std::set<std::string> digests_;
};

bool KillTwins(const TFileDigest& program, bool jail)
{
    TFileDigestCache files;
    TTwinSearch twins(files);
    twins.Add(program);
    return !twins.Empty() && twins.EndTwins(ReadImages(SnapshotProcesses()), jail);
}

}  // namespace

bool KillTwinProcesses(const std::string& path, bool jail)
{
    return KillTwins(DigestFileW(AnsiToWide(ProgramPathOf(path))), jail);
}

void KillCommandPrograms(const std::string& text, bool jail, const std::string& keep)
{
    if (keep.empty()) {
        KillProgramUnlessJustEnded(text, jail);
        return;
    }
    // Every program the text names is ended, not only the first: a locker
    // after the healthy program runs as well.
    const std::string keepName = ExtractFileName(keep);
    bool acted = false;
    for (const std::string& path : CommandEntryPrograms(text)) {
        if (SameText(ExtractFileName(path), keepName)) continue;
        acted |= KillProgramUnlessJustEnded(path, jail);
        // A file dropped again is jailed again, searched for or not.
        if (jail && FileExists(path)) {
            JailFile(path);
            acted = true;
        }
    }
    if (acted) TellTrayRefresh();
}

void KillCommandProgramsW(const std::wstring& text, bool jail, const std::wstring& keep)
{
    const std::wstring keepName = ExtractFileNameW(keep);
    bool acted = false;
    for (const std::wstring& program : CommandEntryProgramsW(text)) {
        if (!keep.empty() && SameTextW(ExtractFileNameW(program), keepName)) continue;
        // A locker that rewrites its value in a loop names the program it
        // just lost: while no process has started since, it is not searched
        // for (snapshot, digests) again.
        const std::string key = TProcessOwnerScope::Current() + '\n' + (jail ? "j\n" : "\n") +
                                LowerCase(WideToAnsi(program));
        if (!gRecentlyEnded.Holds(key, RunningProcessIds())) {
            KillRounds([&] { return KillProgramW(program, jail); });
            if (FileExistsW(program)) KillTwinProcesses(WideToAnsiForRecord(program), jail);
            if (FindProcessByPathW(program) < 0) gRecentlyEnded.Note(key, RunningProcessIds());
            acted = true;
        }
        // A file dropped again is jailed again, searched for or not.
        if (jail && FileExistsW(program)) {
            JailFileW(program);
            acted = true;
        }
    }
    if (acted) TellTrayRefresh();
}

void RestartShell(bool withUserinit)
{
    KillProgram(GetWindowsFolder() + "explorer.exe", false);
    if (!withUserinit) return;
    Sleep(1000);
    RunFileAsConsoleUser(GetSystemFolder() + "userinit.exe", "", NORMAL_PRIORITY_CLASS);
}

namespace {

// Neither this service's own programs nor protected or vanished ones; the
// trust is judged by the caller, once per file.
bool MayBeUntrusted(const TProcessImage& process, const std::string& path)
{
    if (path.empty() || IsOwnProgram(path)) return false;
    if (!FileExistsW(process.Image)) return false;
    // Not listed when it would not be ended anyway: no event for it either.
    return !IsProtectedProcess(process.Pid, path);
}

// One snapshot, each image read and judged once, each process ended through
// the handle that checks it still runs what was judged; then the copies of
// what was ended running under other names.
void KillUntrustedProcesses()
{
    const std::vector<TProcessImage> processes = ReadImages(SnapshotProcesses());
    TFileDigestCache files;
    std::map<const TFileDigest*, bool> trusted;
    TTrustJudge judge;
    TTwinSearch twins(files);
    std::set<uint32_t> ended;
    for (const TProcessImage& process : processes) {
        const std::string path = WideToAnsiForRecord(process.Image);
        if (!MayBeUntrusted(process, path)) continue;
        const TFileDigest& file = files.Of(process.Image);
        auto verdict = trusted.find(&file);
        if (verdict == trusted.end()) verdict = trusted.emplace(&file, judge.IsTrusted(file)).first;
        if (verdict->second) continue;
        RecordEvent(evkKiller, evmKillProcess, path);
        TerminateProcessRunning(process.Pid, process.Image);
        ended.insert(process.Pid);
        twins.Add(file);
    }
    if (twins.Empty()) return;
    std::vector<TProcessImage> others;
    for (const TProcessImage& process : processes)
        if (ended.count(process.Pid) == 0) others.push_back(process);
    twins.EndTwins(others, false);
}

}  // namespace

void RunKiller()
{
    if (KillerRunning.exchange(true)) return;
    try {
        SendKillerState(proto::kKillerStarted);
        KillUntrustedProcesses();
    } catch (const std::exception& error) {
        ReportCaught("killer run cut short", error);
    } catch (...) {
        ReportUnknownCaught("killer run cut short");
    }
    KillerRunning = false;
    // The tray clears its mark however the run ended.
    SendKillerState(proto::kKillerEnded);
    TellTrayRefresh();
}
