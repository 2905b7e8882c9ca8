#include "uKeyboardThread.h"

#include <exception>

#include "qvApplication.h"
#include "qvCaught.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uNotifyRecord.h"
#include "uPopupOwner.h"
#include "uTrayApplication.h"

namespace {

constexpr DWORD kRoundMs = 10;
constexpr DWORD kBeforeConfirmationMs = 100;
constexpr DWORD kScreenRereadMs = 1000;
constexpr DWORD kRestAfterMs = 500;    // without a move, the mouse rests
constexpr DWORD kRestingLookMs = 250;  // a look at a resting cursor
constexpr int kEdgeBand = 3;  // pixels at the right and bottom that count as the edge

TKeyboardThread* gKeyboardThread = nullptr;  // never stopped: ends with the process

void GestureDone()
{
    Sleep(kBeforeConfirmationMs);
    bool on = false;
    if (ReadBoolSetting("kb_cross", on) && on) ShowKillerConfirmation();
}

void OpenConfirmation()
{
    if (TrayApp().Popups.ConfirmationPending.load() || TrayApp().Popups.KillerRunning.load()) return;
    // Win+F12 leaves the Windows key and F12 down in this thread's view of
    // the keyboard; they must not count as held once the pop-up is up.
    BYTE keys[256] = {};
    const bool haveKeys = GetKeyboardState(keys) != FALSE;
    keys[VK_F12] &= static_cast<BYTE>(~0x80);
    keys[VK_LWIN] &= static_cast<BYTE>(~0x80);
    TNotifyRecord confirmation;
    ResetNotifyRecord(confirmation);
    confirmation.Style = nsPlain;
    confirmation.Text1.Set(GetLangText(kLangGui, "mes_kil5"));
    confirmation.Text2.Set(GetLangText(kLangGui, "mes_killer"));
    confirmation.Text3.Set(GetLangText(kLangGui, "mes_wrn"));
    confirmation.Text4.Set(GetLangText(kLangGui, "mes_canckil"));
    confirmation.Buttons = true;
    confirmation.Seconds = 10;
    confirmation.Kind = proto::kAnswerKiller;
    // marked pending by the pop-up itself, once it is really on screen
    ShowRequestedNotification(confirmation);
    if (haveKeys) SetKeyboardState(keys);
    MessageBeep(MB_OK);
}

}  // namespace

TGestureResult GestureStep(TGestureState& state, int32_t step)
{
    if (step == state.LastStep && state.LastStep != geNone) return TGestureResult::Ignored;  // resting at an edge
    if (step == geTop) {
        state.LastStep = geTop;
        state.Age = 1;
    }
    if (state.Age == 0 && step > geTop) return TGestureResult::Ignored;
    if (step < state.LastStep || step > state.LastStep + 1) return TGestureResult::Ignored;
    state.LastStep = step;
    state.Age = 1;
    return step == geRight ? TGestureResult::Complete : TGestureResult::Accepted;
}

void GestureTick(TGestureState& state)
{
    if (state.Age > 0) ++state.Age;
    if (state.Age > kGestureMaxAge) ResetGesture(state);
}

void ResetGesture(TGestureState& state)
{
    state.LastStep = geNone;
    state.Age = 0;
}

bool AtScreenEdge(int32_t edge, POINT cursor, const RECT& screen)
{
    switch (edge) {
    case geTop: return cursor.y <= screen.top;
    case geLeft: return cursor.x <= screen.left;
    case geRight: return cursor.x >= screen.right - kEdgeBand;
    case geBottom: return cursor.y >= screen.bottom - kEdgeBand;
    default: return false;
    }
}

RECT VirtualScreenRect()
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

TMouseWatch::~TMouseWatch() { Stop(); }

void TMouseWatch::Start()
{
    if (!hook_) hook_ = SetWindowsHookExA(WH_MOUSE_LL, &TMouseWatch::HookProc, GetModuleHandleA(nullptr), 0);
}

void TMouseWatch::Stop()
{
    if (hook_) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
}

bool TMouseWatch::TakeMoved() { return moved_.exchange(false); }

LRESULT CALLBACK TMouseWatch::HookProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION) moved_ = true;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::atomic<bool> TMouseWatch::moved_{false};

bool TKeyboardThread::CursorMoved(POINT cursor, bool gotCursor)
{
    const bool moved = gotCursor && (!haveCursor_ || cursor.x != lastCursor_.x || cursor.y != lastCursor_.y);
    if (gotCursor) {
        lastCursor_ = cursor;
        haveCursor_ = true;
    }
    return moved;
}

void TKeyboardThread::LookAtCursor(const RECT& screen)
{
    // Tested in this order each round.
    static const int32_t kEdges[] = {geTop, geLeft, geRight, geBottom};
    POINT cursor{};
    const bool got = GetCursorPos(&cursor) != FALSE;
    if (CursorMoved(cursor, got)) lastMoveTick_ = GetTickCount();
    if (!got) return;
    for (int32_t edge : kEdges) {
        if (!AtScreenEdge(edge, cursor, screen)) continue;
        if (GestureStep(state_, edge) == TGestureResult::Complete) {
            GestureDone();
            ResetGesture(state_);
        }
    }
}

bool TKeyboardThread::WaitForNextRound(DWORD ms)
{
    HANDLE stop = StopEvent();
    const DWORD woke = MsgWaitForMultipleObjects(1, &stop, FALSE, ms, QS_ALLINPUT);
    // The hook's calls arrive as messages of this thread.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    return woke != WAIT_OBJECT_0 && !Terminated();
}

void TKeyboardThread::Execute()
{
    RECT screen = VirtualScreenRect();
    DWORD screenRead = GetTickCount();
    lastMoveTick_ = GetTickCount();
    TMouseWatch mouse;
    bool failing = false;  // a run of failed rounds is reported once
    for (;;) {
        try {
            if (GetTickCount() - screenRead >= kScreenRereadMs) {  // monitors may come and go
                screen = VirtualScreenRect();
                screenRead = GetTickCount();
            }
            if (mouse.TakeMoved()) lastMoveTick_ = GetTickCount();
            // One look at the cursor per round: each look is a trip to the
            // window system.
            LookAtCursor(screen);
            failing = false;
        } catch (const std::exception& error) {
            // a failed round changes nothing
            if (!failing) ReportCaught("gesture thread: a look at the cursor", error);
            failing = true;
        }
        GestureTick(state_);
        // A resting mouse cannot reach an edge: the thread then waits for the
        // mouse to move (the hook wakes it) and looks now and then for a
        // cursor that a program moved. While the mouse moves or a gesture is
        // under way, it looks every 10 ms; the hook is off then, so that the
        // system's mouse input never waits for this thread.
        const bool resting = GetTickCount() - lastMoveTick_ >= kRestAfterMs && state_.Age == 0;
        if (resting)
            mouse.Start();
        else
            mouse.Stop();
        if (!WaitForNextRound(resting ? kRestingLookMs : kRoundMs)) break;
    }
}

void StartKeyboardThread()
{
    if (gKeyboardThread) return;
    gKeyboardThread = new TKeyboardThread();
    gKeyboardThread->Start();
    SetThreadPriority(gKeyboardThread->Handle(), THREAD_PRIORITY_HIGHEST);
}

void ShowKillerConfirmation()
{
    try {
        // The notification record is only ever touched on the main thread.
        gui::Synchronize(OpenConfirmation);
    } catch (const std::exception& error) {
        ReportCaught("killer confirmation not shown", error);
    }
}
