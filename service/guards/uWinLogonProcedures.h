#pragma once
// Repairs of the logon: the machine's Winlogon values, the machine policies,
// Image File Execution Options hijacks, and the console user's own shell
// overrides and policy blocks.
#include <cstdint>
#include <string>

#include "RegistryUtils.h"

// The machine's Winlogon key (under Wow6432Node on 64-bit Windows).
std::string WinlogonKeyPath();
// What "Userinit" must hold: the system folder's userinit.exe on 32-bit
// Windows, "userinit.exe" on 64-bit Windows.
std::string ExpectedUserinit();

void RepairWinlogon();
void RepairSystemPolicies();
void RepairImageFileOptions();
void RepairUserShell(int32_t kind, TRegEngine& key);
void RepairUserPolicies(TRegEngine& key);

constexpr const char* kMachinePoliciesSystemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kIfeoKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
