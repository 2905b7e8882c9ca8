#pragma once
// The emergency killer's entry points: the mouse-edge gesture and the killer
// confirmation pop-up (Win+F12, tray menu, gesture).
//
// A user whose desktop is locked may have no keyboard or menu left but can
// still move the mouse: touching the top, bottom, left and right edges of the
// screen in that order, each within about five seconds of the one before,
// opens the confirmation (when `kb_cross` is on).
#include <windows.h>

#include <atomic>
#include <cstdint>

#include "qvThread.h"

// Steps of the gesture, in the order they must come.
enum TGestureEdge : int32_t { geNone = 0, geTop = 1, geBottom = 2, geLeft = 3, geRight = 4 };

constexpr int32_t kGestureMaxAge = 500;  // rounds of the thread between two steps

struct TGestureState {
    int32_t LastStep = geNone;
    int32_t Age = 0;  // rounds since the last accepted step; 0 = no gesture under way
};

enum class TGestureResult { Ignored, Accepted, Complete };

// One edge touched. Complete when the right edge ends a sequence begun at the
// top; the caller then opens the confirmation and resets the state. A step
// out of order is ignored without resetting the sequence; the top edge always
// starts it afresh.
TGestureResult GestureStep(TGestureState& state, int32_t step);
// The end of a round of the thread: the age grows, and a gesture older than
// the limit is forgotten.
void GestureTick(TGestureState& state);
void ResetGesture(TGestureState& state);

// Whether a cursor position touches the edge of the virtual screen (the
// bounding rectangle of every monitor, whose origin may be negative).
bool AtScreenEdge(int32_t edge, POINT cursor, const RECT& virtualScreen);
RECT VirtualScreenRect();

// Tells a resting gesture thread that the mouse moves: a low-level mouse
// hook of the calling thread, on only while started (the thread must handle
// its messages meanwhile).
class TMouseWatch {
public:
    TMouseWatch() = default;
    ~TMouseWatch();
    TMouseWatch(const TMouseWatch&) = delete;
    TMouseWatch& operator=(const TMouseWatch&) = delete;
    void Start();
    void Stop();
    bool Started() const { return hook_ != nullptr; }
    // True once the mouse moved since the last call.
    static bool TakeMoved();

private:
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);
    static std::atomic<bool> moved_;
    HHOOK hook_ = nullptr;
};

// Watches the cursor every 10 ms at the highest priority while the mouse
// moves or a gesture is under way; a resting mouse is watched through the
// hook, with a look at the cursor every 250 ms.
class TKeyboardThread : public TThread {
public:
    ~TKeyboardThread() override { StopAndJoin(); }

protected:
    void Execute() override;

private:
    bool CursorMoved(POINT cursor, bool gotCursor);
    void LookAtCursor(const RECT& screen);
    // Handles the thread's messages; false when the thread is told to stop.
    bool WaitForNextRound(DWORD ms);

    TGestureState state_;
    POINT lastCursor_{};
    bool haveCursor_ = false;
    DWORD lastMoveTick_ = 0;
};

void StartKeyboardThread();

// Opens the killer confirmation (style plain, buttons, 10 s, kind 13), unless
// one is showing or the killer runs. Any thread:
// the pop-up is built on the main thread.
void ShowKillerConfirmation();
