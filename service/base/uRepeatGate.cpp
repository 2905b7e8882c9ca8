#include "uRepeatGate.h"

#include <algorithm>

TRepeatGate::TRepeatGate(uint32_t quietMs, uint32_t repeatMs, size_t capacity)
    : quietMs_(quietMs), repeatMs_(repeatMs), capacity_(std::max<size_t>(capacity, 1))
{
}

TRepeatGate::TVerdict TRepeatGate::Admit(const std::string& key, uint32_t nowMs)
{
    std::lock_guard<std::mutex> guard(lock_);
    auto found = entries_.find(key);
    if (found != entries_.end()) {
        TEntry& entry = found->second;
        // Tick differences in unsigned arithmetic survive the 49-day wrap.
        const bool repeating = nowMs - entry.SeenAt < repeatMs_;
        entry.SeenAt = nowMs;
        if (repeating && nowMs - entry.PassedAt < quietMs_) {
            ++entry.Withheld;
            return {false, 0};
        }
        const uint32_t withheld = entry.Withheld;
        entry.PassedAt = nowMs;
        entry.Withheld = 0;
        return {true, withheld};
    }
    // Many keys at once: the one that passed longest ago makes room.
    if (entries_.size() >= capacity_) {
        auto oldest = std::max_element(entries_.begin(), entries_.end(), [nowMs](const auto& a, const auto& b) {
            return nowMs - a.second.PassedAt < nowMs - b.second.PassedAt;
        });
        entries_.erase(oldest);
    }
    entries_.emplace(key, TEntry{nowMs, nowMs, 0});
    return {true, 0};
}

void TRepeatGate::Forget(const std::string& key)
{
    std::lock_guard<std::mutex> guard(lock_);
    entries_.erase(key);
}

size_t TRepeatGate::Size() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return entries_.size();
}
