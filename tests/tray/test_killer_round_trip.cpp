// The killer end to end with the real programs: the service and the tray. The
// confirmation is opened from the tray's menu command and answered with its
// no label; the service ends the two untrusted programs and tells the tray,
// which shows its notices and restarts Explorer. The prefix's own programs
// are approved in "goodlist.arn" first: without that list the killer would
// end Wine itself and this test.
//
// The tray runs outside Wine's virtual desktop: there the desktop's window
// belongs to its explorer.exe, and ending Explorer (which the tray does after
// the killer, as on Windows) takes every window of that desktop down with it.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <tlhelp32.h>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "md5.h"
#include "uReportEvent.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMailSlots.h"
#include "uTrayWindow.h"

namespace {

// The service's folder, as installed but for the tray program, which this
// test adds once the service runs: the killer spares only the tray in the
// service's folder, and a service that found no tray program at its start
// starts none of its own (it adopts the one this test starts).
std::string StageFolder()
{
    static std::string folder;
    if (folder.empty()) {
        folder = GetEnvVar("TEMP") + "\\qvkiller_stage";
        ForceDirectories(folder);
        for (const char* file : {"ServiceQuorvane.exe", "Russian.lng", "English.lng"})
            CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE);
    }
    DeleteFileA((folder + "\\QuorvaneTray.exe").c_str());
    return folder;
}

// Every program of the Windows and system folders, and this test program.
bool WriteGoodList()
{
    std::string lines;
    for (const std::string& folder : {GetSystemFolder(), GetWindowsFolder()}) {
        WIN32_FIND_DATAA data{};
        HANDLE find = FindFirstFileA((folder + "*.exe").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const std::string digest = GetFileMD5(folder + data.cFileName);
            if (!digest.empty()) lines += digest + "\r\n";
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    lines += GetFileMD5(ModuleFileName()) + "\r\n";
    ForceDirectories(GetDataFolder());
    return WriteFileBytes(GetDataFolder() + "goodlist.arn", lines);
}

int CountProcesses(const std::string& name)
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry))
        if (SameText(entry.szExeFile, name)) ++count;
    return count;
}

struct SeenPopup {
    HWND Window;
    std::string Title;
    RECT Rect;
    DWORD At;
};

// Watches the tray's pop-ups from a thread of its own.
class PopupWatcher {
public:
    PopupWatcher()
        : thread_([this] { Run(); })
    {
    }
    ~PopupWatcher()
    {
        stop_ = true;
        thread_.join();
    }
    std::vector<SeenPopup> Seen()
    {
        std::lock_guard<std::mutex> guard(lock_);
        return seen_;
    }
    // The first pop-up seen whose text holds `text`.
    bool Find(const std::string& text, SeenPopup& found)
    {
        for (const SeenPopup& p : Seen())
            if (p.Title.find(text) != std::string::npos) {
                found = p;
                return true;
            }
        return false;
    }

private:
    void Run()
    {
        while (!stop_.load()) {
            EnumWindows(&PopupWatcher::Look, reinterpret_cast<LPARAM>(this));
            Sleep(30);
        }
    }
    static BOOL CALLBACK Look(HWND window, LPARAM self)
    {
        char name[32] = {};
        GetClassNameA(window, name, sizeof(name));
        if (std::string(name) != "TfmMessage" || !IsWindowVisible(window)) return TRUE;
        char title[512] = {};
        GetWindowTextA(window, title, sizeof(title));
        auto* watcher = reinterpret_cast<PopupWatcher*>(self);
        std::lock_guard<std::mutex> guard(watcher->lock_);
        for (const SeenPopup& p : watcher->seen_)
            if (p.Window == window && p.Title == title) return TRUE;
        SeenPopup popup{window, title, {}, GetTickCount()};
        GetWindowRect(window, &popup.Rect);
        watcher->seen_.push_back(popup);
        return TRUE;
    }

    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<SeenPopup> seen_;
    std::thread thread_;
};

class KillerRoundTrip : public ::testing::Test {
protected:
    static void TearDownTestSuite() { harness::RemoveService(); }
};

