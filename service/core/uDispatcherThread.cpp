#include "uDispatcherThread.h"

#include <windows.h>

#include <cstring>
#include <deque>
#include <mutex>

#include "qvErrors.h"
#include "qvHandles.h"
#include "RegistryUtils.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uServiceUtils.h"

std::unique_ptr<TDispatcherThread> gDispatcherThread;

namespace {

// The event lock: appending to the report and every change of the queue.
std::mutex gEventLock;
std::deque<TReportQueueEntry> gQueue;  // front = newest

void AppendToReport(const TReportEvent& event)
{
    // Opened for appending and created only when missing: an existing report
    // is never truncated, whatever went wrong with an earlier open.
    const std::string path = ReportFilePath();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        DWORD error = GetLastError();
        throw EInOutError(error, "Cannot open file \"" + path + "\". " + SysErrorText(error));
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

// ---- commands on the report, the good list and the trust list ----

namespace {

TMSlotMessage Cleared(uint8_t type)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = type;
    return message;
}

// The record's time as the machine's short date and long time.
std::string FormatEventTime(double time)
{
    int year, month, day, hour, minute, second, ms;
    DecodeDateTime(time, year, month, day, hour, minute, second, ms);
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

TRegEngine TrustListRef() { return SettingRef("trustList"); }

}  // namespace

void ReportDumpCommand(const TMSlotMessage&)
{
    // Shared for writing: the logger may append while the report is sent.
    UniqueHandle file(CreateFileA(ReportFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size)) return;
    const int64_t count = size.QuadPart / static_cast<int64_t>(sizeof(TReportEvent));
    TMSlotMessage message = Cleared(17);
    message.D = static_cast<int32_t>(count);
    for (int64_t i = 0; i < count; ++i) {
        LARGE_INTEGER at{};
        at.QuadPart = i * static_cast<int64_t>(sizeof(TReportEvent));
        TReportEvent event;
        DWORD got = 0;
        if (!SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) ||
            !ReadFile(file.Get(), &event, sizeof(event), &got, nullptr) || got != sizeof(event))
            return;
        message.Data.Set(event.Path.Str());
        message.Mess.Set(event.Detail.Str());
        message.A = event.Source;
        message.B = event.Event;
        message.Mess1.Set(FormatEventTime(event.Time));
        message.Bool = event.Flag;
        SendToMailSlot(message, kTraySlot);
    }
}

void GoodListToAutorunCommand(const TMSlotMessage&)
{
    TStringList lines;
    if (!LoadLines(GoodListPath(), lines) || lines.empty()) return;
    TMSlotMessage message = Cleared(18);
    message.A = static_cast<int32_t>(lines.size());
    for (const auto& line : lines) {
        message.Data.Set(line);
        SendToMailSlot(message, kAutorunSlot);
    }
}

void AddGoodListCommand(const TMSlotMessage& request)
{
    const std::string digest = request.Mess1.Str();
    if (digest.empty() || digest.find_first_of("\r\n") != std::string::npos) return;
    std::string bytes;
    const bool exists = FileExists(GoodListPath());
    if (exists && !ReadFileBytes(GoodListPath(), bytes)) return;
    if (IndexOf(SplitLines(bytes), digest) >= 0) return;
    // One line appended: readers never see the list empty, and a failed write
    // cannot lose the lines already there.
    std::string line = (!bytes.empty() && bytes.back() != '\n') ? "\r\n" : "";
    line += digest + "\r\n";
    AppendBytes(GoodListPath(), line);
}

void TrustListToTrayCommand(const TMSlotMessage&)
{
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (entries.empty()) {
        SendToMailSlot(Cleared(0), kTraySlot);
        return;
    }
    TMSlotMessage message = Cleared(21);
    message.D = static_cast<int32_t>(entries.size());
    for (const auto& entry : entries) {
        message.Data.Set(entry);
        SendToMailSlot(message, kTraySlot);
    }
}

void AddTrustListCommand(const TMSlotMessage& request)
{
    const std::string entry = request.Data.Str();
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (rec.Error != 0) return;  // never write back a list that was not read whole
    if (IndexOfText(entries, entry) >= 0) return;
    entries.push_back(entry);
    WriteRegMultiString(rec, entries);
}

void DeleteTrustListCommand(const TMSlotMessage& request)
{
    DumpMessage(request);
    const std::string entry = request.Data.Str();
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (rec.Error != 0) return;
    int at = IndexOfText(entries, entry);
    if (at < 0) return;
    entries.erase(entries.begin() + at);
    WriteRegMultiString(rec, entries);
}

void DeleteReportCommand(const TMSlotMessage&)
{
    std::lock_guard<std::mutex> guard(gEventLock);
    if (FileExists(ReportFilePath())) RemoveFile(ReportFilePath());
}
