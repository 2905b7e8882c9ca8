#pragma once
// Authenticode test of a file: signed as a member of a system catalog, or
// carrying a valid embedded signature. WinTrust is loaded at run time.
#include <string>

// Loads "wintrust.dll" and its entry points; call once at program start, before
// the watcher threads. Later calls do nothing. IsFileSigned also loads it on
// first use, so calling InitTrust is not required for correctness.
void InitTrust();
// Frees the library at program end (waits for checks under way). Every later
// IsFileSigned answers no.
void FinalizeTrust();

// True only when WinTrust confirms the file's signature (by its catalog when a
// system catalog holds the file, otherwise by the embedded signature). Every
// failure answers false. Safe on several threads at once.
bool IsFileSigned(const std::string& path);
