// The splash as the tray program shows it at start: the service runs from a
// folder without the tray (so it starts none of its own), `splash` is on,
// and a tray started without a switch shows the rounded splash, which fades
// away while the tray stays.
#include <gtest/gtest.h>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "fmSplash.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"

namespace {

std::string Stage(const std::string& name, std::initializer_list<const char*> files)
{
    const std::string folder = GetEnvVar("TEMP") + "\\" + name;
    ForceDirectories(folder + "\\language");
    for (const char* file : files) CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
    for (const char* file : {"Russian.lng", "English.lng"}) {
        CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
        CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\language\\" + file).c_str(), FALSE);
    }
    return folder + "\\";
}

HWND SplashOf(DWORD processId)
{
    struct Search {
        DWORD Process;
        HWND Found;
    } search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            char name[32] = {};
            GetClassNameA(window, name, sizeof(name));
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->Process && std::string(name) == "TfmSplashForm" && IsWindowVisible(window)) {
                s->Found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

}  // namespace

TEST(SplashAtStart, ShownRoundedThenFadedAway)
{
    const std::string service = Stage("qv_splash_service", {"ServiceQuorvane.exe"}) + "ServiceQuorvane.exe";
    const std::string tray = Stage("qv_splash_tray", {"QuorvaneTray.exe"}) + "QuorvaneTray.exe";
    harness::RemoveService();
    ASSERT_TRUE(harness::InstallService(service));
    ASSERT_TRUE(harness::StartAndWaitRunning());
    ASSERT_TRUE(WriteBoolSetting("splash", true));

    ChildProcess process;
    ASSERT_TRUE(process.Start(tray));
    HWND splash = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (splash = SplashOf(process.Id())) != nullptr; }, 60000))
        << "no splash from the tray";
    RECT rect{};
    GetWindowRect(splash, &rect);
    EXPECT_EQ(rect.right - rect.left, kSplashWidth);
    EXPECT_EQ(rect.bottom - rect.top, kSplashHeight);
    EXPECT_EQ((rect.left + rect.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2) << "centred";
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetWindowRgn(splash, region), COMPLEXREGION) << "rounded corners";
    DeleteObject(region);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindow(splash); }, 60000)) << "the splash never went";
    EXPECT_TRUE(process.Running()) << "the tray goes on after its splash";
    process.Kill();
    harness::RemoveService();
}