TEST_F(KillerRoundTrip, ConfirmationNoKillsTheUntrustedProgramsAndTheTrayReports)
{
    SetCurrentLanguage("Russian.lng");
    harness::RemoveService();
    harness::ResetMachineState();
    const std::string folder = StageFolder();
    ASSERT_TRUE(harness::InstallService(folder + "\\ServiceQuorvane.exe"));
    ASSERT_TRUE(harness::StartAndWaitRunning());
    ASSERT_TRUE(CopyFileA((ModuleFolder() + "QuorvaneTray.exe").c_str(), (folder + "\\QuorvaneTray.exe").c_str(), FALSE));
    ASSERT_TRUE(WriteGoodList());
    ASSERT_TRUE(WriteBoolSetting("show_tray_warn", true));

    // two untrusted programs: copies of the waiting helper, each a file of its own
    ScratchDir dir;
    std::string waiter;
    ASSERT_TRUE(ReadFileBytes(HelperPath("qv_waiter.exe"), waiter));
    ASSERT_TRUE(WriteFileBytes(dir / "locker_one.exe", waiter + "one"));
    ASSERT_TRUE(WriteFileBytes(dir / "locker_two.exe", waiter + "two"));
    ChildProcess one, two;
    ASSERT_TRUE(one.Start(dir / "locker_one.exe"));
    ASSERT_TRUE(two.Start(dir / "locker_two.exe"));

    ChildProcess trayProcess;
    ASSERT_TRUE(trayProcess.Start(folder + "\\QuorvaneTray.exe"));
    // The Explorer the tray starts holds the output of this test open: it goes at the end.
    struct EndExplorer {
        ~EndExplorer() { KillProcessesByName("explorer.exe"); }
    } endExplorer;
    PopupWatcher watcher;
    HWND tray = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (tray = FindWindowA("Quorvane", "Quorvane")) != nullptr; }, 30000))
        << "the tray did not start";
    Sleep(1500);  // the tray reads its settings and texts

    // the tray menu's "kill untrusted processes"
    PostMessageA(tray, WM_COMMAND, cmdKiller, 0);
    SeenPopup confirmation;
    ASSERT_TRUE(WaitUntil([&] { return watcher.Find(GetLangText(kLangGui, "mes_kil5"), confirmation); }, 10000));
    EXPECT_EQ(confirmation.Rect.right - confirmation.Rect.left, 401);
    EXPECT_EQ(confirmation.Rect.bottom - confirmation.Rect.top, 139);
    EXPECT_TRUE(one.Running());

    // its no label (left 204 on the bottom line)
    PostMessageA(confirmation.Window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(212, 118));
    PostMessageA(confirmation.Window, WM_LBUTTONUP, 0, MAKELPARAM(212, 118));
    const DWORD answered = GetTickCount();
    SeenPopup running, ended, notice;
    EXPECT_TRUE(WaitUntil([&] { return watcher.Find(GetLangText(kLangGui, "mes_kilrrun"), running); }, 5000))
        << "the tray marked the killer running";
    EXPECT_TRUE(WaitUntil([&] { return !one.Running() && !two.Running(); }, 20000)) << "both untrusted programs ended";
    EXPECT_TRUE(WaitUntil([&] { return watcher.Find(GetLangText(kLangGui, "mes_kilend"), ended); }, 20000))
        << "13/9: the killer's end";
    EXPECT_TRUE(WaitUntil([&] { return watcher.Find(GetLangText(kLangGui, "mes_parend"), notice); }, 30000))
        << "13/10: Explorer restarted, then the notice";
    std::printf("after the answer: running %lu ms, ended %lu ms, notice %lu ms\n",
                static_cast<unsigned long>(running.At - answered), static_cast<unsigned long>(ended.At - answered),
                static_cast<unsigned long>(notice.At - answered));
    const int explorers = CountProcesses("explorer.exe");
    EXPECT_GE(explorers, 1) << "an Explorer runs again";
    std::printf("%d Explorer processes after the restart\n", explorers);

    // the service's report holds the two ended programs, and nothing else was ended
    std::string report;
    ReadFileBytes(GetDataFolder() + "report.rdb", report);
    std::vector<std::string> killed;
    for (size_t at = 0; at + sizeof(TReportEvent) <= report.size(); at += sizeof(TReportEvent)) {
        TReportEvent event;
        std::memcpy(&event, report.data() + at, sizeof(event));
        if (event.Source == 108 && event.Event == 914) killed.push_back(LowerCase(event.Path.Str()));
    }
    ASSERT_EQ(killed.size(), 2u);
    std::sort(killed.begin(), killed.end());
    for (const std::string& path : killed) std::printf("ended: %s\n", path.c_str());
    EXPECT_TRUE(EndsWith(killed[0], "locker_one.exe") || EndsWith(killed[0], "locker~1.exe")) << killed[0];


    EXPECT_TRUE(trayProcess.Running()) << "the tray lives on";
    TMSlotMessage quit = MakeRequest(13, 1);
    SendToMailSlot(quit, kTraySlot);
    EXPECT_EQ(trayProcess.Wait(10000), 0u);
}

}  // namespace
