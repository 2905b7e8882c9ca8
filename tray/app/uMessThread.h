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
#include "uTrayModels.h"

// One read of the tray's slot, which waits a while for a message; a datagram
// of another size than a record is read and dropped (Empty).
enum class TSlotRead { Record, Empty, Broken };
TSlotRead ReadTrayRecord(TMSlot& slot, TMSlotMessage& record);

class TThreadMess : public TThread {
public:
    ~TThreadMess() override { StopAndJoin(); }
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
    bool pollFailing_ = false;  // a run of failed polls is reported once
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

// A report row as the service sends it (Type 17, D = total), into
// TrayApp().ReportRows while the report window is open. Main thread only.
void AddReportRow(const TMSlotMessage& record);

// An entry of the trust list as the service sends it (Type 21, D = total),
// for the trust-list window that asked. Main thread only.
void AddTrustRow(const TMSlotMessage& record);
