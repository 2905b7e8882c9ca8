#pragma once
// Finding, listing and ending processes; copying files through the shell.
#include <cstdint>
#include <string>
#include <vector>

using TPidList = std::vector<uint32_t>;

// One process of a snapshot: its id and its program's file name.
struct TRunningProcess {
    uint32_t Pid;
    std::wstring ExeFile;
};
// The running processes: the one listing every other answer here is built on.
std::vector<TRunningProcess> SnapshotProcesses();

// Id of the first process running the program, or -1. A program text with a
// folder part is matched by the full image path, a bare name by file name.
// `image` receives the image of the process found (empty when unknown): the
// file it is to be ended with (TerminateProcessRunning) and jailed as.
int64_t FindProcessByPath(const std::string& path, std::wstring* image = nullptr);
int64_t FindProcessByPathW(const std::wstring& program, std::wstring* image = nullptr);  // a path or bare name
// Empty when unknown or no longer running; the ANSI form is the record form
// (WideToAnsiForRecord).
std::wstring GetProcessImagePathW(uint32_t pid);
std::string GetProcessImagePath(uint32_t pid);
// Ends a process unless it is protected. The image that decides is read
// through the one handle that also ends the process.
bool TerminateProcessById(uint32_t pid);
// The same, only while the process still runs the program file `image`.
bool TerminateProcessRunning(uint32_t pid, const std::wstring& image);
bool ProcessIdExists(uint32_t pid);
bool TerminateProcessesByName(const std::string& name);
// The ids of the running processes, sorted.
TPidList RunningProcessIds();
bool CopyFileByShell(const std::string& source, const std::string& target);
// Two paths of one file, whatever the letter case or 8.3 short forms.
bool SameProgramPath(const std::string& a, const std::string& b);

// Processes that are never ended, whatever asks: the System process, smss,
// csrss, wininit, winlogon, services, lsass (as they run from the system
// folder), this service and the tray program.
bool IsProtectedProcess(uint32_t pid, const std::string& imagePath);

// Ends the tray program that this service starts (its own folder +
// "QuorvaneTray.exe"), for the service stop and the console-user change; the
// one way past the tray's protection. Refuses every other process.
bool TerminateTrayProcess(uint32_t pid);

// The user a token runs as: its SID as text ("S-1-5-21-..."), empty when it
// cannot be read.
std::string TokenUserSid(void* token);
// Tests answer the owner themselves (under Wine every process runs as one
// user); null puts back the process token's answer.
using ProcessOwnerLookup = std::string (*)(uint32_t pid);
void SetProcessOwnerLookup(ProcessOwnerLookup lookup);

// While one lives, this thread ends only processes that run as the given user:
// a value in a user's own keys names what that user chose, and may end that
// user's programs, never the system's or another user's. An empty SID lets
// nothing be ended. Scopes nest; the innermost one counts.
class TProcessOwnerScope {
public:
    explicit TProcessOwnerScope(std::string sid);
    ~TProcessOwnerScope();
    TProcessOwnerScope(const TProcessOwnerScope&) = delete;
    TProcessOwnerScope& operator=(const TProcessOwnerScope&) = delete;
    // Which processes this thread may end now: "*" outside every scope, else the SID.
    static std::string Current();

private:
    std::string sid_;
    TProcessOwnerScope* outer_ = nullptr;
};

// While one lives, the ids of the processes ended on this thread are added to
// it (to the innermost one). Lets a caller tell a round of ending that reached
// a new process from one that did not.
class TEndedProcessLog {
public:
    TEndedProcessLog();
    ~TEndedProcessLog();
    TEndedProcessLog(const TEndedProcessLog&) = delete;
    TEndedProcessLog& operator=(const TEndedProcessLog&) = delete;
    const TPidList& Ended() const { return ended_; }
    static void Note(uint32_t pid);

private:
    TPidList ended_;
    TEndedProcessLog* outer_ = nullptr;
};
