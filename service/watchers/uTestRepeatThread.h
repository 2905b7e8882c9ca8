#pragma once
// Re-examines the machine's Policies\Explorer\Run key every 5 seconds.
#include <functional>

#include "RegistryUtils.h"
#include "qvThread.h"

class TRepeatThread : public TThread {
public:
    // The examination to repeat (the machine Policies\Explorer\Run callback).
    explicit TRepeatThread(std::function<void(TRegEngine&)> examine);

protected:
    void Execute() override;

private:
    std::function<void(TRegEngine&)> examine_;
};

constexpr const char* kPoliciesExplorerRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
