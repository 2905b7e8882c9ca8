#pragma once
// The autorun guard: Appinit_Dlls, the Run-type keys, the user's "load" and
// "run" values and the Startup folders; quarantine into "AutorunsDisabled".
#include <string>

#include "RegistryUtils.h"

void CheckAppInitDlls(TRegEngine& key);
void CheckRunKey(int32_t kind, TRegEngine& key, RegView view);
void CheckUserLoadRun(TRegEngine& key);
void CheckStartupFolder(int32_t kind, const std::string& folder);
// Moves the value into the key's "AutorunsDisabled" subkey, in the given view.
bool DisableRegValue(TRegEngine& key, RegView view = RegView::Default);
void DisableValueEntry(const std::string& entry, TRegEngine& key);
bool DisableFolderFile(const std::string& folder, const std::string& name);
void NotifyAutorunManager();
