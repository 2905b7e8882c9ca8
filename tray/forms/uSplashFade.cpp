#include "uSplashFade.h"

#include <algorithm>

void TSplashFade::Start()
{
    alpha_ = kStartAlpha;
    phase_ = TPhase::FadeIn;
}

bool TSplashFade::TickIn()
{
    if (phase_ != TPhase::FadeIn) return false;
    if (alpha_ < kShownAlpha) alpha_ += kStep;
    if (alpha_ < kShownAlpha) return false;
    phase_ = TPhase::Hold;
    return true;
}

void TSplashFade::EndHold()
{
    if (phase_ == TPhase::Hold) phase_ = TPhase::FadeOut;
}

bool TSplashFade::TickOut()
{
    if (phase_ != TPhase::FadeOut) return false;
    if (alpha_ <= kCloseAlpha) {
        phase_ = TPhase::Closed;
        return true;
    }
    alpha_ = std::max(0, alpha_ - kStep);
    return false;
}
