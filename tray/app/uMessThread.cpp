#include "uMessThread.h"

#include <windows.h>

#include <exception>

#include "qvApplication.h"
#include "qvCaught.h"
#include "qvLateApi.h"
#include "qvProtocol.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uReportEvent.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr DWORD kSlotRetryMs = 1000;
// An idle receiver sleeps in the read itself and wakes this often to see
// whether it is told to stop; a message wakes it at once.
constexpr DWORD kIdleReadMs = 250;

// Fills a notification record and hands it to the pop-up owner in one
// synchronised call. A service pop-up is marked pending only when it really
// opened: one held back by the gate would otherwise hide every later notice.
void Notify(const std::function<void(TNotifyRecord&)>& fill, bool pending)
{
    TNotifyRecord record;
    ResetNotifyRecord(record);
    record.Kind = proto::kAnswerNone;
    fill(record);
    gui::Synchronize([&] {
        const bool shown = ShowRequestedNotification(record);
        if (pending && shown) TrayApp().Popups.ServicePopupPending = true;
    });
}

void SetGui(ShortString<kNotifyTextMax>& text, const std::string& value) { text.Set(value); }

void KillerFinished()
{
    TrayApp().Popups.KillerRunning = false;
    MessageBeep(MB_OK);
    Notify([](TNotifyRecord& n) {
        n.Style = nsInformation;
        SetGui(n.Text2, GetLangText(kLangGui, "mes_kilend"));
        n.Kind = proto::kAnswerNone;
        n.Seconds = 2;
        n.Buttons = false;
    }, false);
}

void ProgramsEnded()
{
    RestartExplorerChecked();
    if (TrayApp().Popups.ServicePopupPending.load()) return;
    Notify([](TNotifyRecord& n) {
        n.Style = nsPlain;
        SetGui(n.Text1, GetLangText(kLangGui, "mes_parend"));
        SetGui(n.Text2, GetLangText(kLangGui, "mes_rest"));
        SetGui(n.Text3, GetLangText(kLangGui, "mes_maybe"));
        SetGui(n.Text4, GetLangText(kLangGui, "mes_open"));
        n.Kind = proto::kAnswerReport;
        n.Seconds = 7;
        n.Buttons = true;
    }, true);
}

void HostsCopyDone(const TMSlotMessage& record)
{
    // Only the copy this tray asked for, and only while no hosts manager is
    // open: the hosts manager saves over the named file and deletes it later.
    gui::Synchronize([&] {
        // An open manager waits for the fresh copy it asked for.
        if (IsFormOpen(kHostsManagerForm) && TrayApp().HostsCopy.Answered(record.Data.Str(), record.B)) return;
        if (!TrayApp().HostsCopy.Accept(record.Data.Str())) return;
        TrayApp().Actions.Run(cmdHostsManager, record.B);
    });
}

void AnswerProcessId(TMSlotMessage record)
{
    const std::string slot = record.Mess1.Str();
    if (!IsReplySlotName(slot)) return;
    record.B = static_cast<int32_t>(GetCurrentProcessId());
    SendReply(record, slot);
}

void ServiceCommand(const TMSlotMessage& record)
{
    switch (record.A) {
    case proto::kQuit: TrayApp().Actions.Quit(); break;
    case proto::kPing: break;  // the service's ping: delivery is the answer
    case proto::kKillerStarted: TrayApp().Popups.KillerRunning = true; break;
    case proto::kKillerEnded: KillerFinished(); break;
    case proto::kExplorerCheck: ProgramsEnded(); break;
    case proto::kHostsCopyResult: HostsCopyDone(record); break;
    case proto::kProcessIdAsk: AnswerProcessId(record); break;
    default: break;
    }
}

void SystemMessage(const TMSlotMessage& record)
{
    TrayApp().Kept.KeepSystemMessage({record.Data.Str(), record.Mess1.Str()});
    Notify([](TNotifyRecord& n) {
        n.Style = nsPlain;
        SetGui(n.Text1, GetLangText(kLangGui, "mes_sysshow"));
        SetGui(n.Text4, GetLangText(kLangGui, "mes_sysmes"));
        n.Kind = proto::kAnswerSystemMessage;
        n.Seconds = 0;
        n.Buttons = true;
    }, true);
}

