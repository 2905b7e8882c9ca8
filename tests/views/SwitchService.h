#pragma once
// Stands in for the service on "Quorvane\Service" in the status window's
// tests: answers yes/no and text reads from its own tables (a missing name
// reads as false or empty) and counts the yes/no reads it answered.
#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

class SwitchService {
public:
    SwitchService();
    ~SwitchService();
    SwitchService(const SwitchService&) = delete;
    SwitchService& operator=(const SwitchService&) = delete;
    bool Active() const { return active_.load(); }

    void SetOn(const std::set<std::string>& names);  // every other switch reads as off
    void SetText(const std::string& name, const std::string& value);
    int BoolReads() const { return boolReads_.load(); }
    void ResetCount() { boolReads_ = 0; }

private:
    void Run();

    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::atomic<int> boolReads_{0};
    mutable std::mutex lock_;
    std::set<std::string> on_;
    std::map<std::string, std::string> texts_;
    std::thread thread_;
};
