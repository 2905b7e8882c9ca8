#pragma once
// The autorun guard: Appinit_Dlls, the Run-type keys, the user's "load" and
// "run" values and the Startup folders; quarantine into "AutorunsDisabled".
#include <string>

#include "RegistryUtils.h"

void CheckAppInitDlls(TRegEngine& key, RegView view = RegView::Default);
// The guards of one user's keys (the user kinds, "load"/"run") and Startup
// folder end only processes that run as that user: the user of the key under
// HKEY_USERS, or userSid for the folder. Without a user they end nothing; the
// entries are quarantined all the same.
void CheckRunKey(int32_t kind, TRegEngine& key, RegView view);
void CheckUserLoadRun(TRegEngine& key);
void CheckStartupFolder(int32_t kind, const std::string& folder, const std::string& userSid = {});
// Moves the value (named in any script; key.Value is not used) into the key's
// "AutorunsDisabled" subkey, in the given view.
bool DisableRegValueW(TRegEngine& key, const std::wstring& name, RegView view = RegView::Default);
void DisableValueEntry(const std::string& entry, TRegEngine& key, RegView view = RegView::Default);
bool DisableFolderFileW(const std::wstring& folder, const std::wstring& name);
void NotifyAutorunManager();
