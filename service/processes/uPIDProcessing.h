#pragma once
// Finding, listing and ending processes; copying files through the shell.
#include <cstdint>
#include <string>
#include <vector>

using TPidList = std::vector<uint32_t>;

// Id of the first process running the program, or -1. A program text with a
// folder part is matched by the full image path, a bare name by file name.
int64_t FindProcessByPath(const std::string& path);
std::string GetProcessImagePath(uint32_t pid);  // empty when unknown
bool TerminateProcessById(uint32_t pid);          // refuses protected processes
void ListProcessIds(TPidList& list);
bool ProcessIdExists(uint32_t pid);
bool TerminateProcessesByName(const std::string& name);
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
