#pragma once
// Stands in for the service on "Quorvane\Service" in the setup windows'
// tests: keeps settings in its own tables, answers reads (33, 37, 46) from
// them, stores writes (38, 39, 47, 16) and records every message that is not
// a read, in order. Names made silent get no answer, as when the service is
// slow; KeepWrites(false) makes writes vanish, as when they do not take.
#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "ServiceStandIn.h"

class StandInService : public ServiceStandIn {
public:
    StandInService() { StartSlot(); }
    ~StandInService() override { StopSlot(); }

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

protected:
    void Handle(TMSlotMessage& message) override;

private:
    std::atomic<size_t> reads_{0};
    mutable std::mutex lock_;
    std::map<std::string, bool> bools_;
    std::map<std::string, int32_t> ints_;
    std::map<std::string, std::string> texts_;
    std::set<std::string> silent_;
    bool keepWrites_ = true;
    std::vector<TMSlotMessage> received_;
};
