#pragma once
// What the tray's core and its windows share without knowing one another:
// the hidden window's commands, the events received, the rows of the event
// report, the hosts copy the tray asked the service for, and the trust-list
// rows as they arrive. The receiver and the hidden
// window tell these models what happened; a window subscribes to what it
// shows (as the report window does to TReportRows::OnChanged). Subscribers
// are called on the main thread.
#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "uMailSlots.h"

// The hidden window's commands (its menu uses the same numbers).
enum TTrayCommand : int {
    cmdStopProtection = 0,
    cmdReport = 1,
    cmdSettings = 2,
    cmdAutorunManager = 3,
    cmdKiller = 4,
    cmdTrustList = 5,
    cmdRebuildMenu = 6,
    cmdWizard = 9,
    cmdStatus = 10,
    cmdHostsCopy = 11,
    cmdHostsManager = 12,
};

// The way the receiver and the windows ask for one of them, for the end of
// the tray (the service's quit) and for the end of the protection: the
// hidden window subscribes once it exists. Any thread: the hidden window
// acts on its own thread while the caller waits.
class TTrayCommands {
public:
    void Run(int command, intptr_t param = 0) const
    {
        if (OnCommand) OnCommand(command, param);
    }
    void Quit() const
    {
        if (OnQuit) OnQuit();
    }
    void StopProtection() const
    {
        if (OnStopProtection) OnStopProtection();
    }
    std::function<void(int command, intptr_t param)> OnCommand;
    std::function<void()> OnQuit;
    std::function<void()> OnStopProtection;  // gives up Win+F12 and ends the tray
};

// The hosts copy that the tray asked the service for (the menu's hosts
// command, or the report's "Show" on a jailed copy): the service's answer is
// taken only for this name, once, and only while the hosts manager is not
// open; an open manager takes the answers to its own requests. Any thread.
class THostsCopySession {
public:
    void Expect(const std::string& fileName);
    std::string FileName() const;
    // True when the answer is for the copy the tray asked for (the
    // expectation is then used up).
    bool Accept(const std::string& fileName);

    // The open hosts manager, while it is open (main thread).
    void Subscribe(const void* owner, std::function<void(const std::string& fileName, int32_t code)> onAnswer);
    void Unsubscribe(const void* owner);
    // Hands the answer to the subscriber; false when there is none.
    bool Answered(const std::string& fileName, int32_t code) const;

private:
    mutable std::mutex lock_;
    std::string name_;
    bool expected_ = false;
    const void* owner_ = nullptr;
    std::function<void(const std::string&, int32_t)> onAnswer_;
};

// A transfer name ("...qrv.~tmp") directly in the user's temporary folder, of
// no existing file: the service writes a new file and never through an
// existing one.
std::string NewHostsCopyName();

// The trust-list rows (and the tray's own end marks) as they arrive; the
// trust-list windows subscribe. Main thread.
struct TTrustRowFeed {
    std::function<void(const TMSlotMessage&)> OnRow;
};

// The trust-list requests in the order they were sent. The service sends the
// list as one record per entry with the total in D (one record with D 0 when
// the list is empty), without naming the request it answers. Each request is
// followed by a mark of the tray's own that comes behind the last row of its
// answer, so the rows between two marks answer one request: rows meant for a
// window that was closed are dropped, rows beyond the total never reach a
// window, and an answer lost or cut short costs only the window that asked.
// Main thread.
class TTrustFeed {
public:
    // A window asked for the list; the id names its request.
    int Request();
    // The window closed: rows still due for its request are dropped.
    void Abandon(int id);
    // The request's send failed: no answer will come for it.
    void Forget(int id);
    // The mark behind the request's answer came: whatever of the answer is
    // still due (all of it when it was lost) will not come.
    void AnswerEnded(int id);

    // One record of the service's answer: an entry with the total in D, or
    // the empty answer (total 0, no entry).
    struct TRow {
        int Id = -1;             // the request it answers; -1 when none was due
        bool Deliver = false;    // its window is still open
        bool HasEntry = false;   // an entry to append
        bool Completes = false;  // the last row of that request
    };
    TRow Take(int32_t total);
    int Pending() const { return static_cast<int>(requests_.size()); }

private:
    struct TRequest {
        int Id;
        bool Abandoned;
        int32_t Total;  // from its first row; -1 before
        int32_t Received;
    };
    std::deque<TRequest> requests_;
    int nextId_ = 1;
};

