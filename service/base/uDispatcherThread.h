#pragma once
// Events: every repair, quarantine, kill or restore is one TReportEvent,
// appended to "report.rdb" and queued for the tray; the dispatcher thread
// delivers the queue newest first, one event per 100 ms round, and sleeps
// while the queue is empty. The unit also serves the commands that read or
// delete the report.
#include <memory>
#include <string>
#include <vector>

#include "qvThread.h"
#include "uMailSlots.h"
#include "uReportEvent.h"

struct TReportQueueEntry {
    TReportEvent Event;
    bool Sent;
    uint64_t Id;  // in the order of logging
};

// A record's time as the report dump sends it: the machine's short date and
// long time, or empty for a time outside the years 1601-9999.
std::string FormatEventTime(double time);
// Zero bytes that complete a torn last record of a report of that size.
size_t ReportPaddingNeeded(uint64_t reportSize);

std::string ReportFilePath();   // data folder + "report.rdb"

// The logger: appends the record to "report.rdb" and pushes it at the head of
// the queue, both under one lock. Raises when the report cannot be created
// (the event is then neither stored nor queued).
void LogReportEvent(const TReportEvent& event);
// Fills a record (texts cut to their fields, Time now, Flag false) and logs it.
void RecordEvent(int32_t kind, int32_t message, const std::string& path, const std::string& detail = {},
                 const std::string& md5 = {});
// The same with a time taken by the caller (one time for several events).
void RecordEventAt(double time, int32_t kind, int32_t message, const std::string& path, const std::string& detail = {},
                   const std::string& md5 = {});

// One send step: delivers the newest entry as Type 9 to "Quorvane\tray" and
// drops it once delivered. True when an event left.
bool SendQueuedEvent();
size_t QueuedEventCount();
std::vector<TReportQueueEntry> QueueSnapshot();
void ClearEventQueue();

class TDispatcherThread : public TThread {
public:
    TDispatcherThread() { Start(); }
    // Ends the thread while this object is whole.
    ~TDispatcherThread() override
    {
        Terminate();
        WaitFor();
    }

protected:
    void Execute() override;

private:
    static constexpr DWORD kRoundMs = 100;
};

extern std::unique_ptr<TDispatcherThread> gDispatcherThread;

// Command handlers (the dispatcher calls them on the command thread).
void ReportDumpCommand(const TMSlotMessage& message);       // 17
void DeleteReportCommand(const TMSlotMessage& message);     // 41
