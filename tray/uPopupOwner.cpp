#include "uPopupOwner.h"

#include "qvProtocol.h"

TPopupOwner gPopups;

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
