#pragma once
// Stands in for the service on "Quorvane\Service" in the status window's
// tests: answers yes/no and text reads from its own tables (a missing name
// reads as false or empty) and counts the yes/no reads it answered.
#include <atomic>
#include <map>
#include <mutex>
#include <set>
#include <string>

#include "ServiceStandIn.h"

class SwitchService : public ServiceStandIn {
public:
    SwitchService() { StartSlot(); }
    ~SwitchService() override { StopSlot(); }

    void SetOn(const std::set<std::string>& names);  // every other switch reads as off
    void SetText(const std::string& name, const std::string& value);
    int BoolReads() const { return boolReads_.load(); }
    void ResetCount() { boolReads_ = 0; }

protected:
    void Handle(TMSlotMessage& message) override;

private:
    std::atomic<int> boolReads_{0};
    mutable std::mutex lock_;
    std::set<std::string> on_;
    std::map<std::string, std::string> texts_;
};
