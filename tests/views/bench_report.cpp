// How long the event report window takes to list N events (10,000 by
// default): from the report request to the last row listed.
//   bench_report.exe [N] [limit s] [source] [receiver]
// source:   service  the running service dumps a report file of N records
//           direct   this program writes N rows into the tray slot itself
//           local    rows handed to the window on the main thread (the
//                    window's own cost, no mailslot)
// receiver: tray     the tray's receiver as built (TThreadMess)
//           drain    a receiver that takes every waiting row in one round,
//                    as the tray's receiver does for messages other than
//                    events once it batches them
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "ServiceHarness.h"
#include "TrayTestSupport.h"
#include "qvApplication.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uReportEvent.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"
#include "uViewForms.h"

namespace {

bool WriteReport(int count)
{
    std::vector<TReportEvent> events(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        TReportEvent& event = events[static_cast<size_t>(i)];
        InitReportEvent(event);
        event.Source = evkRun;
        event.Event = evmAdd;
        event.Path.Set("C:\\Users\\Public\\locker" + std::to_string(i) + ".exe");
        event.Time = NowDateTime();
    }
    CreateDirectoryA(ExcludeTrailingBackslash(GetDataFolder()).c_str(), nullptr);
    HANDLE file = CreateFileA((GetDataFolder() + "report.rdb").c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(events.size() * sizeof(TReportEvent));
    const bool ok = WriteFile(file, events.data(), size, &written, nullptr) && written == size;
    CloseHandle(file);
    return ok;
}

TMSlotMessage Row(int count, int i)
{
    TMSlotMessage row;
    ClearMailSlotMessage(row);
    row.Type = 17;
    row.A = evkRun;
    row.B = evmAdd;
    row.D = count;
    row.Data.Set("C:\\Users\\Public\\locker" + std::to_string(i) + ".exe");
    return row;
}

// Handles messages the way the tray's loop does (a sent message is taken at
// once, not after a sleep) until the condition holds or the time is up.
template <typename Cond>
bool WaitLikeTheTray(Cond cond, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!cond()) {
        if (GetTickCount() - start >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        traytest::PumpOnce();
    }
    return true;
}

// Takes every waiting message in one round, then sleeps 10 ms.
class DrainReceiver {
public:
    DrainReceiver()
        : thread_([this] {
              TMSlot slot;
              InitMailSlot(slot);
              slot.Name = kTraySlot;
              CreateMailSlot(slot, false);
              active_ = slot.Active;
              while (!stop_.load() && slot.Active) {
                  while (MailSlotHasMessage(slot)) {
                      TMSlotMessage record;
                      ReadMailSlot(slot, record);
                      if (record.Type == 17) gui::Synchronize([&] { AddReportRow(record); });
                  }
                  Sleep(10);
              }
              CloseMailSlot(slot);
          })
    {
    }
    ~DrainReceiver()
    {
        stop_ = true;
        thread_.join();
    }
    bool Active() const { return active_.load(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::thread thread_;
};

// The service from a folder without the tray program: it starts no tray of
// its own, which would take the tray slot.
// A loaded machine may keep the service manager busy: a few tries.
bool ServiceWithoutTrayUp()
{
    const std::string exe = harness::StageServiceCopy(GetEnvVar("TEMP") + "\\qv_bench_service", "ServiceQuorvane.exe");
    for (int attempt = 0; attempt < 3; ++attempt) {
        harness::RemoveService();
        if (harness::InstallService(exe) && harness::StartAndWaitRunning(60000)) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const DWORD limitMs = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) * 1000 : 300000;
    const std::string source = argc > 3 ? argv[3] : "service";
    const std::string receiverKind = argc > 4 ? argv[4] : "tray";
    SetCurrentLanguage("English.lng");
    RegisterViewForms();
    if (!gui::InitApplication(GetModuleHandleA(nullptr)) || !CreateTrayWindow(GetModuleHandleA(nullptr))) return 2;

    std::unique_ptr<TThreadMess> tray;
    std::unique_ptr<DrainReceiver> drain;
    if (source != "local") {
        if (receiverKind == "drain") {
            drain = std::make_unique<DrainReceiver>();
            if (!drain->Active()) traytest::PumpUntil([&] { return drain->Active(); }, 5000);
        } else {
            tray = std::make_unique<TThreadMess>();
            tray->Start();
            if (!traytest::PumpUntil([&] { return tray->SlotActive(); }, 5000)) return 3;
        }
    }
    if (source == "service") {
        if (!ServiceWithoutTrayUp()) {
            std::printf("the service does not run\n");
            return 4;
        }
        if (!WriteReport(count)) return 5;
    }

    const DWORD start = GetTickCount();
    OpenReport();
    std::thread sender;
    if (source == "direct") {
        sender = std::thread([count] {
            for (int i = 0; i < count; ++i) SendToMailSlot(Row(count, i), kTraySlot);
        });
    } else if (source == "local") {
        for (int i = 0; i < count; ++i) {
            AddReportRow(Row(count, i));
            traytest::PumpOnce();
        }
    }
    DWORD lastReport = start;
    const bool listed = WaitLikeTheTray(
        [&] {
            if (GetTickCount() - lastReport >= 10000) {
                lastReport = GetTickCount();
                std::printf("  %.0f s: %d rows\n", (lastReport - start) / 1000.0, TrayApp().ReportRows.RowCount);
                std::fflush(stdout);
            }
            return TrayApp().ReportRows.RowCount == count && !TrayApp().ReportRows.Loading;
        },
        limitMs);
    const DWORD elapsed = GetTickCount() - start;
    if (sender.joinable()) sender.join();
    std::printf("report window (%s, %s receiver): %d of %d events listed in %.1f s%s\n", source.c_str(),
                source == "local" ? "no" : receiverKind.c_str(), TrayApp().ReportRows.RowCount, count, elapsed / 1000.0,
                listed ? "" : " (gave up)");
    if (tray) {
        tray->Terminate();
        traytest::PumpUntil([&] { return tray->Finished(); }, 3000);
    }
    drain.reset();
    gui::FreeAllForms();
    if (source == "service") harness::RemoveService();
    return listed ? 0 : 1;
}