void NewVersion(const TMSlotMessage& record)
{
    const bool liveCd = record.Type == proto::kNewLiveCd;
    const std::string version = "Version: " + record.Mess1.Str();
    Notify([&](TNotifyRecord& n) {
        n.Style = nsPlain;
        SetGui(n.Text1, GetLangText(kLangGui, "up_newver"));
        SetGui(n.Text2, liveCd ? GetLangText(kLangGui, "QuorvaneLiveCD") : GetLangText(kLangGui, "Quorvane"));
        SetGui(n.Text3, version);
        SetGui(n.Text4, GetLangText(kLangGui, "up_goto"));
        n.Kind = proto::kAnswerNewVersion;
        n.Seconds = 0;
        n.Buttons = true;
    }, true);
}

}  // namespace

TSlotRead ReadTrayRecord(TMSlot& slot, TMSlotMessage& record)
{
    ClearMailSlotMessage(record);
    uint8_t buffer[kPacketSize];
    DWORD read = 0;
    if (ReadFile(slot.Handle.Get(), buffer, sizeof(buffer), &read, nullptr)) {
        // Only a whole record is one: anything else would read as a cleared
        // record, which looks like the service's answer of an empty trust list.
        if (read != kPacketSize) return TSlotRead::Empty;
        UnpackDatagram(buffer, read, record);
        return TSlotRead::Record;
    }
    return GetLastError() == ERROR_SEM_TIMEOUT ? TSlotRead::Empty : TSlotRead::Broken;
}

bool TThreadMess::OpenSlot(TMSlot& slot)
{
    CreateMailSlot(slot, false);
    // Reads wait for the next message instead of polling the slot.
    if (slot.Active) SetMailslotInfo(slot.Handle.Get(), kIdleReadMs);
    slotActive_ = slot.Active;
    return slot.Active;
}

bool TThreadMess::TakeRound(TMSlot& slot)
{
    TMSlotMessage record;
    switch (ReadTrayRecord(slot, record)) {
    case TSlotRead::Empty: return true;
    case TSlotRead::Broken: return false;
    case TSlotRead::Record: break;
    }
    // Every waiting message goes in this round, up to the first event: the
    // pop-up queue shows only its head, so one event per round.
    for (;;) {
        QueueTrayMessage(record);
        if (record.Type == proto::kEvent || Terminated() || !MailSlotHasMessage(slot)) return true;
        if (ReadTrayRecord(slot, record) != TSlotRead::Record) return true;
    }
}

void TThreadMess::Execute()
{
    seq_ = 0;
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kTraySlot;
    OpenSlot(slot);
    while (!Terminated()) {
        if (!slot.Active) {
            // Another tray holds the slot (a second one started with
            // "/adminstart"): take it over once that one has gone.
            if (!Pause(kSlotRetryMs)) break;
            OpenSlot(slot);
            continue;
        }
        if (!TakeRound(slot) && !Pause(10)) break;
        PollEventQueue();
    }
    CloseMailSlot(slot);
}

void TThreadMess::QueueTrayMessage(const TMSlotMessage& record)
{
    try {
        if (record.Type != proto::kEvent) {
            HandleTrayMessage(record, -1);
            return;
        }
        TrayApp().Events.PushFront(record, seq_);
        ++seq_;
    } catch (const std::exception& error) {
        // the record is lost, the receiver goes on
        ReportCaught("tray message of type " + std::to_string(record.Type) + " lost", error);
    }
}

void TThreadMess::PollEventQueue()
{
    try {
        if (TrayApp().Events.HeadPending()) gui::Synchronize(ShowQueuedEvent);
        pollFailing_ = false;
    } catch (const std::exception& error) {
        if (!pollFailing_) ReportCaught("queued event not shown", error);
        pollFailing_ = true;
    }
}

void ShowQueuedEvent()
{
    TTrayEventEntry entry;
    if (TrayApp().Events.TakeHead(entry)) HandleTrayMessage(entry.Message, entry.Seq);
}

void HandleTrayMessage(const TMSlotMessage& record, int32_t value)
{
    switch (record.Type) {
    case proto::kFirstRun: TrayApp().Actions.Run(cmdWizard); break;
    case proto::kEvent: gui::Synchronize([&] { ShowEventPopup(record, value); }); break;
    case proto::kControl: ServiceCommand(record); break;
    case proto::kSystemMessage: SystemMessage(record); break;
    case proto::kReport: gui::Synchronize([&] { AddReportRow(record); }); break;
    case proto::kTrustList: gui::Synchronize([&] { AddTrustRow(record); }); break;
    case proto::kNone:  // the service answers an empty trust list so
        if (record.D == 0) gui::Synchronize([&] { AddTrustRow(record); });
        break;
    case proto::kTrustAsk: {
        TrayApp().Kept.KeepTrustRecord(record);
        TrayApp().Actions.Run(cmdTrustList, 1);
        break;
    }
    case proto::kNewVersion:
    case proto::kNewLiveCd: NewVersion(record); break;
    case proto::kOpenSettings: TrayApp().Actions.Run(cmdSettings); break;
    case proto::kShowStatus: TrayApp().Actions.Run(cmdStatus); break;
    default: break;
    }
}

