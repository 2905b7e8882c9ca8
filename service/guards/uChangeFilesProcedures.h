#pragma once
// Reference copies of the system's userinit.exe and taskmgr.exe (Windows
// versions before 6): a replaced file is either accepted (signed) or restored.
#include <string>

std::string ReferenceFolder();  // data folder + "dllcaсhe\" (Cyrillic с)
void CheckProtectedFiles();         // at start
void CheckProtectedFilesDelayed();  // from the system-folder watcher
void CheckUserinit();
void CheckTaskmgr();
bool MakeUserinitReference();
bool MakeTaskmgrReference();
bool RestoreUserinit();
bool RestoreTaskmgr();
bool UserinitDigestMatches();
bool TaskmgrDigestMatches();
bool IsSystemUserinitSigned();
bool IsSystemTaskmgrSigned();
// The guard runs on Windows versions whose major version is below 6.
bool ProtectedFilesGuardApplies(int osMajorVersion);
