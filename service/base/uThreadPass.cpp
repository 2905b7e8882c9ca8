#include "uThreadPass.h"

#include "qvFaults.h"

namespace {

// A step that fails the same way round after round is logged once.
void NoteStepError(TSetUpStep& step, const std::string& where, const std::string& error)
{
    if (error != step.LastError)
        ReportCaught(where + ": " + step.Name, error + " (tried again every " + std::to_string(kSetUpRetryMs / 1000) + " s)");
    step.LastError = error;
}

bool RunStep(TSetUpStep& step, const std::string& where, const char* faultPoint)
{
    return RunPassReporting(
        [&] {
            FaultPoint(faultPoint);
            step.Run();
            step.LastError.clear();
        },
        [&](const std::string& text) { NoteStepError(step, where, text); });
}

// The owner's Pause (protected, so not at hand here): false once told to stop.
bool WaitBeforeRetry(const TThread& owner)
{
    if (owner.Terminated()) return false;
    return WaitForSingleObject(owner.StopEvent(), kSetUpRetryMs) == WAIT_TIMEOUT && !owner.Terminated();
}

}  // namespace

bool RunSetUpRound(std::vector<TSetUpStep>& steps, const std::string& where, const char* faultPoint,
                   const TThread& owner)
{
    bool allDone = true;
    for (TSetUpStep& step : steps) {
        if (step.Done) continue;
        if (owner.Terminated()) return false;
        step.Done = RunStep(step, where, faultPoint);
        allDone &= step.Done;
    }
    return allDone;
}

void RunSetUp(const std::function<std::vector<TSetUpStep>()>& buildSteps, const std::string& where,
              const char* faultPoint, const TThread& owner, std::atomic<bool>& done)
{
    std::vector<TSetUpStep> steps;
    while (!RunLoggedPass(where, [&] { steps = buildSteps(); }))
        if (!WaitBeforeRetry(owner)) return;
    bool complete = RunSetUpRound(steps, where, faultPoint, owner);
    done = true;
    while (!complete && WaitBeforeRetry(owner)) complete = RunSetUpRound(steps, where, faultPoint, owner);
}
