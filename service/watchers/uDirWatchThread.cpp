#include "uDirWatchThread.h"

#include <windows.h>

#include <stdexcept>

#include "qvHandles.h"

TDirWatchThread::TDirWatchThread(std::string folder, uint16_t filter, TLogCallback log, TDirChangeCallback onChange)
    : folder_(std::move(folder)), filter_(filter == 0 ? 13 : filter), log_(std::move(log)), onChange_(std::move(onChange))
{
    Start();
}

void TDirWatchThread::Execute()
{
    while (!Terminated()) {
        UniqueChangeNotify notify(FindFirstChangeNotificationA(folder_.c_str(), FALSE, filter_));
        if (!notify) {
            Terminate();  // a folder that cannot be watched ends the watcher
            break;
        }
        HANDLE waits[2] = {notify.Get(), StopEvent()};
        DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0 && onChange_ && !Terminated()) {
            if (!Pause(200)) break;  // lets the writer finish
            inCallback_ = true;
            ++callbacks_;
            try {
                onChange_(folder_);
            } catch (const std::exception&) {
                // one failed pass; watching goes on
            }
            inCallback_ = false;
        }
        notify.Reset();
        if (!Pause(10)) break;
    }
}

void HardStopDirWatch(std::unique_ptr<TDirWatchThread>& thread)
{
    if (!thread) return;
    TDirWatchThread* raw = thread.get();
    HardStopWatcher(thread, [raw] { return raw->InCallback(); });
}
