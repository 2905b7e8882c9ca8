#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>
#include <shellapi.h>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uMailSlots.h"
#include "uPIDProcessing.h"

using namespace harness;

namespace {

// Both programs and their language files in a folder, as installed.
std::string InstallFolder()
{
    static std::string folder;
    if (folder.empty()) {
        folder = GetEnvVar("TEMP") + "\\qv_lifecycle";
        ForceDirectories(folder + "\\language");
        for (const char* file : {"ServiceQuorvane.exe", "QuorvaneTray.exe", "Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
        for (const char* file : {"Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\language\\" + file).c_str(), FALSE);
    }
    return folder;
}

uint32_t AskTrayProcessId()
{
    TMSlotMessage ask = Request(13, 18);
    if (!SendToMailSlotAndWait(kTraySlot, ask)) return 0;
    return static_cast<uint32_t>(ask.B);
}

struct ProcessInfo {
    uint32_t Pid;
    uint32_t Parent;
    std::string Name;
};

std::vector<ProcessInfo> Processes()
{
    std::vector<ProcessInfo> all;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    if (snapshot && Process32First(snapshot.Get(), &entry)) {
        do {
            all.push_back({entry.th32ProcessID, entry.th32ParentProcessID, entry.szExeFile});
        } while (Process32Next(snapshot.Get(), &entry));
    }
    return all;
}

int TrayProcessCount()
{
    int n = 0;
    for (const auto& p : Processes())
        if (SameText(ExtractFileName(p.Name), "QuorvaneTray.exe")) ++n;
    return n;
}

bool PingState()
{
    TMSlotMessage m = Request(13, 19);
    EXPECT_TRUE(Ask(m));
    return m.Bool;
}

uint32_t WaitForTray(DWORD timeoutMs = 40000, uint32_t other = 0)
{
    uint32_t pid = 0;
    WaitUntil([&] { return (pid = AskTrayProcessId()) != 0 && pid != other; }, timeoutMs);
    return pid != other ? pid : 0;
}

// The tray has gone through its whole start-up: its icon is in the
// notification area (the last step before its message loop).
bool TrayFullyUp(DWORD timeoutMs = 30000)
{
    return WaitUntil(
        [] {
            HWND window = FindWindowA("Quorvane", "Quorvane");
            if (!window) return false;
            NOTIFYICONDATAA icon{};
            icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
            icon.hWnd = window;
            icon.uFlags = NIF_TIP;
            lstrcpynA(icon.szTip, "Quorvane", sizeof(icon.szTip));
            return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
        },
        timeoutMs);
}

class TrayLifecycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        RemoveService();
        ResetMachineState();
        ASSERT_TRUE(InstallService(InstallFolder() + "\\ServiceQuorvane.exe"));
    }
    void TearDown() override { RemoveService(); }
};

TEST_F(TrayLifecycle, StartsKeepsAndEndsTheTray)
{
    ASSERT_TRUE(StartAndWaitRunning());
    const uint32_t first = WaitForTray();
    ASSERT_NE(first, 0u) << "the service starts the tray in the user's session";
    EXPECT_TRUE(TrayFullyUp());
    EXPECT_TRUE(SameText(GetProcessImagePath(first), InstallFolder() + "\\QuorvaneTray.exe"));
    // started by the service, the tray started a fresh copy of itself
    for (const auto& p : Processes())
        if (p.Pid == first)
            for (const auto& parent : Processes())
                if (parent.Pid == p.Parent) EXPECT_FALSE(SameText(parent.Name, "ServiceQuorvane.exe"));
    Sleep(3000);  // a few pings
    EXPECT_TRUE(PingState()) << "no ping has failed";
    EXPECT_EQ(TrayProcessCount(), 1);

    // A tray killed from outside is started again within a few passes.
    {
        UniqueHandle tray(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, first));
        ASSERT_TRUE(tray.Valid());
        TerminateProcess(tray.Get(), 1);
        WaitForSingleObject(tray.Get(), 5000);
    }
    const uint32_t second = WaitForTray(40000, first);
    EXPECT_NE(second, 0u);
    EXPECT_FALSE(PingState()) << "a ping failed once";

    // Command 32 brings the tray back as a new process.
    ASSERT_TRUE(SendToMailSlot(Request(32), kServiceSlot));
    EXPECT_TRUE(WaitUntil([&] { return !ProcessIdExists(second); }, 45000)) << "the old tray was told to quit";
    const uint32_t third = WaitForTray(40000, second);
    EXPECT_NE(third, 0u);
    EXPECT_TRUE(TrayFullyUp());

    // The service's stop ends the tray.
    ASSERT_TRUE(StopAndWaitStopped(40000));
    EXPECT_TRUE(WaitUntil([] { return TrayProcessCount() == 0; }, 30000)) << [] {
        std::string list;
        for (const auto& p : Processes()) list += std::to_string(p.Pid) + "<-" + std::to_string(p.Parent) + " " + p.Name + "\n";
        return list;
    }() << " third=" << third;
}

TEST_F(TrayLifecycle, TrayStartedBeforeTheServiceIsAdopted)
{
    // "/adminstart" by an administrator starts the service and goes on.
    ChildProcess tray;
    ASSERT_TRUE(tray.Start(InstallFolder() + "\\QuorvaneTray.exe", "/adminstart"));
    ASSERT_TRUE(WaitUntil([] { return State() == SERVICE_RUNNING; }, 20000));
    EXPECT_TRUE(WaitUntil([&] { return AskTrayProcessId() == tray.Id(); }, 20000));
    Sleep(6000);  // several passes of the service
    EXPECT_TRUE(tray.Running());
    EXPECT_EQ(TrayProcessCount(), 1) << "adopted, not duplicated";
    EXPECT_EQ(AskTrayProcessId(), tray.Id());
    ASSERT_TRUE(StopAndWaitStopped(40000));
    EXPECT_EQ(tray.Wait(15000), 0u) << "the tray was told to quit";
}

}  // namespace
