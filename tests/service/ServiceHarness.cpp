#include "ServiceHarness.h"

#include <cstdio>

#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uServiceManage.h"

namespace harness {

std::string BuiltServiceExe() { return ModuleFolder() + "ServiceQuorvane.exe"; }

std::string StageServiceCopy(const std::string& folder, const std::string& exeName)
{
    ForceDirectories(folder);
    std::string target = IncludeTrailingBackslash(folder) + exeName;
    if (!CopyFileA(BuiltServiceExe().c_str(), target.c_str(), FALSE))
        std::fprintf(stderr, "staging %s failed: error %lu\n", target.c_str(), GetLastError());
    return target;
}

bool RunAndWait(const std::string& exe, const std::string& args, DWORD timeoutMs)
{
    ChildProcess child;
    if (!child.Start(exe, args)) return false;
    child.Wait(timeoutMs);
    return !child.Running();
}

bool InstallService(const std::string& exePath)
{
    // A prefix that many test programs start at once can refuse a process
    // start for a moment; the installer itself is what the tests rely on, so
    // it gets a second chance and a failure says what went wrong.
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ChildProcess child;
        if (!child.Start(exePath, "/install /silent")) {
            std::fprintf(stderr, "install attempt %d: %s did not start: error %lu\n", attempt, exePath.c_str(),
                         GetLastError());
            continue;
        }
        DWORD code = child.Wait(30000);
        if (child.Running()) {
            std::fprintf(stderr, "install attempt %d: installer still running after 30 s\n", attempt);
            return false;
        }
        bool installed = code == 0 || GetServiceState("Quorvane") != 0;
        if (installed && WaitUntil([] { return GetServiceState("Quorvane") == SERVICE_STOPPED; }, 15000))
            return true;
        std::fprintf(stderr, "install attempt %d: exit code %lu, service state %d\n", attempt, code,
                     GetServiceState("Quorvane"));
        if (installed) return false;
    }
    return false;
}

void RemoveService()
{
    if (GetServiceState("Quorvane") == 0) return;
    StopAndWaitStopped();
    RunAndWait(BuiltServiceExe(), "/uninstall /silent");
    WaitUntil([] { return GetServiceState("Quorvane") == 0; }, 15000);
}

int State() { return GetServiceState("Quorvane"); }

bool StartAndWaitRunning(DWORD timeoutMs)
{
    try {
        StartServiceByName("Quorvane");
    } catch (const std::exception&) {
        return false;
    }
    if (!WaitUntil([] { return State() == SERVICE_RUNNING; }, timeoutMs)) return false;
    return WaitUntil(
        [] {
            HANDLE h = CreateFileA((std::string(kMailslotPrefix) + kServiceSlot).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (h == INVALID_HANDLE_VALUE) return false;
            CloseHandle(h);
            return true;
        },
        timeoutMs);
}

bool StopAndWaitStopped(DWORD timeoutMs)
{
    if (State() == SERVICE_RUNNING) {
        try {
            StopServiceByName("Quorvane");
        } catch (const std::exception&) {
        }
    }
    return WaitUntil([] { return State() == SERVICE_STOPPED || State() == 0; }, timeoutMs);
}

std::string DataFolder() { return GetDataFolder(); }

void ResetMachineState()
{
    RemoveTree(ExcludeTrailingBackslash(GetDataFolder()));
    TRegEngine rec = SettingRef("");
    DeleteRegKey(rec);
}

bool Ask(TMSlotMessage& message) { return SendToMailSlotAndWait(kServiceSlot, message); }

bool NoReplyBefore(const TMSlotMessage& silent, Listener& slot)
{
    TMSlotMessage first = silent;
    if (first.Mess1.Empty()) first.Mess1.Set(slot.Name());
    if (!SendToMailSlot(first, kServiceSlot)) return false;
    TMSlotMessage sentinel = Request(20, 0);
    sentinel.Type = 13;
    sentinel.A = 20;
    sentinel.Mess1.Set(slot.Name());
    sentinel.C = 4242;
    if (!SendToMailSlot(sentinel, kServiceSlot)) return false;
    TMSlotMessage reply;
    if (!slot.Next(reply, 5000)) return false;
    return reply.Type == 13 && reply.A == 20 && reply.C == 4242;
}

}  // namespace harness
