#pragma once
// Stands in for the service on "Quorvane\Service" in the setup windows'
// tests: keeps settings in its own tables, answers reads (33, 37, 46) from
// them, stores writes (38, 39, 47, 16) and records every message that is not
// a read, in order. Names made silent get no answer, as when the service is
// slow; KeepWrites(false) makes writes vanish, as when they do not take.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "uMailSlots.h"

class StandInService {
public:
    StandInService();
    ~StandInService();
    StandInService(const StandInService&) = delete;
    StandInService& operator=(const StandInService&) = delete;
    bool Active() const { return active_.load(); }

    void SetBool(const std::string& name, bool value);
    void SetInt(const std::string& name, int32_t value);
    void SetText(const std::string& name, const std::string& value);
    bool Bool(const std::string& name) const;
    std::string Text(const std::string& name) const;
    bool Has(const std::string& name) const;
    void Silence(const std::string& name);
    void Answer();  // every name again
    void Forget();  // every setting
    void KeepWrites(bool keep);

    // Every message that was no read, in order of arrival.
    std::vector<TMSlotMessage> Received() const;
    size_t ReadCount() const { return reads_.load(); }
    void Clear();

private:
    void Run();
    void Handle(TMSlotMessage& message);

    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> finished_{false};
    std::atomic<size_t> reads_{0};
    mutable std::mutex lock_;
    std::map<std::string, bool> bools_;
    std::map<std::string, int32_t> ints_;
    std::map<std::string, std::string> texts_;
    std::set<std::string> silent_;
    bool keepWrites_ = true;
    std::vector<TMSlotMessage> received_;
    std::thread thread_;
};
