// Load on the running service's command slot, from a client process:
//   flood: N junk datagrams, then one version request (13/20); how long the
//          request waits for its answer (median and worst of several runs);
//   clients: C client threads send R setting requests (Type 33) in all, each
//          waiting for its answer; how many were answered, and the rate.
// Usage: bench_service_load [junk=500] [requests=10000] [clients=8]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "uMailSlots.h"

namespace {

double Milliseconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Junk of every kind the slot may see: unknown codes, wrong sizes, requests
// whose reply slot does not exist.
bool SendJunk(int i)
{
    TMSlotMessage junk = MakeMessage(static_cast<uint8_t>(i % 3 == 0 ? 200 : (i % 3 == 1 ? 0 : 33)));
    junk.Mess.Set("show_tray_icon");
    junk.Mess1.Set("424242-" + std::to_string(i));  // a reply slot nobody made
    return SendToMailSlot(junk, kServiceSlot);
}

double FloodThenVersion(int junk, int& sent)
{
    sent = 0;
    for (int i = 0; i < junk; ++i) sent += SendJunk(i) ? 1 : 0;
    TMSlotMessage version = MakeMessage(13, 20);
    LARGE_INTEGER start = Now();
    if (!SendToMailSlotAndWait(kServiceSlot, version)) return -1;
    return Milliseconds(start, Now());
}

}  // namespace

int main(int argc, char** argv)
{
    const int junk = argc > 1 ? std::atoi(argv[1]) : 500;
    const int requests = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int clients = argc > 3 ? std::max(1, std::atoi(argv[3])) : 8;
    int failures = 0;

    std::vector<double> waits;
    for (int run = 0; run < 5; ++run) {
        int sent = 0;
        double ms = FloodThenVersion(junk, sent);
        if (ms < 0) {
            std::printf("flood run %d: %d junk datagrams, version request NOT answered\n", run, sent);
            ++failures;
            continue;
        }
        waits.push_back(ms);
        Sleep(200);  // let the slot drain before the next run
    }
    if (!waits.empty()) {
        std::sort(waits.begin(), waits.end());
        std::printf("after %d junk datagrams a version request was answered in: median %.1f ms, worst %.1f ms\n",
                    junk, waits[waits.size() / 2], waits.back());
    }

    std::atomic<int> answered{0}, lost{0}, next{0};
    LARGE_INTEGER start = Now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&] {
            while (next.fetch_add(1) < requests) {
                TMSlotMessage request = MakeMessage(33);
                request.Mess.Set("show_tray_icon");
                if (SendToMailSlotAndWait(kServiceSlot, request) && request.Type == 33) {
                    ++answered;
                } else {
                    ++lost;
                }
            }
        });
    }
    for (auto& t : threads) t.join();
    const double seconds = Milliseconds(start, Now()) / 1000.0;
    std::printf("%d requests from %d clients: %d answered, %d lost, %.1f s (%.0f requests/s)\n", requests, clients,
                answered.load(), lost.load(), seconds, answered.load() / seconds);
    return failures == 0 && lost.load() == 0 ? 0 : 1;
}
