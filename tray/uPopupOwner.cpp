#include "uPopupOwner.h"

#include "qvProtocol.h"

TPopupOwner gPopups;

bool TPopupOwner::GateAllows()
{
    if (LastEventKind.load() == -1) return true;  // nothing to hold back: no need to ask
    if (WarnSwitch.Read()) return true;
    LastEventKind = -1;
    return false;
}

void TakeAnswer(TAnswerState& state, int32_t kind, bool yes)
{
    state.Yes = yes || kind == proto::kAnswerKiller;
    state.Kind = kind;
    state.Answered = true;
}

int32_t AnswerToRun(TAnswerState& state)
{
    const int32_t kind = state.Answered && state.Yes && state.Kind > 0 ? state.Kind : 0;
    state.Yes = false;
    return kind;
}