struct TTrayEventEntry {
    TMSlotMessage Message;
    bool Shown;
    int32_t Seq;
};

// The events received during the tray's life, newest first, the last 1000 of
// them: the new-autorun dialog finds its event by Seq.
class TTrayEventQueue {
public:
    void PushFront(const TMSlotMessage& message, int32_t seq);
    bool HeadPending() const;
    // Marks the head shown and hands out a copy; false when nothing is pending.
    bool TakeHead(TTrayEventEntry& entry);
    bool FindBySeq(int32_t seq, TTrayEventEntry& entry) const;
    std::vector<TTrayEventEntry> Snapshot() const;
    size_t Size() const;  // at most the last 1000 events are kept
    void Clear();

private:
    mutable std::mutex lock_;
    std::vector<TTrayEventEntry> entries_;
};

// Without a row for this long a dump counts as stopped.
constexpr DWORD kReportStallMs = 5000;

// Rows of the event report as the service sends them (Type 17, D = total),
// kept for the report window while it is open (the receiver adds them).
// Main thread only. The list
// grows row by row: D is only what the service announced and sizes nothing.
// The rows name no request: a dump is told from another by its total, and
// the tail of a dump given up by its first row (every dump of the report
// starts with the same first record).
struct TReportRows {
    std::vector<TMSlotMessage> Records;
    int RowCount = 0;
    int ItemCount = 0;     // rows the list shows
    int32_t Total = 0;     // announced by the dump being listed
    std::string Status;    // first status panel
    bool Loading = false;  // a dump is arriving: the list shows the hourglass
    DWORD LastRowTick = 0;
    int Dumps = 0;  // counts the dumps begun: rows on show may have changed
    // Loads whose dump has not begun yet: only then does a row beyond the
    // total open a new dump.
    int Asked = 0;
    // The dump the list gave up part-way (a new Load, or the window closed):
    // rows of its total other than its first may still come, before any
    // later dump's rows, and are dropped.
    struct {
        int32_t Total = 0;
        int Left = 0;
        TMSlotMessage First{};
    } GivenUp;
    // "mes_loading", "mes_of" and "mes_cut", taken once per dump
    std::string LoadingText;
    std::string OfText;
    std::string CutText;
    std::function<void()> OnChanged;  // set by the report window

    // Empties the list; rows still due from an unfinished dump will be dropped.
    void Reset();
    // A Load: the list starts afresh and one more dump is asked for.
    void BeginLoad();
    // A dump without a row for kReportStallMs ends where it is, and the
    // status says so; true when that happened now.
    bool Stalled(DWORD now);
};
// "<text> <rows> <of> <total>": the status of a dump under way.
std::string ReportProgress(const std::string& text, const TReportRows& rows);

struct TSystemMessage {
    std::string Address;
    std::string Text;
};

// What the receiver keeps from the service's messages for later: the last
// trust-list request (Type 24), the request the open trust list shows, and
// the last system message (Type 15). Any thread.
class TKeptMessages {
public:
    TMSlotMessage LastTrustRecord() const { return Read(lastTrust_); }
    void KeepTrustRecord(const TMSlotMessage& record) { Write(lastTrust_, record); }
    TMSlotMessage TrustListRecord() const { return Read(trustList_); }
    void KeepTrustListRecord(const TMSlotMessage& record) { Write(trustList_, record); }
    TSystemMessage SystemMessage() const { return Read(system_); }
    void KeepSystemMessage(const TSystemMessage& message) { Write(system_, message); }

private:
    template <typename T>
    T Read(const T& kept) const
    {
        std::lock_guard<std::mutex> lock(lock_);
        return kept;
    }
    template <typename T>
    void Write(T& kept, const T& value)
    {
        std::lock_guard<std::mutex> lock(lock_);
        kept = value;
    }

    mutable std::mutex lock_;
    TMSlotMessage lastTrust_{};
    TMSlotMessage trustList_{};
    TSystemMessage system_;
};
