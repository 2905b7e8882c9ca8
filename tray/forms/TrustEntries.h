#pragma once
// The trust list's entries as the tray sees them, free of any window:
// "path|MD5". How the service's answers reach a window is TTrustFeed's
// (uTrayModels.h).
#include <cstdint>
#include <string>

#include "qvStrings.h"

// Longest entry a message carries whole (Data holds 255 characters).
constexpr size_t kMaxTrustEntry = 255;

std::string TrustEntry(const std::string& path, const std::string& digest);
bool TrustEntryFits(const std::string& entry);
// Path and digest of an entry, split at its first "|"; false when it has none
// (the whole entry is then the path).
bool SplitTrustEntry(const std::string& entry, std::string& path, std::string& digest);

// What the window shows once the list is complete (entries compare ignoring
// case, as the service keeps them).
struct TTrustSelection {
    int Selected = -1;  // index of the held entry in the list, -1 when absent
    bool CanAdd = true;
    bool CanDelete = false;
};
TTrustSelection SelectHeldEntry(const TStringList& entries, const std::string& path, const std::string& digest);
