#pragma once
// Re-examines the machine's Policies\Explorer\Run key every 5 seconds.
#include <windows.h>

#include <functional>

#include "RegistryUtils.h"
#include "qvThread.h"

constexpr DWORD kRepeatPeriodMs = 5000;

class TRepeatThread : public TThread {
public:
    // The examination to repeat (the machine Policies\Explorer\Run callback);
    // tests give a shorter period.
    explicit TRepeatThread(std::function<void(TRegEngine&)> examine, DWORD periodMs = kRepeatPeriodMs);
    ~TRepeatThread() override { StopAndJoin(); }

protected:
    void Execute() override;

private:
    void ExamineOnce();

    std::function<void(TRegEngine&)> examine_;
    DWORD periodMs_;
};

constexpr const char* kPoliciesExplorerRunKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run";
