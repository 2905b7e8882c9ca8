#include "qvApplication.h"

#include "qvCaught.h"
#include "qvForms.h"
#include "qvFrame.h"

#include <commctrl.h>

#include <exception>
#include <memory>

namespace gui {

namespace {

constexpr const char* kApplicationClass = "TQvApplication";
constexpr UINT kSyncMessage = WM_APP + 0x3A1;
constexpr UINT kPostedMessage = WM_APP + 0x3A2;

struct SyncCall {
    const std::function<void()>* Call;
    std::exception_ptr Error;
};

}  // namespace

TFrameState& Frame()
{
    static TFrameState frame;
    return frame;
}

LRESULT CALLBACK ApplicationWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case kSyncMessage: {
        auto* sync = reinterpret_cast<SyncCall*>(lParam);
        try {
            (*sync->Call)();
        } catch (...) {
            sync->Error = std::current_exception();
        }
        return 1;
    }
    case kPostedMessage: {
        std::unique_ptr<std::function<void()>> call(reinterpret_cast<std::function<void()>*>(lParam));
        // a deferred call has no caller left to report to
        RunLoggedPass("deferred call", [&] { (*call)(); });
        return 0;
    }
    case WM_TIMER: {
        auto it = Frame().Timers.find(wParam);
        if (it != Frame().Timers.end()) it->second->Fire();
        return 0;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool InitApplication(HINSTANCE instance)
{
    if (Frame().AppWindow) return true;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Frame().Instance = instance ? instance : GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ApplicationWndProc;
    windowClass.hInstance = Frame().Instance;
    windowClass.lpszClassName = kApplicationClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // A hidden tool window: windows it owns get no taskbar button.
    Frame().AppWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "Quorvane", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, Frame().Instance, nullptr);
    if (!Frame().AppWindow) return false;
    Frame().MainThreadId = GetCurrentThreadId();
    return true;
}

void DoneApplication()
{
    for (auto& [id, timer] : Frame().Timers) timer->running_ = false;
    Frame().Timers.clear();
    if (Frame().AppWindow) DestroyWindow(Frame().AppWindow);
    Frame().AppWindow = nullptr;
    Frame().MainThreadId = 0;
}

HINSTANCE Instance() { return Frame().Instance ? Frame().Instance : GetModuleHandleA(nullptr); }
HWND ApplicationWindow() { return Frame().AppWindow; }
bool IsMainThread() { return Frame().MainThreadId != 0 && GetCurrentThreadId() == Frame().MainThreadId; }

bool Synchronize(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return true;
    }
    if (!Frame().AppWindow) return false;
    SyncCall sync{&call, nullptr};
    if (!SendMessageA(Frame().AppWindow, kSyncMessage, 0, reinterpret_cast<LPARAM>(&sync))) return false;
    if (sync.Error) std::rethrow_exception(sync.Error);
    return true;
}

bool PostToMainThread(std::function<void()> call)
{
    if (!Frame().AppWindow) return false;
    auto* held = new std::function<void()>(std::move(call));
    if (PostMessageA(Frame().AppWindow, kPostedMessage, 0, reinterpret_cast<LPARAM>(held))) return true;
    delete held;
    return false;
}

bool ProcessMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (HandleDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return true;
}

int RunMessageLoop()
{
    MSG message;
    BOOL got;
    while ((got = GetMessageA(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) break;
        if (HandleDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}

TTimer::TTimer() : id_(Frame().NextTimerId++) {}

TTimer::~TTimer()
{
    enabled_ = false;
    Update();
}

void TTimer::SetInterval(UINT ms)
{
    interval_ = ms;
    Update();
}

void TTimer::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Update();
}

void TTimer::Update()
{
    bool wanted = enabled_ && interval_ > 0 && Frame().AppWindow != nullptr;
    if (wanted) {
        if (SetTimer(Frame().AppWindow, id_, interval_, nullptr)) {  // also restarts a running one
            Frame().Timers[id_] = this;
            running_ = true;
        }
    } else {
        if (running_ && Frame().AppWindow) KillTimer(Frame().AppWindow, id_);
        Frame().Timers.erase(id_);
        running_ = false;
    }
}

void TTimer::Fire()
{
    if (enabled_ && OnTimer) OnTimer();
}

}  // namespace gui
