#include "qvApplication.h"

#include "qvForms.h"

#include <commctrl.h>

#include <exception>
#include <map>
#include <memory>

namespace gui {

namespace {

constexpr const char* kApplicationClass = "TQvApplication";
constexpr UINT kSyncMessage = WM_APP + 0x3A1;
constexpr UINT kPostedMessage = WM_APP + 0x3A2;

HINSTANCE gInstance = nullptr;
HWND gAppWindow = nullptr;
DWORD gMainThreadId = 0;
UINT_PTR gNextTimerId = 1;
std::map<UINT_PTR, TTimer*> gTimers;  // main thread only

struct SyncCall {
    const std::function<void()>* Call;
    std::exception_ptr Error;
};

}  // namespace

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
        try {
            (*call)();
        } catch (...) {
            // a deferred call has no caller left to report to
        }
        return 0;
    }
    case WM_TIMER: {
        auto it = gTimers.find(wParam);
        if (it != gTimers.end()) it->second->Fire();
        return 0;
    }
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool InitApplication(HINSTANCE instance)
{
    if (gAppWindow) return true;
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    gInstance = instance ? instance : GetModuleHandleA(nullptr);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = ApplicationWndProc;
    windowClass.hInstance = gInstance;
    windowClass.lpszClassName = kApplicationClass;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    // A hidden tool window: windows it owns get no taskbar button.
    gAppWindow = CreateWindowExA(WS_EX_TOOLWINDOW, kApplicationClass, "Quorvane", WS_POPUP, 0, 0, 0, 0, nullptr,
                                 nullptr, gInstance, nullptr);
    if (!gAppWindow) return false;
    gMainThreadId = GetCurrentThreadId();
    return true;
}

void DoneApplication()
{
    for (auto& [id, timer] : gTimers) timer->running_ = false;
    gTimers.clear();
    if (gAppWindow) DestroyWindow(gAppWindow);
    gAppWindow = nullptr;
    gMainThreadId = 0;
}

HINSTANCE Instance() { return gInstance ? gInstance : GetModuleHandleA(nullptr); }
HWND ApplicationWindow() { return gAppWindow; }
bool IsMainThread() { return gMainThreadId != 0 && GetCurrentThreadId() == gMainThreadId; }

bool Synchronize(const std::function<void()>& call)
{
    if (IsMainThread()) {
        call();
        return true;
    }
    if (!gAppWindow) return false;
    SyncCall sync{&call, nullptr};
    if (!SendMessageA(gAppWindow, kSyncMessage, 0, reinterpret_cast<LPARAM>(&sync))) return false;
    if (sync.Error) std::rethrow_exception(sync.Error);
    return true;
}

bool PostToMainThread(std::function<void()> call)
{
    if (!gAppWindow) return false;
    auto* held = new std::function<void()>(std::move(call));
    if (PostMessageA(gAppWindow, kPostedMessage, 0, reinterpret_cast<LPARAM>(held))) return true;
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

TTimer::TTimer() : id_(gNextTimerId++) {}

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
    bool wanted = enabled_ && interval_ > 0 && gAppWindow != nullptr;
    if (wanted) {
        if (SetTimer(gAppWindow, id_, interval_, nullptr)) {  // also restarts a running one
            gTimers[id_] = this;
            running_ = true;
        }
    } else {
        if (running_ && gAppWindow) KillTimer(gAppWindow, id_);
        gTimers.erase(id_);
        running_ = false;
    }
}

void TTimer::Fire()
{
    if (enabled_ && OnTimer) OnTimer();
}

}  // namespace gui
