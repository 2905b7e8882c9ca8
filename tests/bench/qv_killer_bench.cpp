// Killer run time with untrusted programs running: seconds from the request
// (13/7 to the service slot) to the killer's end message (13/9 to the tray).
//   qv_killer_bench [processes=20] [runs=3]
// Each process runs its own program (distinct bytes), so every one is ended
// on its own and twin-searched. The prefix's programs are approved first.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "ProgramCopies.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "Trust.h"
#include "uServiceMessThread.h"

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 20;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
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
    for (int run = 0; run < runs; ++run) {
        std::vector<std::unique_ptr<ChildProcess>> children;
        for (int i = 0; i < count; ++i) {
            const std::string path = dir / ("untrusted" + std::to_string(run) + "_" + std::to_string(i) + ".exe");
            if (!CopyWaiter(path, std::to_string(run * 1000 + i))) return 1;
            children.push_back(std::make_unique<ChildProcess>());
            if (!StartAndSettle(*children.back(), path)) return 1;
        }
        ClearEventQueue();
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        SendToMailSlot(MakeRequest(13, 7), kServiceSlot);
        TMSlotMessage message;
        bool ended = false;
        while (tray.Next(message, 120000)) {
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
        if (!ended || stillRunning) ++failures;
        tray.Drain(200);
    }
    StopAndFree(gServiceMessThread);
    return failures ? 1 : 0;
}
