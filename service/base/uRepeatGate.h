#pragma once
// At most once per quiet span for each key: the records of a repair a locker
// makes the service repeat (a value rewritten in a loop is repaired every
// time, the same repair recorded once and then at most once a minute while it
// repeats). A key seen again only after a repeat span of quiet is new and
// passes. Repeats held back are counted and handed to the next one that goes
// through. Pure logic with its own lock (the watcher threads share a gate);
// time comes from the caller.
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class TRepeatGate {
public:
    struct TVerdict {
        bool Pass;          // act (record) now
        uint32_t Withheld;  // repeats held back since the last pass (with Pass)
    };
    TRepeatGate(uint32_t quietMs, uint32_t repeatMs, size_t capacity = 64);
    TVerdict Admit(const std::string& key, uint32_t nowMs);
    // What Admit let through failed: the next repeat passes.
    void Forget(const std::string& key);
    size_t Size() const;

private:
    struct TEntry {
        uint32_t PassedAt;
        uint32_t SeenAt;
        uint32_t Withheld;
    };
    const uint32_t quietMs_;
    const uint32_t repeatMs_;
    const size_t capacity_;
    mutable std::mutex lock_;
    std::map<std::string, TEntry> entries_;
};
