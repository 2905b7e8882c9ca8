#include "uTestRepeatThread.h"

#include "qvFaults.h"
#include "uThreadPass.h"

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
        RunLoggedPass("repeated examination of the Policies Run key", [this] { ExamineOnce(); });
        if (!Pause(periodMs_)) break;
    }
}
