#pragma once
// Installs the built service program in the test prefix's service manager,
// starts and stops it, and talks to it through its mailslot as the tray would.
#include <windows.h>

#include <string>
#include <vector>

#include "SlotListener.h"
#include "uMailSlots.h"

namespace harness {

std::string BuiltServiceExe();  // the ServiceQuorvane.exe beside the tests
// Copies the built program (and, when given, extra files) into a fresh folder
// under the prefix's temp folder; returns the full path of the copy.
std::string StageServiceCopy(const std::string& folder, const std::string& exeName);

bool RunAndWait(const std::string& exe, const std::string& args, DWORD timeoutMs = 30000);
bool InstallService(const std::string& exePath);  // "<exe> /install /silent", then waits until it exists
void RemoveService();                             // stops it when running, uninstalls, waits until gone
bool StartAndWaitRunning(DWORD timeoutMs = 20000);  // also waits until the service slot answers
bool StopAndWaitStopped(DWORD timeoutMs = 20000);
int State();

// Deletes the data folder and the settings key: a machine that never ran the service.
void ResetMachineState();
std::string DataFolder();

inline TMSlotMessage Request(uint8_t type, int32_t a = 0, const std::string& mess = {}, const std::string& data = {})
{
    return MakeRequest(type, a, mess, data);
}
// Request with reply through a temporary slot; false when no reply came.
bool Ask(TMSlotMessage& message);

using Listener = SlotListener;

// Sends a request whose reply must never come, then a request that must be
// answered, both to reply slot `slot`: true when the first reply read is the
// second request's (the service answered nothing for the first).
bool NoReplyBefore(const TMSlotMessage& silent, Listener& slot);

}  // namespace harness
