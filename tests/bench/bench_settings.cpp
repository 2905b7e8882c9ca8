// Round trip of a setting read (Type 33) from a client process to the running
// service: 1000 requests, median and 99th percentile in milliseconds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "uMailSlots.h"

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> ms;
    int failed = 0;
    for (int i = 0; i < count; ++i) {
        TMSlotMessage message;
        ClearMailSlotMessage(message);
        message.Type = 33;
        message.Mess.Set("show_tray_icon");
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        bool ok = SendToMailSlotAndWait(kServiceSlot, message);
        QueryPerformanceCounter(&end);
        if (!ok) {
            ++failed;
            continue;
        }
        ms.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart));
    }
    if (ms.empty()) {
        std::printf("no request was answered (%d failed)\n", failed);
        return 1;
    }
    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) { return ms[std::min(ms.size() - 1, static_cast<size_t>(q * static_cast<double>(ms.size())))]; };
    std::printf("setting round trips: %zu answered, %d failed\n", ms.size(), failed);
    std::printf("median %.2f ms, p99 %.2f ms, min %.2f ms, max %.2f ms\n", at(0.5), at(0.99), ms.front(), ms.back());
    return failed ? 1 : 0;
}
