#pragma once
// The autorun guard: Appinit_Dlls, the Run-type keys, the user's "load" and
// "run" values and the Startup folders; quarantine into "AutorunsDisabled".
#include <string>

#include "RegistryUtils.h"

void CheckAppInitDlls(TRegEngine& key);
void CheckRunKey(int32_t kind, TRegEngine& key, bool view64);
void CheckUserLoadRun(TRegEngine& key);
void CheckStartupFolder(int32_t kind, const std::string& folder);
bool DisableRegValue(TRegEngine& key);
bool DisableRegValue64(TRegEngine& key);
void DisableValueEntry(const std::string& entry, TRegEngine& key);
bool DisableFolderFile(const std::string& folder, const std::string& name);
void NotifyAutorunManager();
