// A locker that fights back: rewrites the Winlogon "Shell" value to name a
// program after Explorer, at a steady rate, while the running service (All_shell
// on) repairs every rewrite. Prints the records the report gained and the
// pop-ups the tray slot received over the loop; the service's CPU time is
// measured outside (scripts/bench/bench-rewrite.sh).
// Usage: bench_rewrite_loop [rewrites, default 1000] [per second, default 50]
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "SlotListener.h"
#include "qvHandles.h"
#include "uDispatcherThread.h"
#include "uWinLogonProcedures.h"

namespace {

int64_t ReportSize()
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(ReportFilePath().c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool WriteShell(HKEY key, const std::string& text)
{
    return RegSetValueExA(key, "Shell", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

std::string ReadShell(HKEY key)
{
    char buffer[512] = {};
    DWORD size = sizeof(buffer) - 1, type = 0;
    if (RegQueryValueExA(key, "Shell", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) return {};
    return buffer;
}

}  // namespace

int main(int argc, char** argv)
{
    const int rewrites = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int perSecond = argc > 2 ? std::atoi(argv[2]) : 50;
    const std::string locker = "explorer.exe,C:\\x\\l.exe";
    UniqueRegKey key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, WinlogonKeyPath().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
        std::printf("cannot open the Winlogon key\n");
        return 1;
    }
    // The tray's slot, so that the pop-ups sent are counted as they leave.
    SlotListener tray(kTraySlot);
    std::atomic<bool> listening{tray.Active()};
    std::atomic<int> popups{0};
    std::thread counter([&] {
        TMSlotMessage message;
        while (listening)
            if (tray.Next(message, 200) && message.Type == 9) ++popups;
    });

    const int64_t reportBefore = ReportSize();
    const DWORD start = GetTickCount();
    int failed = 0;
    for (int i = 0; i < rewrites; ++i) {
        // Paced against the start, so a slow write does not stretch the loop.
        const DWORD due = start + static_cast<DWORD>(static_cast<int64_t>(i) * 1000 / perSecond);
        const DWORD now = GetTickCount();
        if (static_cast<int32_t>(due - now) > 0) Sleep(due - now);
        if (!WriteShell(key.Get(), locker)) ++failed;
    }
    const DWORD loopMs = GetTickCount() - start;
    // The last rewrite repaired.
    const DWORD settleStart = GetTickCount();
    while (ReadShell(key.Get()) != "Explorer.exe" && GetTickCount() - settleStart < 10000) Sleep(10);
    const bool repaired = ReadShell(key.Get()) == "Explorer.exe";
    Sleep(1000);  // the pop-ups of the last records on their way
    listening = false;
    counter.join();

    const int64_t records = (ReportSize() - reportBefore) / static_cast<int64_t>(sizeof(TReportEvent));
    std::printf("rewrites: %d in %.1f s (%d failed), last one repaired: %s\n", rewrites, loopMs / 1000.0, failed,
                repaired ? "yes" : "no");
    std::printf("records added: %lld (%.1f per 1000 rewrites), report grew %lld bytes\n",
                static_cast<long long>(records), 1000.0 * static_cast<double>(records) / rewrites,
                static_cast<long long>(ReportSize() - reportBefore));
    if (tray.Active())
        std::printf("pop-ups sent to the tray slot: %d\n", popups.load());
    else
        std::printf("pop-ups: the tray slot is held by another program, not counted\n");
    return repaired ? 0 : 1;
}
