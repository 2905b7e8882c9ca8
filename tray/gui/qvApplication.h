#pragma once
// The frame of the tray's user interface: the main thread, the application's
// own hidden window (owner of every form, so that forms get no taskbar
// button; target of the synchronise call, of deferred calls and of timers),
// and message processing.
#include <windows.h>

#include <functional>

namespace gui {

// Once, on the thread that runs the message loop: loads the common controls
// and creates the application window. False when the window cannot be made.
bool InitApplication(HINSTANCE instance);
// Destroys the application window (the thread's timers and pending deferred
// calls go with it). For tests that build the frame more than once.
void DoneApplication();

HINSTANCE Instance();
HWND ApplicationWindow();
bool IsMainThread();

// Runs `call` on the main thread and waits for it; an exception it throws is
// raised again in the caller. On the main thread the call runs at once. False
// (and nothing runs) when there is no application window to reach it through.
bool Synchronize(const std::function<void()>& call);
// Queues `call` to run on the main thread once it next handles messages.
bool PostToMainThread(std::function<void()> call);

// Handles every waiting message of the calling thread; false once WM_QUIT
// was seen (the quit message is put back for the loop that owns it).
bool ProcessMessages();
// GetMessage loop until WM_QUIT; returns its exit code.
int RunMessageLoop();

// A timer on the main thread, like the class library's: OnTimer runs every
// Interval milliseconds while Enabled.
class TTimer {
public:
    TTimer();
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    void SetInterval(UINT ms);
    UINT Interval() const { return interval_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    std::function<void()> OnTimer;

private:
    friend LRESULT CALLBACK ApplicationWndProc(HWND, UINT, WPARAM, LPARAM);
    friend void DoneApplication();
    void Update();
    void Fire();

    UINT_PTR id_;
    UINT interval_ = 1000;
    bool enabled_ = false;
    bool running_ = false;
};

}  // namespace gui
