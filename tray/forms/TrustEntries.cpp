#include "TrustEntries.h"

#include <algorithm>

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

int TTrustFeed::Request()
{
    const int id = nextId_++;
    requests_.push_back({id, false, -1, 0});
    return id;
}

void TTrustFeed::Abandon(int id)
{
    for (TRequest& request : requests_)
        if (request.Id == id) request.Abandoned = true;
}

void TTrustFeed::Forget(int id)
{
    requests_.erase(std::remove_if(requests_.begin(), requests_.end(), [id](const TRequest& r) { return r.Id == id; }),
                    requests_.end());
}

void TTrustFeed::AnswerEnded(int id)
{
    // Requests are answered in order: one before it has ended too.
    while (!requests_.empty() && requests_.front().Id <= id) requests_.pop_front();
}

TTrustFeed::TRow TTrustFeed::Take(int32_t total)
{
    TRow row;
    if (requests_.empty()) return row;  // nobody asked: beyond every total
    TRequest& request = requests_.front();
    if (request.Total < 0) request.Total = std::max<int32_t>(total, 0);
    row.Id = request.Id;
    row.Deliver = !request.Abandoned;
    row.HasEntry = request.Total > 0;
    if (request.Total > 0) ++request.Received;
    row.Completes = request.Received >= request.Total;
    if (row.Completes) requests_.pop_front();
    return row;
}
