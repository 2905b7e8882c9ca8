#include "uDispatcherThread.h"

#include <windows.h>

#include <cstring>
#include <deque>
#include <mutex>

#include "qvErrors.h"
#include "qvHandles.h"
#include "uCommonUtils.h"

std::unique_ptr<TDispatcherThread> gDispatcherThread;

namespace {

// The event lock: appending to the report and every change of the queue.
std::mutex gEventLock;
std::deque<TReportQueueEntry> gQueue;  // front = newest

void AppendToReport(const TReportEvent& event)
{
    const std::string path = ReportFilePath();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        file.Reset(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) throw EInOutError(GetLastError(), "Cannot create file \"" + path + "\". " + SysErrorText(GetLastError()));
    }
    // A failed seek or write loses the record, not the event: it is still queued.
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) return;
    DWORD wrote = 0;
    WriteFile(file.Get(), &event, sizeof(event), &wrote, nullptr);
}

}  // namespace

std::string ReportFilePath() { return GetDataFolder() + "report.rdb"; }
std::string GoodListPath() { return GetDataFolder() + "goodlist.arn"; }

void LogReportEvent(const TReportEvent& event)
{
    std::lock_guard<std::mutex> guard(gEventLock);
    AppendToReport(event);
    try {
        gQueue.push_front(TReportQueueEntry{event, false});
    } catch (const std::bad_alloc&) {
        // stored but not queued
    }
}

void RecordEvent(int32_t kind, int32_t message, const std::string& path, const std::string& detail,
                 const std::string& md5)
{
    TReportEvent event;
    InitReportEvent(event);
    event.Source = kind;
    event.Event = message;
    event.Path.Set(path);
    event.Detail.Set(detail);
    event.Md5.Set(md5);
    event.Time = NowDateTime();
    event.Flag = false;
    std::memset(event.Pad1, 0, sizeof(event.Pad1));
    std::memset(event.Pad2, 0, sizeof(event.Pad2));
    LogReportEvent(event);
}

bool SendQueuedEvent()
{
    std::lock_guard<std::mutex> guard(gEventLock);
    if (gQueue.empty()) return false;
    TReportQueueEntry& newest = gQueue.front();
    if (!newest.Sent) {
        TMSlotMessage message;
        ClearMailSlotMessage(message);
        message.Type = 9;
        message.Data.Set(newest.Event.Path.Str());
        message.Mess.Set(newest.Event.Detail.Str());
        message.Mess1.Set(newest.Event.Md5.Str());
        message.A = newest.Event.Source;
        message.B = newest.Event.Event;
        newest.Sent = SendToMailSlot(message, kTraySlot);
    }
    if (!newest.Sent) return false;
    gQueue.pop_front();
    return true;
}

size_t QueuedEventCount()
{
    std::lock_guard<std::mutex> guard(gEventLock);
    return gQueue.size();
}

std::vector<TReportQueueEntry> QueueSnapshot()
{
    std::lock_guard<std::mutex> guard(gEventLock);
    return std::vector<TReportQueueEntry>(gQueue.begin(), gQueue.end());
}

void ClearEventQueue()
{
    std::lock_guard<std::mutex> guard(gEventLock);
    gQueue.clear();
}

void TDispatcherThread::Execute()
{
    try {
        do {
            SendQueuedEvent();
        } while (Pause(100));
    } catch (...) {
    }
}
