#include "uDispatcherThread.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "RegistryUtils.h"
#include "qvCaught.h"
#include "qvErrors.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvPlainFiles.h"
#include "qvProtocol.h"
#include "uCommonUtils.h"
#include "uLogThread.h"
#include "uServiceUtils.h"
#include "uThreadPass.h"

std::unique_ptr<TDispatcherThread> gDispatcherThread;

namespace {

// The event lock: appending to the report and every change of the queue. No
// send is made while it is held: a tray slot that is full would otherwise
// hold every guard that records an event.
std::mutex gEventLock;
std::deque<TReportQueueEntry> gQueue;  // front = newest
uint64_t gNextEntryId = 1;             // tells a sent entry from later ones
// Set while the queue holds an entry: the dispatcher sleeps on it when idle.
UniqueHandle gQueueFilled(CreateEventA(nullptr, TRUE, FALSE, nullptr));

void NoteQueueState()
{
    if (gQueue.empty())
        ResetEvent(gQueueFilled.Get());
    else
        SetEvent(gQueueFilled.Get());
}

void AppendToReport(const TReportEvent& event)
{
    // Opened for appending and created only when missing: an existing report
    // is never truncated, whatever went wrong with an earlier open.
    const std::string path = ReportFilePath();
    UniqueHandle file = OpenPlainFile(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      TCreate::IfMissing);
    if (!file) {
        DWORD error = GetLastError();
        throw EInOutError(error, "Cannot open file \"" + path + "\". " + SysErrorText(error));
    }
    // A failed seek or write loses the record, not the event: it is still queued.
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return;
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END)) return;
    // A torn last record is completed with zeros first, so this record and
    // every later one start on a record boundary; nothing is cut off.
    const size_t missing = ReportPaddingNeeded(static_cast<uint64_t>(size.QuadPart));
    DWORD wrote = 0;
    if (missing > 0) {
        const std::vector<uint8_t> zeros(missing, 0);
        if (!WriteFile(file.Get(), zeros.data(), static_cast<DWORD>(missing), &wrote, nullptr) || wrote != missing)
            return;
    }
    WriteFile(file.Get(), &event, sizeof(event), &wrote, nullptr);
}

}  // namespace

size_t ReportPaddingNeeded(uint64_t reportSize)
{
    const uint64_t partial = reportSize % sizeof(TReportEvent);
    return partial == 0 ? 0 : static_cast<size_t>(sizeof(TReportEvent) - partial);
}

std::string ReportFilePath() { return GetDataFolder() + "report.rdb"; }

void LogReportEvent(const TReportEvent& event)
{
    std::lock_guard<std::mutex> guard(gEventLock);
    AppendToReport(event);
    try {
        gQueue.push_front(TReportQueueEntry{event, false, gNextEntryId++});
    } catch (const std::bad_alloc&) {
        // stored but not queued
        OutputDebugStringA("event stored but not queued: out of memory");
    }
    NoteQueueState();
}

void RecordEvent(int32_t kind, int32_t message, const std::string& path, const std::string& detail,
                 const std::string& md5)
{
    RecordEventAt(NowDateTime(), kind, message, path, detail, md5);
}

void RecordEventAt(double time, int32_t kind, int32_t message, const std::string& path, const std::string& detail,
                   const std::string& md5)
{
    TReportEvent event;
    InitReportEvent(event);
    event.Source = kind;
    event.Event = message;
    event.Path.Set(path);
    event.Detail.Set(detail);
    event.Md5.Set(md5);
    event.Time = time;
    LogReportEvent(event);
}

bool SendQueuedEvent()
{
    TReportQueueEntry newest;
    {
        std::lock_guard<std::mutex> guard(gEventLock);
        if (gQueue.empty()) return false;
        newest = gQueue.front();
    }
    TMSlotMessage message = proto::Message(proto::kEvent);
    message.Data.Set(newest.Event.Path.Str());
    message.Mess.Set(newest.Event.Detail.Str());
    message.Mess1.Set(newest.Event.Md5.Str());
    message.A = newest.Event.Source;
    message.B = newest.Event.Event;
    // undelivered: it stays at its place and is tried again next round
    if (!SendToMailSlot(message, kTraySlot)) return false;
    // Events pushed during the send stand in front of it now: the delivered
    // entry is found by its id.
    std::lock_guard<std::mutex> guard(gEventLock);
    for (auto it = gQueue.begin(); it != gQueue.end(); ++it) {
        if (it->Id != newest.Id) continue;
        gQueue.erase(it);
        break;
    }
    NoteQueueState();
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
    NoteQueueState();
}

