// How fast the tray's receiver takes a report dump: a sender thread puts N
// event-report rows (Type 17, D = N) on "Quorvane\tray" at once, as the
// service does, while a report window stands open; prints the time from the
// first send until the last row is stored. Run it in a prefix of its own:
//   QV_PREFIX_NAME=bench scripts/wine-exec.sh build/x86_64/bin/bench_tray_receiver.exe [rows]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <thread>

#include "qvApplication.h"
#include "qvForms.h"
#include "uFormUtils.h"
#include "uMailSlots.h"
#include "uMessThread.h"
#include "uTrayApplication.h"

namespace {

class ReportStandIn : public gui::TForm {
public:
    ReportStandIn() : TForm(kReportForm) {}

protected:
    void CreateParams(gui::TCreateParams& params) override
    {
        params.Style = WS_POPUP;
        params.ShowCommand = SW_SHOWNA;
        params.Width = params.Height = 10;
    }
};

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to, const LARGE_INTEGER& frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    const int rows = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (rows <= 0) return 2;
    gui::RegisterFormClass(kReportForm, [] { return std::make_unique<ReportStandIn>(); });
    if (!gui::InitApplication(GetModuleHandleA(nullptr))) return 1;
    OpenReport();
    TrayApp().ReportRows.Reset();

    TThreadMess receiver;
    receiver.Start();
    for (int i = 0; i < 500 && !receiver.SlotActive(); ++i) Sleep(10);
    if (!receiver.SlotActive()) {
        std::printf("the tray slot could not be made\n");
        return 1;
    }

    LARGE_INTEGER frequency, start, sent, done;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int failed = 0;
    std::thread sender([&] {
        for (int i = 0; i < rows; ++i) {
            TMSlotMessage row = MakeMessage(17);
            row.Data.Set("C:\\Windows\\explorer.exe");
            row.A = 171;
            row.B = 914;
            row.D = rows;
            if (!SendToMailSlot(row, kTraySlot)) ++failed;
        }
        QueryPerformanceCounter(&sent);
    });
    const DWORD limitMs = 600000;
    const DWORD begun = GetTickCount();
    while (TrayApp().ReportRows.RowCount < rows - failed && GetTickCount() - begun < limitMs) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        gui::ProcessMessages();
    }
    QueryPerformanceCounter(&done);
    sender.join();
    receiver.Terminate();
    receiver.WaitFor(5000);

    std::printf("report rows: %d sent (%d failed), %d stored\n", rows, failed, TrayApp().ReportRows.RowCount);
    std::printf("sending took %.2f s; all rows stored after %.2f s (%.0f rows/s)\n", Seconds(start, sent, frequency),
                Seconds(start, done, frequency), TrayApp().ReportRows.RowCount / Seconds(start, done, frequency));
    return TrayApp().ReportRows.RowCount == rows && failed == 0 ? 0 : 1;
}
