// Killer run time with untrusted programs running: seconds from the request
// (13/7 to the service slot) to the killer's end message (13/9 to the tray).
//   qv_killer_bench [processes=20,100,200] [runs=3]
// Each process runs its own program (distinct bytes), so every one is ended
// on its own and twin-searched. The prefix's programs are approved first.
// Each count ends with its median and the time per program: a run that does
// one pass grows linearly with the count.
#include <windows.h>

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <memory>
#include <vector>

#include "ProgramCopies.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "Trust.h"
#include "uServiceMessThread.h"

namespace {

std::vector<int> Counts(const char* text)
{
    std::vector<int> counts;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');)
        if (std::atoi(item.c_str()) > 0) counts.push_back(std::atoi(item.c_str()));
    return counts;
}

// One run with `count` untrusted programs; seconds, or a negative value on failure.
double KillerRun(SlotListener& tray, ScratchDir& dir, int count, int run)
{
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (int i = 0; i < count; ++i) {
        const std::string path =
            dir / ("untrusted" + std::to_string(count) + "_" + std::to_string(run) + "_" + std::to_string(i) + ".exe");
        if (!CopyWaiter(path, std::to_string(count * 100000 + run * 1000 + i))) return -1;
        children.push_back(std::make_unique<ChildProcess>());
        if (!StartAndSettle(*children.back(), path)) return -1;
    }
    ClearEventQueue();
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SendToMailSlot(MakeRequest(13, 7), kServiceSlot);
    TMSlotMessage message;
    bool ended = false;
    while (tray.Next(message, 600000)) {
        if (message.Type == 13 && message.A == 9) {
            ended = true;
            break;
        }
    }
    QueryPerformanceCounter(&end);
    int stillRunning = 0;
    for (auto& child : children)
        if (!Ended(*child, 2000)) ++stillRunning;
    const double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
    std::printf("run %d: %d processes, %zu events, %d left running, %s in %.2f s\n", run + 1, count,
                QueuedEventCount(), stillRunning, ended ? "13/9" : "no 13/9", seconds);
    tray.Drain(200);
    return ended && !stillRunning ? seconds : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<int> counts = Counts(argc > 1 ? argv[1] : "20,100,200");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    if (counts.empty() || runs < 1) {
        std::printf("usage: qv_killer_bench [processes=20,100,200] [runs=3]\n");
        return 2;
    }
    if (!WriteGoodList()) {
        std::printf("cannot write %s\n", GoodListPath().c_str());
        return 1;
    }
    gServiceMessThread = std::make_unique<TServiceMessThread>();
    if (!WaitUntil([] { return gServiceMessThread->SlotCreated(); }, 3000)) {
        std::printf("the service slot could not be created\n");
        return 1;
    }
    SlotListener tray(kTraySlot);
    ScratchDir dir;
    int failures = 0;
    for (int count : counts) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            const double seconds = KillerRun(tray, dir, count, run);
            if (seconds < 0) {
                ++failures;
                continue;
            }
            times.push_back(seconds);
        }
        if (times.empty()) continue;
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        std::printf("%d processes: median %.2f s, %.1f ms per program\n", count, median, 1000.0 * median / count);
    }
    StopAndFree(gServiceMessThread);
    return failures ? 1 : 0;
}
