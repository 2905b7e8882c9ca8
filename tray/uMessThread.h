#pragma once
// The tray's receiver: serves the mailslot "Quorvane\tray", where the service
// (and a tray started with a switch) sends everything meant for the tray.
// The receiver sleeps in the read until a message comes. Event notifications
// (Type 9) are queued, newest first, and shown on the main thread right after
// the round that read them, one event per round; every other Type is acted on
// at once on the receiver's thread (all that wait in one round), which
// reaches the main thread through the hidden window and the synchronise call
// and waits there.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "qvStrings.h"
#include "qvThread.h"
#include "uMailSlots.h"
#include "uNotifyRecord.h"

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
extern TTrayEventQueue gTrayEvents;

// One read of the tray's slot, which waits a while for a message; a datagram
// of another size than a record is read and dropped (Empty).
enum class TSlotRead { Record, Empty, Broken };
TSlotRead ReadTrayRecord(TMSlot& slot, TMSlotMessage& record);

class TThreadMess : public TThread {
public:
    // One record as read from the slot: Type 9 is queued, the rest handled now.
    void QueueTrayMessage(const TMSlotMessage& record);
    // Shows the newest event on the main thread when it has not been shown.
    void PollEventQueue();
    bool SlotActive() const { return slotActive_.load(); }

protected:
    void Execute() override;

private:
    bool OpenSlot(TMSlot& slot);
    // Waits for the next message (a while at most) and takes it with every
    // message waiting behind it, up to and with the first event; false when
    // the slot failed.
    bool TakeRound(TMSlot& slot);

    int32_t seq_ = 0;
    std::atomic<bool> slotActive_{false};
};

// Main thread: marks the newest event shown and shows it.
void ShowQueuedEvent();
// Acts on one record; `value` is the event's Seq for Type 9, else -1.
void HandleTrayMessage(const TMSlotMessage& record, int32_t value);

// Fills the notification record for an event (Type 9): false when the event
// kind shows no pop-up. Sets nothing else.
bool FillEventNotification(const TMSlotMessage& record, int32_t value, TNotifyRecord& notify);
// Main thread: the event pop-up, through the tray-warning gate.
void ShowEventPopup(const TMSlotMessage& record, int32_t value);

// Values kept from the messages, read by the windows.
TMSlotMessage LastTrustRecord();  // the last Type 24 record
struct TSystemMessage {
    std::string Address;
    std::string Text;
};
TSystemMessage KeptSystemMessage();

// Rows of the event report as the service sends them (Type 17, D = total),
// kept for the report window while it is open. Main thread only. The list
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
    std::string LoadingText;  // "mes_loading" and "mes_of", taken once per dump
    std::string OfText;
    std::function<void()> OnChanged;  // set by the report window
};
extern TReportRows gReportRows;
// Without a row for this long a dump counts as stopped.
constexpr DWORD kReportStallMs = 5000;
// Empties the list; rows still due from an unfinished dump will be dropped.
void ResetReportRows();
// A Load: the list starts afresh and one more dump is asked for.
void BeginReportLoad();
void AddReportRow(const TMSlotMessage& record);
// A dump without a row for kReportStallMs ends where it is, and the status
// says so; true when that happened now.
bool ReportDumpStalled(DWORD now);

// An entry of the trust list as the service sends it (Type 21, D = total),
// for the trust-list window that asked. Main thread only.
void AddTrustRow(const TMSlotMessage& record);
