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

// A Winlogon key guarded in one view, with the "Userinit" and "Shell" texts
// that are healthy there and that a repair writes back.
struct TWinlogonKey {
    std::string Path;
    RegView View;
    std::string Userinit;
    std::string Shell;
};
// View Default: the key above. View Key64, on 64-bit Windows only: the key
// Winlogon itself (a 64-bit program) reads, holding what Windows writes there.
TWinlogonKey WinlogonKey(RegView view);
constexpr const char* kWinlogon64Key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

// Every Winlogon key that Windows reads (both on 64-bit Windows).
void RepairWinlogon();
void RepairWinlogon(RegView view);
void RepairSystemPolicies();
void RepairImageFileOptions();
void RepairUserShell(int32_t kind, TRegEngine& key);
void RepairUserPolicies(TRegEngine& key);

constexpr const char* kMachinePoliciesSystemKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
constexpr const char* kIfeoKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
