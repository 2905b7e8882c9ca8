#include "uDirWatchThread.h"

#include <windows.h>

#include "qvErrors.h"
#include "qvFaults.h"
#include "qvHandles.h"
#include "uThreadPass.h"

TDirWatchThread::TDirWatchThread(std::string folder, uint16_t filter, TDirChangeCallback onChange, bool examineFirst)
    : folder_(std::move(folder)),
      filter_(filter == 0 ? 13 : filter),
      onChange_(std::move(onChange)),
      examineFirst_(examineFirst)
{
    // Armed here, not on the thread: once the owner has the watcher, a change
    // is seen however long the thread waits for the processor.
    Arm();
    Start();
}

bool TDirWatchThread::Arm()
{
    notify_.Reset(FindFirstChangeNotificationA(folder_.c_str(), FALSE, filter_));
    return notify_.Valid();
}

bool TDirWatchThread::Rearm()
{
    // Changes the writer made during the pause are buffered in the handle and
    // belong to this pass: a second arming takes them off. The handle stays
    // open, so a change made while the callback runs wakes the next pass.
    if (!FindNextChangeNotification(notify_.Get())) return false;
    if (WaitForSingleObject(notify_.Get(), 0) != WAIT_OBJECT_0) return true;
    return FindNextChangeNotification(notify_.Get()) != 0;
}

void TDirWatchThread::RunCallback()
{
    ++callbacks_;
    // one failed pass; watching goes on
    RunLoggedPass(Where(), [this] { onChange_(folder_); });
}

void TDirWatchThread::Execute()
{
    // An error of a pass is logged and watching goes on: the handle keeps
    // the change notifications that came meanwhile. A folder the constructor
    // could not watch is examined once it is watched.
    bool examine = examineFirst_ || !notify_;
    while (!Terminated()) {
        if (!RunLoggedPass(Where(), [&] { WatchOnce(examine); })) Pause(kPauseAfterFailedPassMs);
    }
}

void TDirWatchThread::WatchOnce(bool& examine)
{
    FaultPoint("folder watcher pass");
    if (!notify_ && !Arm()) {
        // files may come while the folder is not watched
        examine = true;
        Pause(kPauseAfterFailedPassMs);
        return;
    }
    if (examine && onChange_) RunCallback();
    examine = false;
    HANDLE waits[2] = {notify_.Get(), StopEvent()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke == WAIT_FAILED) {
        const DWORD code = GetLastError();
        notify_.Reset();
        examine = true;
        RaiseOSError(code);
    }
    if (woke != WAIT_OBJECT_0 || Terminated()) return;
    if (!Pause(200)) return;  // lets the writer finish
    // the folder went away or the handle broke: watched anew at the next pass
    if (!Rearm()) notify_.Reset();
    examine = true;
}
