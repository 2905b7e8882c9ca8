#include "uPopupOwner.h"

#include "qvLateApi.h"
#include "qvProtocol.h"

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

bool TKillerMark::load() const
{
    const uint64_t since = since_.load();
    return since != 0 && TickCount64() - since < kKillerMarkMs;
}

TKillerMark& TKillerMark::operator=(bool running)
{
    if (running)
        SetSince(TickCount64());
    else
        since_ = 0;
    return *this;
}
