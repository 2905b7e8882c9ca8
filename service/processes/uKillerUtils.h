#pragma once
// Ending the processes of a program (by id, by path or name, by identical
// content), quarantining their files on request, restarting the shell, and
// the killer of untrusted processes (command 13/7).
#include <atomic>
#include <cstdint>
#include <string>

#include "Trust.h"
#include "qvStrings.h"

extern std::atomic<bool> KillerRunning;

bool KillProgram(const std::string& path, bool jail);
// A program file named in any script.
// `read`, when the caller has it, is the program file's digest: not read again.
bool KillProgramW(const std::wstring& program, bool jail, const TFileDigest* read = nullptr);
int KillProgramAll(const std::string& path, bool jail);
bool KillTwinProcesses(const std::string& path, bool jail);
void KillCommandPrograms(const std::string& text, bool jail, const std::string& keep);
// Every program a value's text names, in any script, but `keep` (a file name).
void KillCommandProgramsW(const std::wstring& text, bool jail, const std::wstring& keep);
void RestartShell(bool withUserinit);

void RunKiller();
