#include "uTestRepeatThread.h"

TRepeatThread::TRepeatThread(std::function<void(TRegEngine&)> examine) : examine_(std::move(examine)) { Start(); }

void TRepeatThread::Execute()
{
    // An error of the examination ends the thread.
    while (!Terminated()) {
        TRegEngine ref;
        ref.Root = kRootHKLM;
        ref.Key = kPoliciesExplorerRunKey;
        if (examine_) examine_(ref);
        if (!Pause(5000)) break;
    }
}
