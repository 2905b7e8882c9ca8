#pragma once
// The pop-up owner: the one object that holds what the tray's notification
// pop-ups share: the tray-warning gate, the stack of open pop-ups, the answer
// of the last one and the marks of what is pending. It lives on the main
// thread; the marks are atomic because the receiver and the gesture thread
// look at them before they hand a record over (in one synchronised call). A
// pop-up is given its record when it is made and answers through callbacks.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>

#include "uGuiUtils.h"
#include "uNotifyRecord.h"

// The stack: where the next pop-up goes and how many are open.
struct TPopupStack {
    int Next = 0;
    int Open = 0;
};
// The taskbar ("Shell_TrayWnd"), measured once per run.
enum TTaskbarEdge : int { teLeft = 0, teTop = 1, teRight = 2, teBottom = 3 };
struct TTaskbarMeasure {
    bool Measured = false;
    bool Found = false;  // a taskbar with a usable rectangle
    int ClientWidth = 0;
    int ClientHeight = 0;
    RECT Window{};
    int Edge = teBottom;
};

// No more pop-ups while this many are open.
constexpr int kMaxOpenPopups = 20;

// The answer of the last pop-up: taken when it answers, acted on once it
// has closed.
struct TAnswerState {
    int32_t Kind = 0;
    bool Yes = false;
    bool Answered = false;
    bool Closed = false;
};
// A pop-up answered; the killer confirmation counts every answer as yes,
// since its own yes label answers as kind 0.
void TakeAnswer(TAnswerState& state, int32_t kind, bool yes);
// The answer kind to act on once the pop-up closed (0: nothing); the yes is
// used up.
int32_t AnswerToRun(TAnswerState& state);

// What a pop-up tells the one who made it.
struct TPopupCallbacks {
    std::function<void(int32_t kind, bool yes)> Answered;
    std::function<void()> Closed;
};

// What a pop-up window offers: its record and callbacks, before it is shown.
class TPopupWindow {
public:
    virtual void Present(const TNotifyRecord& record, TPopupCallbacks callbacks) = 0;

protected:
    ~TPopupWindow() = default;
};

// The longest run the killer may take.
constexpr uint64_t kKillerMarkMs = 60000;

// The killer-running mark: set by the service's 13/8 (and by the tray's own
// order), cleared by 13/9. Anyone may send 13/8 to the tray's slot, and a 13/9
// may never come, so the mark lapses by itself kKillerMarkMs after it was set.
class TKillerMark {
public:
    bool load() const;  // set, less than kKillerMarkMs ago
    TKillerMark& operator=(bool running);
    // Set as of the given tick (TickCount64): how a test sees the mark age.
    void SetSince(uint64_t tick) { since_ = tick == 0 ? 1 : tick; }

private:
    std::atomic<uint64_t> since_{0};  // 0: not set
};

class TPopupOwner {
public:
    // The tray-warning gate: true when no event pop-up is pending or
    // `show_tray_warn` is on; otherwise forgets the pending event kind and
    // says no. The switch is read with a short wait (the last answer stands
    // in), so that a busy service never holds up the main thread.
    bool GateAllows();
    TRememberedSwitch WarnSwitch{"show_tray_warn", true};
    // Records are handed over only while the hidden window exists (it
    // answers this once it is made): before it and after it nothing shows.
    std::function<bool()> HostAlive;

    TPopupStack Stack;    // main thread only
    TTaskbarMeasure Taskbar;  // main thread only
    TAnswerState Answer;  // main thread only
    // The event kind of the last event pop-up, -1 when none is pending for
    // the gate; reset by the gate.
    std::atomic<int32_t> LastEventKind{-1};
    TKillerMark KillerRunning;
    // A notice of the service is on screen: no second one over it.
    std::atomic<bool> ServicePopupPending{false};
    // The killer confirmation is on screen: set only once its pop-up exists,
    // and cleared whenever that pop-up goes (answered, closed, run out,
    // destroyed).
    std::atomic<bool> ConfirmationPending{false};
    // The value (the event's Seq) of the pop-up last answered with yes; -1
    // before. Read by the new-autorun dialog.
    std::atomic<int32_t> AnsweredValue{-1};
};
