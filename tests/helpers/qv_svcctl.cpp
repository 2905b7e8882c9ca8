// Drives the "Quorvane" service of a prefix for the project's scripts:
//   qv_svcctl state | start | stop | wait <state> <seconds>
// Prints the state reached; exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "uServiceManage.h"

int main(int argc, char** argv)
{
    const char* name = "Quorvane";
    std::string verb = argc > 1 ? argv[1] : "state";
    try {
        if (verb == "start") StartServiceByName(name);
        else if (verb == "stop") StopServiceByName(name);
        else if (verb == "wait" && argc > 3) {
            int target = std::atoi(argv[2]);
            DWORD deadline = GetTickCount() + static_cast<DWORD>(std::atoi(argv[3])) * 1000;
            while (GetServiceState(name) != target && GetTickCount() < deadline) Sleep(100);
            int state = GetServiceState(name);
            std::printf("%d\n", state);
            return state == target ? 0 : 1;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::printf("%d\n", GetServiceState(name));
    return 0;
}
