#include "uPendingEntries.h"

#include <map>
#include <mutex>
#include <string>

#include "qvLateApi.h"

namespace {

// Per key (root and name, case folded): each pending entry and when it was first reported.
std::mutex gPendingLock;
std::map<std::string, std::map<std::string, uint64_t>> gPending;

std::string PendingKeyId(const TRegEngine& key) { return std::to_string(key.Root) + "\\" + UpperCase(key.Key); }

}  // namespace

void SetPendingEntries(const TRegEngine& key, const TStringList& entries)
{
    const uint64_t now = TickCount64();
    std::lock_guard<std::mutex> guard(gPendingLock);
    const std::string id = PendingKeyId(key);
    std::map<std::string, uint64_t>& known = gPending[id];
    std::map<std::string, uint64_t> kept;
    for (const std::string& entry : entries) {
        auto found = known.find(entry);
        kept[entry] = found != known.end() ? found->second : now;
    }
    if (kept.empty())
        gPending.erase(id);
    else
        known.swap(kept);
}

bool HasPendingEntries(const TRegEngine& key)
{
    const uint64_t now = TickCount64();
    std::lock_guard<std::mutex> guard(gPendingLock);
    auto found = gPending.find(PendingKeyId(key));
    if (found == gPending.end()) return false;
    for (const auto& entry : found->second)
        if (now - entry.second < kLookAgainForMs) return true;
    return false;
}
