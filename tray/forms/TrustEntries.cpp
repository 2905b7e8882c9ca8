#include "TrustEntries.h"

std::string TrustEntry(const std::string& path, const std::string& digest) { return path + "|" + digest; }

bool TrustEntryFits(const std::string& entry) { return entry.size() <= kMaxTrustEntry; }

bool SplitTrustEntry(const std::string& entry, std::string& path, std::string& digest)
{
    const size_t bar = entry.find('|');
    if (bar == std::string::npos) {
        path = entry;
        digest.clear();
        return false;
    }
    path = entry.substr(0, bar);
    digest = entry.substr(bar + 1);
    return true;
}

TTrustSelection SelectHeldEntry(const TStringList& entries, const std::string& path, const std::string& digest)
{
    TTrustSelection selection;
    selection.Selected = IndexOfText(entries, TrustEntry(path, digest));
    selection.CanDelete = selection.Selected >= 0;
    selection.CanAdd = !selection.CanDelete;
    return selection;
}
