#include "uDirWatchThread.h"

#include <windows.h>

#include <stdexcept>

#include "qvHandles.h"

TDirWatchThread::TDirWatchThread(std::string folder, uint16_t filter, TLogCallback log, TDirChangeCallback onChange,
                                 bool examineFirst)
    : folder_(std::move(folder)),
      filter_(filter == 0 ? 13 : filter),
      log_(std::move(log)),
      onChange_(std::move(onChange)),
      examineFirst_(examineFirst)
{
    // Armed here, not on the thread: once the owner has the watcher, a change
    // is seen however long the thread waits for the processor.
    notify_.Reset(FindFirstChangeNotificationA(folder_.c_str(), FALSE, filter_));
    Start();
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
    inCallback_ = true;
    ++callbacks_;
    try {
        onChange_(folder_);
    } catch (const std::exception&) {
        // one failed pass; watching goes on
    }
    inCallback_ = false;
}

void TDirWatchThread::Execute()
{
    if (examineFirst_ && onChange_) RunCallback();
    while (!Terminated()) {
        if (!notify_) {
            Terminate();  // a folder that cannot be watched ends the watcher
            break;
        }
        HANDLE waits[2] = {notify_.Get(), StopEvent()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 || Terminated()) break;
        if (!Pause(200)) break;  // lets the writer finish
        if (!Rearm()) {
            // the folder went away or the handle broke: watch it anew
            notify_.Reset(FindFirstChangeNotificationA(folder_.c_str(), FALSE, filter_));
            if (!notify_) continue;
        }
        if (onChange_) RunCallback();
    }
}

void HardStopDirWatch(std::unique_ptr<TDirWatchThread>& thread)
{
    if (!thread) return;
    TDirWatchThread* raw = thread.get();
    HardStopWatcher(thread, [raw] { return raw->InCallback(); });
}
