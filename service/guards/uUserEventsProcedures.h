#pragma once
// The callbacks of the console user's watchers.
#include <string>

#include "RegistryUtils.h"

void OnUserWinlogonChanged(TRegEngine& ref);       // 191
void OnUserPoliciesRunChanged(TRegEngine& ref);    // 183
void OnUserRunChanged(TRegEngine& ref);            // 181
void OnUserRunOnceChanged(TRegEngine& ref);        // 182
void OnUserPoliciesSystemChanged(TRegEngine& ref); // 192, then the Task Manager and registry-editor blocks
void OnUserWindowsChanged(TRegEngine& ref);        // "load", then "run"
void OnUserStartupChanged(const std::string& sid, const std::string& folder);  // 184, the folder of that user
