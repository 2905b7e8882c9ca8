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

namespace {

UniqueRegKey OpenForNotification(TRegEngine& ref, bool view64)
{
    UniqueRegKey key;
    HKEY root = GetRootKey(ref);
    if (root) RegOpenKeyExA(root, ref.Key.c_str(), 0, KEY_NOTIFY | (view64 ? KEY_WOW64_64KEY : 0), key.Put());
    return key;
}

// Asks for the next change of the key or its subtree (filter 15, asynchronous).
bool Arm(HKEY key, HANDLE event)
{
    const DWORD filter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_ATTRIBUTES | REG_NOTIFY_CHANGE_LAST_SET |
                         REG_NOTIFY_CHANGE_SECURITY;
    return RegNotifyChangeKeyValue(key, TRUE, filter, event, TRUE) == ERROR_SUCCESS;
}

}  // namespace

void TRegEventThread::Execute()
{
    // The first examination, before any wait: a change made while the service
    // was not running is repaired now. An error of the callback ends the thread.
    RunCallback();
    bool examineWhenArmed = false;
    while (!Terminated()) {
        TRegEngine ref = ref_;
        UniqueRegKey key = RegKeyExistsInView(ref, view64_) ? OpenForNotification(ref, view64_) : UniqueRegKey();
        UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
        if (!key || !event || !Arm(key.Get(), event.Get())) {
            // a missing key is polled; once it exists it is examined, since
            // whatever created it may have written its values already
            examineWhenArmed = true;
            Pause(1000);
            continue;
        }
        if (examineWhenArmed) {
            examineWhenArmed = false;
            RunCallback();
        }
        for (;;) {
            HANDLE waits[2] = {event.Get(), StopEvent()};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || Terminated()) return;
            // Armed again before the callback looks: a change made while it
            // runs, or just after, wakes the next pass instead of being lost.
            const bool armed = Arm(key.Get(), event.Get());
            RunCallback();
            if (!armed) break;  // the key went away: open it anew
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
