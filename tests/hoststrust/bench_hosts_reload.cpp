// Times the hosts manager's reload of a large hosts copy: N pairs, M of them
// in the allow-list, with the window open as the user sees it. Prints the
// median and the slowest of R reloads. Run by scripts/bench/bench-hosts.sh.
// Usage: bench_hosts_reload.exe [pairs] [allowed] [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "fmHostsManager.h"
#include "qvApplication.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to, LARGE_INTEGER frequency)
{
    return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace

int main(int argc, char** argv)
{
    const int pairs = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int allowed = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
    if (pairs <= 0 || allowed < 0 || allowed > pairs || runs <= 0) return 2;

    // Four hosts per line, as block lists often have them.
    TStringList hosts = StockHostsLines(6);
    TStringList allowList;
    for (int i = 0; i < pairs; i += 4) {
        std::string line = "0.0.0.0";
        for (int j = i; j < std::min(pairs, i + 4); ++j) {
            const std::string host = "host" + std::to_string(j) + ".example";
            line += " " + host;
            if (j % (pairs / std::max(allowed, 1)) == 0 && static_cast<int>(allowList.size()) < allowed)
                allowList.push_back(host + "@0.0.0.0");
        }
        hosts.push_back(line);
    }
    ForceDirectories(GetDataFolder());
    if (!SaveLines(HostListFilePath(), allowList)) return 1;
    const std::string copy = MakeTempFileName();
    if (!SaveLines(copy, hosts)) return 1;

    SetCurrentLanguage("English.lng");
    if (!gui::InitApplication(GetModuleHandleA(nullptr))) return 1;
    RegisterHostsManagerForm();
    TrayApp().HostsCopy.Expect(copy);
    auto* window = dynamic_cast<TfmHostsManager*>(gui::CreateForm(kHostsManagerForm));
    if (!window) return 1;
    window->Tag = 777;
    window->Show();  // the first reload
    gui::ProcessMessages();

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QueryPerformanceCounter(&start);
        window->ReloadHostsView();
        gui::ProcessMessages();  // the list view paints its visible rows
        QueryPerformanceCounter(&end);
        times.push_back(Seconds(start, end, frequency));
    }
    size_t coloured = 0;
    for (const THostsRow& row : window->RedirectList()) coloured += row.Allowed ? 1 : 0;
    std::sort(times.begin(), times.end());
    std::printf("hosts reload: %zu rows, %zu allowed, %d runs: median %.3f s, slowest %.3f s\n",
                window->RedirectList().size(), coloured, runs, times[times.size() / 2], times.back());
    window->Close();
    gui::ProcessMessages();
    gui::FreeAllForms();
    RemoveFile(copy);
    // The stock lines add their own localhost pairs.
    return window->RedirectList().size() >= static_cast<size_t>(pairs) && coloured == allowList.size() ? 0 : 1;
}
