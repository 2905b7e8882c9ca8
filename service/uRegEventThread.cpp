#include "uRegEventThread.h"

#include <windows.h>

#include "qvHandles.h"

TRegEventThread::TRegEventThread(const TRegEngine& ref, bool view64, TLogCallback log, TRegChangeCallback onChange)
    : ref_(ref), view64_(view64), log_(std::move(log)), onChange_(std::move(onChange))
{
    Start();
}

bool RegKeyExistsInView(TRegEngine& ref, bool view64)
{
    HKEY root = GetRootKey(ref);
    if (!root) return false;
    UniqueRegKey key;
    REGSAM access = STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | (view64 ? KEY_WOW64_64KEY : 0);
    return RegOpenKeyExA(root, ref.Key.c_str(), 0, access, key.Put()) == ERROR_SUCCESS;
}

void TRegEventThread::RunCallback()
{
    if (!onChange_) return;
    inCallback_ = true;
    struct Done {
        std::atomic<bool>& flag;
        ~Done() { flag = false; }
    } done{inCallback_};
    ++callbacks_;
    TRegEngine ref = ref_;
    onChange_(ref);
}

void TRegEventThread::Execute()
{
    // The first examination, before any wait: a change made while the service
    // was not running is repaired now. An error of the callback ends the thread.
    RunCallback();
    while (!Terminated()) {
        TRegEngine ref = ref_;
        if (!RegKeyExistsInView(ref, view64_)) {
            Pause(1000);
            continue;
        }
        if (WaitForKeyChange(ref, view64_, StopEvent())) {
            if (!Terminated()) RunCallback();
        } else {
            Pause(1000);
        }
    }
}

void HardStopRegWatch(std::unique_ptr<TRegEventThread>& thread)
{
    if (!thread) return;
    TRegEventThread* raw = thread.get();
    HardStopWatcher(thread, [raw] { return raw->InCallback(); });
    Sleep(100);
}
