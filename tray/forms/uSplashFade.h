#pragma once
// The splash window's fade: in from alpha 1 by 5 per tick to 240 or more,
// a hold of one second, out by 5 per tick until the window closes on the
// tick that finds alpha at 8 or below. Once closed, no tick changes
// anything, and alpha never goes below 0 (a wrapped byte would flash the
// window opaque).
#include <cstdint>

class TSplashFade {
public:
    enum class TPhase { Idle, FadeIn, Hold, FadeOut, Closed };

    void Start();
    // One tick of the fade-in timer; true when the hold begins.
    bool TickIn();
    // The hold is over: the fade-out begins.
    void EndHold();
    // One tick of the fade-out timer; true when the window must close now.
    bool TickOut();
    void Close() { phase_ = TPhase::Closed; }

    TPhase Phase() const { return phase_; }
    uint8_t Alpha() const { return static_cast<uint8_t>(alpha_); }

    static constexpr int kStartAlpha = 1;
    static constexpr int kStep = 5;
    static constexpr int kShownAlpha = 240;
    static constexpr int kCloseAlpha = 8;
    static constexpr unsigned kHoldMs = 1000;

private:
    TPhase phase_ = TPhase::Idle;
    int alpha_ = kStartAlpha;
};
