// Hosts filter (mode 2) time on big hosts files: CPU and wall seconds of one
// FilterHostsFile pass over a file of N lines, each mapping its own host, with
// an allow-list that keeps every other one.
//   qv_hosts_filter_bench [lines...]   (default: 16000 100000)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uHostsProcedures.h"

namespace {

double CpuSeconds()
{
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return (static_cast<double>(t.dwHighDateTime) * 4294967296.0 + t.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

std::string HostName(int i) { return "host" + std::to_string(i) + ".example.com"; }

}  // namespace

int main(int argc, char** argv)
{
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {16000, 100000};
    ForceDirectories(GetDataFolder() + "jail");
    const std::string savedList = ReadTextFile(HostListPath());
    const bool hadList = FileExists(HostListPath());
    ScratchDir dir;
    const std::string hosts = dir / "hosts";
    int failures = 0;
    for (int lines : sizes) {
        std::string text, allowed = "localhost@127.0.0.1\r\n";
        text.reserve(static_cast<size_t>(lines) * 40);
        for (int i = 0; i < lines; ++i) {
            const std::string address = "10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                                        std::to_string(i % 256);
            text += address + "\t" + HostName(i) + "\r\n";
            if (i % 2 == 0) allowed += HostName(i) + "@" + address + "\r\n";
        }
        WriteTextFile(hosts, text);
        WriteTextFile(HostListPath(), allowed);

        TReportEvent event;
        InitReportEvent(event);
        const double cpuStart = CpuSeconds();
        const DWORD wallStart = GetTickCount();
        const bool changed = FilterHostsFile(hosts, event);
        const double cpu = CpuSeconds() - cpuStart;
        const double wall = (GetTickCount() - wallStart) / 1000.0;

        TStringList result;
        LoadLines(hosts, result);
        int commented = 0;
        for (const auto& line : result)
            if (!line.empty() && line[0] == '#') ++commented;
        const bool right = changed && commented == lines / 2;
        if (!right) ++failures;
        std::printf("%d lines: %.3f s CPU, %.3f s wall, %d lines commented out%s\n", lines, cpu, wall, commented,
                    right ? "" : " (WRONG)");
        RemoveFile(event.Path.Str());
    }
    if (hadList)
        WriteTextFile(HostListPath(), savedList);
    else
        RemoveFile(HostListPath());
    return failures == 0 ? 0 : 1;
}
