#pragma once
// The trust list as the tray sees it, free of any window: entries are
// "path|MD5"; the service sends the list as one record per entry with the
// total in D (one record with D 0 when the list is empty), without naming the
// request it answers. Each request is followed by a mark of the tray's own
// that comes behind the last row of its answer, so the rows between two marks
// answer one request: rows meant for a window that was closed are dropped,
// rows beyond the total never reach a window, and an answer lost or cut short
// costs only the window that asked.
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