namespace {

// What an event's pop-up shows beside the warning with its two event texts;
// an event kind without a row shows no pop-up (the killer, the quarantine,
// Ctfmon, the user's Winlogon shell, failed copies...).
enum class TEventPopup {
    Plain,
    Hosts,         // only a missing or changed hosts file
    ThirdText,     // the third text is the language text of Key
    ThirdData,     // the third text is the record's Data
    ThirdTextData, // the third text is the language text of Key, a blank, Data
    NewAutorun,    // a yes opens the new-autorun dialog on this event
};

struct TEventPopupRow {
    int32_t Kind;
    TEventPopup Popup;
    const char* Key;
};

constexpr TEventPopupRow kEventPopups[] = {
    {evkWinlogonShell, TEventPopup::Plain, nullptr},
    {evkWinlogonUserinit, TEventPopup::Plain, nullptr},
    {evkWinlogonGina, TEventPopup::Plain, nullptr},
    {evkWinlogonTaskman, TEventPopup::Plain, nullptr},
    {evkWinlogonText, TEventPopup::Plain, nullptr},
    {evkWinlogonCaption, TEventPopup::Plain, nullptr},
    {evkWinlogonUsrinit, TEventPopup::Plain, nullptr},
    {evkMbr, TEventPopup::Plain, nullptr},
    {evkHosts, TEventPopup::Hosts, nullptr},
    {evkPoliciesShell, TEventPopup::Plain, nullptr},
    {evkPoliciesCaption, TEventPopup::Plain, nullptr},
    {evkPoliciesText, TEventPopup::Plain, nullptr},
    {evkChangeUserinit, TEventPopup::ThirdText, "es_change_userinit"},
    {evkChangeTaskmgr, TEventPopup::ThirdText, "es_change_taskmgr"},
    {evkHijackAll, TEventPopup::ThirdData, nullptr},
    {evkHijackTaskmgr, TEventPopup::ThirdTextData, "mes_task"},
    {evkHijackExplorer, TEventPopup::ThirdTextData, "mes_expl"},
    {evkHijackRegedit, TEventPopup::ThirdTextData, "meg_rege"},
    {evkRun, TEventPopup::NewAutorun, nullptr},
    {evkRun64, TEventPopup::NewAutorun, nullptr},
    {evkRunOnce, TEventPopup::NewAutorun, nullptr},
    {evkRunOnce64, TEventPopup::NewAutorun, nullptr},
    {evkRunOnceEx, TEventPopup::NewAutorun, nullptr},
    {evkRunOnceEx64, TEventPopup::NewAutorun, nullptr},
    {evkPoliciesExplorerRun, TEventPopup::NewAutorun, nullptr},
    {evkCommonStartup, TEventPopup::NewAutorun, nullptr},
    {evkAppInitDlls, TEventPopup::NewAutorun, nullptr},
    {evkUserRun, TEventPopup::NewAutorun, nullptr},
    {evkUserRunOnce, TEventPopup::NewAutorun, nullptr},
    {evkUserPoliciesRun, TEventPopup::NewAutorun, nullptr},
    {evkUserStartup, TEventPopup::NewAutorun, nullptr},
    {evkUserRunValue, TEventPopup::NewAutorun, nullptr},
    {evkUserLoadValue, TEventPopup::NewAutorun, nullptr},
    {evkUserPoliciesShell, TEventPopup::Plain, nullptr},
    {evkUserBlockRegedit, TEventPopup::Plain, nullptr},
    {evkUserBlockTaskmgr, TEventPopup::Plain, nullptr},
    {proto::kEventKindUnnamedUser, TEventPopup::Plain, nullptr},
};

const TEventPopupRow* EventPopupRow(int32_t kind)
{
    for (const TEventPopupRow& row : kEventPopups)
        if (row.Kind == kind) return &row;
    return nullptr;
}

// The hosts watcher's pop-up: only for a hosts file that is gone or changed.
bool FillHostsNotification(int32_t message, TNotifyRecord& n)
{
    switch (message) {
    case evmDeleteFile:
        n.Text2.Set(GetLangText(kLangGui, "hm_nf"));
        n.Text3.Set(GetLangText(kLangGui, "hm_res"));
        return true;
    case evmChange:
        n.Text2.Set(GetLangText(kLangGui, "hm_change"));
        n.Text3.Set(GetLangText(kLangGui, "hm_res"));
        n.Buttons = true;
        n.Kind = proto::kAnswerReport;
        n.Text4.Set(GetLangText(kLangGui, "mes_open"));
        n.Seconds = 7;
        return true;
    default: return false;
    }
}

}  // namespace

