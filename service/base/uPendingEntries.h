#pragma once
// Entries a guard could not judge yet, and how long their key's watcher
// keeps looking at them again.
#include <windows.h>

#include "RegistryUtils.h"
#include "qvStrings.h"

// A guard that skipped an entry it cannot judge yet (a value naming a program
// not written yet) reports it pending; while one of its key is pending, the
// key's watcher examines the key again every kLookAgainMs, each entry for
// kLookAgainForMs from when it was first reported. An entry older than that
// stays as it is, and no longer wakes the watcher, until it leaves the list.
// Each pass of a guard reports all the entries of the key it still skips.
constexpr DWORD kLookAgainMs = 1000;
constexpr DWORD kLookAgainForMs = 90000;
void SetPendingEntries(const TRegEngine& key, const TStringList& entries);
bool HasPendingEntries(const TRegEngine& key);
