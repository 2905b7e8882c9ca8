// How long the event report window takes to list a report of N events
// (10,000 by default) from the running service: the tray's receiver and the
// report window in this program, the report file written before the request.
// Prints the time from the request to the last row listed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ServiceHarness.h"
#include "TrayTestSupport.h"
#include "qvApplication.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uReportEvent.h"
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

}  // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const DWORD limitMs = argc > 2 ? static_cast<DWORD>(std::atoi(argv[2])) * 1000 : 300000;
    SetCurrentLanguage("English.lng");
    RegisterViewForms();
    if (!gui::InitApplication(GetModuleHandleA(nullptr)) || !CreateTrayWindow(GetModuleHandleA(nullptr))) return 2;
    auto receiver = std::make_unique<TThreadMess>();
    receiver->Start();
    if (!traytest::PumpUntil([&] { return receiver->SlotActive(); }, 5000)) return 3;
    if (!traytest::ServiceUp()) {
        std::printf("the service does not run\n");
        return 4;
    }
    if (!WriteReport(count)) return 5;

    const DWORD start = GetTickCount();
    OpenReport();
    const bool listed = traytest::PumpUntil(
        [&] { return gReportRows.RowCount == count && !gReportRows.Loading; }, limitMs);
    const DWORD elapsed = GetTickCount() - start;
    std::printf("report window: %d of %d events listed in %.1f s%s\n", gReportRows.RowCount, count,
                elapsed / 1000.0, listed ? "" : " (gave up)");
    receiver->Terminate();
    traytest::PumpUntil([&] { return receiver->Finished(); }, 3000);
    gui::FreeAllForms();
    traytest::RemoveServiceAtEnd();
    return listed ? 0 : 1;
}
