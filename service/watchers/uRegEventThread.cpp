#include "uRegEventThread.h"

#include <windows.h>

#include "qvErrors.h"
#include "qvFaults.h"
#include "qvHandles.h"
#include "qvLateApi.h"
#include "uPendingEntries.h"
#include "uThreadPass.h"

TRegEventThread::TRegEventThread(const TRegEngine& ref, RegView view, TRegChangeCallback onChange)
    : ref_(ref), view_(view), onChange_(std::move(onChange))
{
    Start();
}

void TRegEventThread::RunCallback()
{
    if (!onChange_) return;
    ++callbacks_;
    TRegEngine ref = ref_;
    // One failed pass (a key deleted while it was repaired, a value refused):
    // the guard goes on watching and looks again at the next change.
    RunLoggedPass(Where(), [&] { onChange_(ref); });
}

void TRegEventThread::Execute()
{
    // The first examination comes once, key or not: a change made while the
    // service was not running is repaired now. It runs after the key is armed
    // when it can be, so a change made during it or just before the arming is
    // not lost. An error of a pass is logged and watching goes on; what
    // changed meanwhile is examined once the key is armed again.
    bool examined = false;
    bool examineWhenArmed = false;
    while (!Terminated()) {
        if (!RunLoggedPass(Where(), [&] { WatchOnce(examined, examineWhenArmed); })) {
            examineWhenArmed = true;
            Pause(kPauseAfterFailedPassMs);
        }
    }
}

void TRegEventThread::WatchOnce(bool& examined, bool& examineWhenArmed)
{
    TRegEngine ref = ref_;
    UniqueRegKey key = OpenKeyForNotification(ref, view_);
    UniqueHandle event(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!key || !event || !ArmKeyNotification(key.Get(), event.Get())) {
        if (!examined) {
            examined = true;
            RunCallback();
        }
        // a missing key is polled; once it exists it is examined, since
        // whatever created it may have written its values already
        examineWhenArmed = true;
        Pause(kPauseAfterFailedPassMs);
        return;
    }
    // Opened through a link, the watch is on the link's target: once a
    // guard has removed the link, the name is opened anew.
    const bool throughLink = IsRegistryLinkAt(ref, view_);
    auto linkRemoved = [&] { return throughLink && !IsRegistryLinkAt(ref, view_); };
    if (!examined || examineWhenArmed) {
        examined = true;
        examineWhenArmed = false;
        RunCallback();
        if (linkRemoved()) {
            examineWhenArmed = true;
            return;
        }
    }
    for (;;) {
        HANDLE waits[2] = {event.Get(), StopEvent()};
        const bool pending = HasPendingEntries(ref_);
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, pending ? kLookAgainMs : kDeletedKeyCheckMs);
        if (woke == WAIT_OBJECT_0 + 1 || Terminated()) return;
        if (woke == WAIT_FAILED) RaiseLastOSError();
        FaultPoint("registry watcher pass");
        // Wine signals nothing when the watched key itself is deleted: the
        // handle held would be watched for ever while a key made anew under
        // the same name went unseen. A quiet spell asks, and a deleted key
        // is examined as after a signal.
        if (woke == WAIT_TIMEOUT && !IsKeyDeleted(key.Get())) {
            // nothing changes in the key when a program it names appears
            if (pending) RunCallback();
            if (!linkRemoved()) continue;
            examineWhenArmed = true;
            return;
        }
        // Armed again before the callback looks: a change made while it
        // runs, or just after, wakes the next pass instead of being lost.
        const bool armed = woke == WAIT_OBJECT_0 && ArmKeyNotification(key.Get(), event.Get());
        RunCallback();
        if (!armed || linkRemoved()) {
            // the key went away: open it anew, and examine what may have
            // been written into a new one before it was armed
            examineWhenArmed = true;
            return;
        }
    }
}