void TDispatcherThread::Execute()
{
    // One event per 100 ms round while the queue holds any; an empty queue is
    // waited for without waking. A round that fails is logged and the event
    // stays queued for a later round: nothing ends the delivery to the tray.
    const HANDLE waits[] = {StopEvent(), gQueueFilled.Get()};
    bool queueWaitWorks = true;
    for (;;) {
        if (queueWaitWorks) {
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0) break;
            if (woke == WAIT_FAILED) {
                // without the queue's event the queue is looked at every round
                ReportSystemError("event sender: wait for the queue", GetLastError());
                queueWaitWorks = false;
            }
        }
        const bool passed = RunLoggedPass("event sender", [] {
            FaultPoint("dispatcher.send");
            SendQueuedEvent();
        });
        if (!Pause(passed ? kRoundMs : kPauseAfterFailedPassMs)) break;
    }
}

// ---- commands on the report ----

// The record's time as the machine's short date and long time; empty for a
// time outside the calendar (a damaged record).
std::string FormatEventTime(double time)
{
    int year, month, day, hour, minute, second, ms;
    if (!DecodeDateTime(time, year, month, day, hour, minute, second, ms)) return {};
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    char date[64] = {}, clock[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof(date));
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, clock, sizeof(clock));
    return std::string(date) + " " + clock;
}

namespace {

bool SendWithRetries(TMailSlotWriter& slot, const TMSlotMessage& message)
{
    constexpr int kTries = 3;
    for (int attempt = 0; attempt < kTries; ++attempt)
        if (slot.Send(message)) return true;
    return false;
}

}  // namespace

void ReportDumpCommand(const TMSlotMessage&)
{
    // Shared for writing: the logger may append while the report is sent.
    UniqueHandle file = OpenPlainFile(ReportFilePath(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, TCreate::Never);
    if (!file) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return;
    const int64_t count = size.QuadPart / static_cast<int64_t>(sizeof(TReportEvent));
    TMSlotMessage message = proto::Message(proto::kReport);
    message.D = static_cast<int32_t>(count);
    // The whole dump goes through one open slot, read a block of records at a time.
    TMailSlotWriter tray(kTraySlot);
    if (!tray.Opened()) return;
    constexpr int64_t kBlock = 256;
    std::vector<TReportEvent> block(kBlock);
    for (int64_t first = 0; first < count; first += kBlock) {
        const int64_t inBlock = std::min<int64_t>(kBlock, count - first);
        const DWORD bytes = static_cast<DWORD>(inBlock * sizeof(TReportEvent));
        DWORD got = 0;
        if (!ReadFile(file.Get(), block.data(), bytes, &got, nullptr) || got != bytes) return;
        for (int64_t i = 0; i < inBlock; ++i) {
            const TReportEvent& event = block[static_cast<size_t>(i)];
            message.Data.Set(event.Path.Str());
            message.Mess.Set(event.Detail.Str());
            message.A = event.Source;
            message.B = event.Event;
            message.Mess1.Set(FormatEventTime(event.Time));
            message.Bool = event.Flag;
            // The tray hands each row to its window, which a busy machine may
            // hold up for a while: a few send waits before the stream ends
            // rather than hold every command.
            if (!SendWithRetries(tray, message)) return;
        }
    }
}

void DeleteReportCommand(const TMSlotMessage&)
{
    std::lock_guard<std::mutex> guard(gEventLock);
    if (!DeletePlainFile(ReportFilePath()))
        WriteServiceLog("отчёт не удалён: " + ReportFilePath() + " (ошибка " + IntToStr(GetLastError()) + ")");
}
