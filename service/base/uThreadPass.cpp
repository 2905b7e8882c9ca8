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
