#pragma once
// What the hosts manager does to texts, free of any window: the redirect rows
// coloured by the allow-list, allow-list entries, commenting out a pair in the
// editor's lines, finding a host, the rule for which copy may be deleted, and
// the wait for a fresh copy from the service.
//
// A pair is host "@" address, the form of "hostlist.qrv". Entries compare
// ignoring letter case, as the service compares them.
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "qvStrings.h"

// Host and address of a pair: the text before the first "@" and the rest; a
// text without "@" gives an empty host and the whole text as address.
void SplitHostPair(const std::string& pair, std::string& host, std::string& address);
std::string HostPair(const std::string& host, const std::string& address);  // trimmed as a whole

// An allow-list entry from the two edits: both trimmed; empty when either is
// empty, which adds nothing.
std::string AllowEntry(const std::string& host, const std::string& address);

// The line InsertAllowedEntry appends to the editor: address, two blanks, host.
std::string HostsLineFor(const std::string& host, const std::string& address);

// The lines of "hostlist.qrv", looked up in constant time.
class TAllowList {
public:
    TAllowList() = default;
    explicit TAllowList(const TStringList& lines);
    bool Contains(const std::string& pair) const;
    size_t Size() const { return keys_.size(); }

private:
    std::unordered_set<std::string> keys_;
};

struct THostsRow {
    std::string Host;
    std::string Address;
    bool Allowed = false;
};
// One row per pair, in order, each coloured by its own pair.
std::vector<THostsRow> RedirectRows(const TStringList& pairs, const TAllowList& allowed);
// One row per allow-list line (host and address split at the first "@").
std::vector<THostsRow> AllowListRows(const TStringList& lines);

// Comments out every line that maps `pair`: the line becomes "#" + the line,
// once, however many of its hosts match. Returns how many lines changed.
int CommentOutPair(TStringList& lines, const std::string& pair);

// Where `what` first occurs in `text` (letter case counts); false when it does
// not, or when it is empty.
bool FindInText(const std::string& text, const std::string& what, size_t& position);

// Only a transfer copy may be deleted: a name ending "qrv.~tmp" directly in
// the temporary folder. Anything else (the hosts file, a name that came from
// elsewhere) is left alone.
bool IsDeletableHostsCopy(const std::string& path, const std::string& tempFolder);
constexpr const char* kHostsCopySuffix = "qrv.~tmp";

// The wait for the service's new copy after a reload was asked for: ready when
// the copy exists, over at once when the service answers that it failed
// (1) or that there is no hosts file (666), timed out after the limit.
class THostsCopyWait {
public:
    enum class TState { Idle, Waiting, Ready, Failed, NoHostsFile, TimedOut };
    static constexpr uint32_t kLimitMs = 15000;

    void Start(uint32_t nowMs);
    // The service's 13/15 answer for our copy.
    void Answer(int32_t code);
    // Called on each timer tick; returns the state after the tick.
    TState Poll(uint32_t nowMs, bool copyExists);
    TState State() const { return state_; }
    bool Waiting() const { return state_ == TState::Waiting; }

private:
    TState state_ = TState::Idle;
    uint32_t started_ = 0;
    int32_t answer_ = 0;
};