bool FillEventNotification(const TMSlotMessage& record, int32_t value, TNotifyRecord& n)
{
    ResetNotifyRecord(n);
    n.Style = nsWarning;
    n.Text2.Set(EventCodeText(record.B));
    n.Text3.Set(EventCodeText(record.A));
    n.Seconds = 5;
    n.Kind = proto::kAnswerNone;
    n.Buttons = false;
    n.Value = value;
    const TEventPopupRow* row = EventPopupRow(record.A);
    if (!row) return false;
    switch (row->Popup) {
    case TEventPopup::Plain: return true;
    case TEventPopup::Hosts: return FillHostsNotification(record.B, n);
    case TEventPopup::ThirdText: n.Text3.Set(GetLangText(kLangGui, row->Key)); return true;
    case TEventPopup::ThirdData: n.Text3.Set(record.Data.Str()); return true;
    case TEventPopup::ThirdTextData:
        n.Text3.Set(GetLangText(kLangGui, row->Key) + " " + record.Data.Str());
        return true;
    case TEventPopup::NewAutorun:
        n.Seconds = 8;
        n.Buttons = true;
        n.Text4.Set(GetLangText(kLangGui, "mes_det"));
        n.Kind = proto::kAnswerNewAutorun;  // the new-autorun dialog finds the event by its Seq
        return true;
    }
    return false;
}

void ShowEventPopup(const TMSlotMessage& record, int32_t value)
{
    TNotifyRecord notification;
    const bool show = FillEventNotification(record, value, notification);
    TrayApp().Popups.LastEventKind = record.A;
    if (show) ShowRequestedNotification(notification);
}

namespace {

bool SameRow(const TMSlotMessage& a, const TMSlotMessage& b)
{
    return a.D == b.D && a.A == b.A && a.B == b.B && a.C == b.C && a.Bool == b.Bool && a.Data.Str() == b.Data.Str() &&
           a.Mess.Str() == b.Mess.Str() && a.Mess1.Str() == b.Mess1.Str();
}

}  // namespace

void AddReportRow(const TMSlotMessage& record)
{
    TReportRows& rows = TrayApp().ReportRows;
    if (record.D <= 0) return;
    if (rows.GivenUp.Left > 0) {
        if (record.D == rows.GivenUp.Total && !SameRow(record, rows.GivenUp.First)) {
            --rows.GivenUp.Left;  // the tail of a dump nobody waits for any more
            return;
        }
        rows.GivenUp.Left = 0;  // that dump stopped short: this row is a later one's
    }
    if (!IsFormOpen(kReportForm)) return;  // nobody to show it to
    // Within a dump rows come up to its total; a row beyond it starts the
    // next dump when a Load waits for one, and is not stored otherwise.
    const bool sameDump = rows.RowCount > 0 && record.D == rows.Total;
    if (sameDump && rows.RowCount >= rows.Total && rows.Asked == 0) return;
    if (!sameDump || rows.RowCount >= rows.Total) {
        std::vector<TMSlotMessage>().swap(rows.Records);
        rows.RowCount = 0;
        rows.Total = record.D;
        rows.LoadingText = GetLangText(kLangGui, "mes_loading");
        rows.OfText = GetLangText(kLangGui, "mes_of");
        rows.CutText = GetLangText(kLangGui, "mes_cut");
        if (rows.Asked > 0) --rows.Asked;
        ++rows.Dumps;
    }
    rows.Loading = true;
    rows.LastRowTick = GetTickCount();
    rows.Records.push_back(record);
    ++rows.RowCount;
    rows.Status = ReportProgress(rows.LoadingText, rows);
    rows.ItemCount = rows.RowCount;
    if (rows.RowCount == rows.Total) {
        rows.Status = GetLangText(kLangGui, "mes_loaded");
        rows.Loading = false;
    }
    if (rows.OnChanged) rows.OnChanged();
}

void AddTrustRow(const TMSlotMessage& record)
{
    if (TrayApp().TrustRows.OnRow) TrayApp().TrustRows.OnRow(record);
}
