// Drives the "Quorvane" service of a prefix for the project's scripts:
//   qv_svcctl state | start | stop | wait <state> <seconds> | set <switch> <0|1>
// Prints the state reached; exit code 0 on success.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "uMailSlots.h"
#include "uServiceManage.h"

int main(int argc, char** argv)
{
    const char* name = "Quorvane";
    std::string verb = argc > 1 ? argv[1] : "state";
    try {
        if (verb == "set" && argc > 3) {  // a yes/no setting, through the service's own command
            TMSlotMessage message;
            ClearMailSlotMessage(message);
            message.Type = 38;
            message.Mess.Set(argv[2]);
            message.Bool = std::atoi(argv[3]) != 0;
            return SendToMailSlot(message, kServiceSlot) ? 0 : 1;
        }
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
