#pragma once
// Stands in for the service on "Quorvane\Service" in tray tests that must not
// reach a real one (the killer order would end the test itself): answers
// setting reads from its own tables and records every other message.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ServiceStandIn.h"

class FakeService : public ServiceStandIn {
public:
    FakeService() { StartSlot(); }
    ~FakeService() override { StopSlot(); }

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

protected:
    void Handle(TMSlotMessage& message) override;
    bool Holding() const override { return busy_.load(); }

private:
    std::atomic<bool> busy_{false};
    mutable std::mutex lock_;
    std::map<std::string, bool> bools_;
    std::map<std::string, std::string> texts_;
    std::vector<TMSlotMessage> received_;
};
