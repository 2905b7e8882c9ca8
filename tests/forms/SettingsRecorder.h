#pragma once
// Stands in for the service on "Quorvane\Service" where the order and count
// of messages is the point: answers reads from its own tables (a missing
// name reads as false, "" or -1, or gets no answer at all when silenced) and
// records every message, reads included, in order of arrival.
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ServiceStandIn.h"

class SettingsRecorder : public ServiceStandIn {
public:
    SettingsRecorder() { StartSlot(); }
    ~SettingsRecorder() override { StopSlot(); }

    void SetBool(const std::string& name, bool value);
    void SetText(const std::string& name, const std::string& value);
    // Reads of this name get no answer.
    void Silence(const std::string& name);

    std::vector<TMSlotMessage> Messages() const;
    // Names read with Type 33, in order.
    std::vector<std::string> BoolReads() const;
    // Every message that was no read (33, 37, 46).
    std::vector<TMSlotMessage> Writes() const;
    void Clear();

protected:
    void Handle(TMSlotMessage& message) override;

private:
    mutable std::mutex lock_;
    std::map<std::string, bool> bools_;
    std::map<std::string, std::string> texts_;
    std::set<std::string> silenced_;
    std::vector<TMSlotMessage> messages_;
};
