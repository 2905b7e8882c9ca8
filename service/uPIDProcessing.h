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

// Processes that are never ended, whatever asks: the System process, smss,
// csrss, wininit, winlogon, services, lsass (as they run from the system
// folder), this service and the tray program.
bool IsProtectedProcess(uint32_t pid, const std::string& imagePath);
