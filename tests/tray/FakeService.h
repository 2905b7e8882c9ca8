#pragma once
// Stands in for the service on "Quorvane\Service" in tray tests that must not
// reach a real one (the killer order would end the test itself): answers
// setting reads from its own tables and records every other message.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "uMailSlots.h"

class FakeService {
public:
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;
    bool Active() const { return active_.load(); }

    // Answers of reads (Type 33, 37, 46); a missing name reads as false, "" or -1.
    void SetBool(const std::string& name, bool value);
    void SetText(const std::string& name, const std::string& value);
    // Busy with a long command (the killer): reads wait unanswered in the slot
    // until it is no longer busy.
    void SetBusy(bool busy) { busy_ = busy; }

    // Every message that was no read, in order of arrival.
    std::vector<TMSlotMessage> Received() const;
    // Those of Type 13 with this A.
    size_t CommandCount(int32_t a) const;
    void Clear();

private:
    void Run();

    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> busy_{false};
    mutable std::mutex lock_;
    std::map<std::string, bool> bools_;
    std::map<std::string, std::string> texts_;
    std::vector<TMSlotMessage> received_;
    std::thread thread_;
};
