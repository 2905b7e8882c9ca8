#pragma once
// The callbacks that the machine-wide watchers call: each hands its place on
// to the repair procedure that guards it.
#include <string>

#include "RegistryUtils.h"

void OnWinlogonChanged(TRegEngine& ref);    // normal view (Wow6432Node on 64-bit Windows)
void OnWinlogon64Changed(TRegEngine& ref);  // 64-bit view
void OnIfeoChanged(TRegEngine& ref);
void OnMachinePolicyChanged(TRegEngine& ref);
void OnAppInitChanged(TRegEngine& ref);
void OnAppInit64Changed(TRegEngine& ref);
void OnMachineRunChanged(TRegEngine& ref);          // 171, normal view
void OnMachineRun64Changed(TRegEngine& ref);        // 172, 64-bit view
void OnMachineRunOnce64Changed(TRegEngine& ref);    // 174
void OnMachineRunOnceEx64Changed(TRegEngine& ref);  // 176
void OnMachineRunOnceChanged(TRegEngine& ref);      // 173
void OnMachineRunOnceExChanged(TRegEngine& ref);    // 175
void OnMachinePoliciesRunChanged(TRegEngine& ref);  // 177 (also the repeat thread)
void OnCommonStartupChanged(const std::string& folder);
void OnSystemFolderChanged(const std::string& folder);
void OnDllcacheChanged(const std::string& folder);
void OnHostsChanged(const std::string& folder);
