#include "ScenarioSupport.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstring>

#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uPIDProcessing.h"

namespace scenario {

using namespace harness;

static void AddFolderDigests(const std::string& folder, TStringList& lines)
{
    TStringList names;
    ListFolderFiles(folder, names);
    for (const auto& name : names) {
        std::string ext = LowerCase(ExtractFileExt(name));
        if (ext == ".exe" || ext == ".dll" || ext == ".com") lines.push_back(GetFileMD5(IncludeTrailingBackslash(folder) + name));
    }
}

void PrepareGoodList()
{
    TStringList lines;
    AddFolderDigests(GetSystemFolder(), lines);
    AddFolderDigests(GetWindowsFolder(), lines);
    AddFolderDigests(ModuleFolder(), lines);  // the test programs themselves
    for (const char* helper : {"qv_waiter.exe"}) {
        // the waiting helper stands in for lockers: it must stay untrusted
        std::string digest = GetFileMD5(ModuleFolder() + helper);
        lines.erase(std::remove(lines.begin(), lines.end(), digest), lines.end());
    }
    ForceDirectories(GetDataFolder());
    SaveLines(GoodListPath(), lines);
}

void InstallAndStart()
{
    RemoveService();
    ResetMachineState();
    PrepareGoodList();
    // A folder without the tray program: these cases play the tray themselves.
    ASSERT_TRUE(InstallService(StageServiceCopy(GetEnvVar("TEMP") + "\\qvsvc_scenario", "ServiceQuorvane.exe")));
    ASSERT_TRUE(StartAndWaitRunning());
}

void SetSwitch(const std::string& name, bool on)
{
    TMSlotMessage m = Request(38, 0, name);
    m.Bool = on;
    ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
}

void SetInt(const std::string& name, int value)
{
    TMSlotMessage m = Request(47, value, name);
    ASSERT_TRUE(SendToMailSlot(m, kServiceSlot));
}

void Settle()
{
    TMSlotMessage m = Request(13, 20);
    ASSERT_TRUE(Ask(m));
}

std::vector<TReportEvent> Records()
{
    std::string bytes = ReadTextFile(ReportFilePath());
    std::vector<TReportEvent> events(bytes.size() / sizeof(TReportEvent));
    if (!events.empty()) std::memcpy(events.data(), bytes.data(), events.size() * sizeof(TReportEvent));
    return events;
}

int CountRecords(int32_t kind, int32_t message)
{
    int n = 0;
    for (const auto& e : Records())
        if (e.Source == kind && e.Event == message) ++n;
    return n;
}

bool WaitForRecord(int32_t kind, int32_t message, DWORD timeoutMs)
{
    return WaitUntil([&] { return CountRecords(kind, message) > 0; }, timeoutMs);
}

void ClearReport() { RemoveFile(ReportFilePath()); }

std::string PlaceLocker(const std::string& name)
{
    std::string folder = GetEnvVar("TEMP") + "\\lockers_" + std::to_string(GetTickCount());
    ForceDirectories(folder);
    std::string path = folder + "\\" + name;
    CopyFileA(HelperPath("qv_waiter.exe").c_str(), path.c_str(), FALSE);
    return path;
}

bool JailHolds(const std::string& fileName)
{
    TStringList names;
    ListFolderFiles(GetDataFolder() + "jail", names);
    for (const auto& name : names)
        if (EndsWith(LowerCase(name), LowerCase(fileName) + ".zlo")) return true;
    return false;
}

bool ProcessRunning(const std::string& fullPath)
{
    for (uint32_t pid : RunningProcessIds())
        if (SameText(GetProcessImagePath(pid), fullPath)) return true;
    return false;
}

TRegEngine Ref(uint8_t root, const std::string& key, const std::string& value)
{
    TRegEngine rec;
    rec.Root = root;
    rec.Key = key;
    rec.Value = value;
    return rec;
}

bool WaitForString(TRegEngine rec, const std::string& expected, DWORD timeoutMs)
{
    return WaitUntil([&] { return ReadRegString(rec) == expected; }, timeoutMs);
}

bool WaitForValueGone(TRegEngine rec, DWORD timeoutMs)
{
    return WaitUntil([&] { return !RegValueExists(rec); }, timeoutMs);
}

}  // namespace scenario
