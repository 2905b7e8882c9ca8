#include "uTestRepeatThread.h"

#include <exception>

#include "qvCaught.h"
#include "qvFaults.h"

TRepeatThread::TRepeatThread(std::function<void(TRegEngine&)> examine, DWORD periodMs)
    : examine_(std::move(examine)), periodMs_(periodMs)
{
    Start();
}

void TRepeatThread::ExamineOnce()
{
    FaultPoint("repeat pass");
    TRegEngine ref;
    ref.Root = kRootHKLM;
    ref.Key = kPoliciesExplorerRunKey;
    if (examine_) examine_(ref);
}

void TRepeatThread::Execute()
{
    // A failed examination is logged; the next one comes as usual.
    while (!Terminated()) {
        try {
            ExamineOnce();
        } catch (const std::exception& error) {
            ReportCaught("repeated examination of the Policies Run key", error);
        } catch (...) {
            ReportUnknownCaught("repeated examination of the Policies Run key");
        }
        if (!Pause(periodMs_)) break;
    }
}
