#pragma once
// Programs for the process tests: copies of the waiting helper under other
// names and folders (extra bytes make a copy that is no twin), and the
// approval list that makes the prefix's own programs trusted.
#include <windows.h>

#include <string>

#include "TestSupport.h"
#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvStrings.h"
#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uPIDProcessing.h"

// Writes the waiting helper, followed by the extra bytes, to target.
inline bool CopyWaiter(const std::string& target, const std::string& extra = {})
{
    std::string bytes;
    return ReadFileBytes(HelperPath("qv_waiter.exe"), bytes) && WriteFileBytes(target, bytes + extra);
}

inline std::string LongName(const std::string& path)
{
    char buffer[MAX_PATH + 1] = {};
    DWORD len = GetLongPathNameA(path.c_str(), buffer, MAX_PATH);
    return len == 0 || len > MAX_PATH ? path : std::string(buffer, len);
}

inline bool SameFile(const std::string& a, const std::string& b) { return SameText(LongName(a), LongName(b)); }

// Wine's programs carry no signatures: the MD5 of every program in the
// Windows and system folders goes into "goodlist.arn", as Windows' signed
// programs would be trusted. The killer never runs without it.
inline std::string SystemProgramsGoodList()
{
    static const std::string text = [] {
        std::string lines;
        for (const std::string& folder : {GetSystemFolder(), GetWindowsFolder()}) {
            WIN32_FIND_DATAA data{};
            HANDLE find = FindFirstFileA((folder + "*.exe").c_str(), &data);
            if (find == INVALID_HANDLE_VALUE) continue;
            do {
                std::string digest = GetFileMD5(folder + data.cFileName);
                if (!digest.empty()) lines += digest + "\r\n";
            } while (FindNextFileA(find, &data));
            FindClose(find);
        }
        return lines;
    }();
    return text;
}

inline bool WriteGoodList(const std::string& extraLines = {})
{
    ForceDirectories(GetDataFolder());
    return WriteFileBytes(GoodListPath(), SystemProgramsGoodList() + extraLines);
}

// Starts the program and waits until its image path can be read (the killer
// and the finders see a process only from then on).
inline bool StartAndSettle(ChildProcess& child, const std::string& path, const std::string& args = {})
{
    if (!child.Start(path, args)) return false;
    return WaitUntil([&] { return !GetProcessImagePath(child.Id()).empty(); }, 10000);
}

inline bool Ended(ChildProcess& child, DWORD timeoutMs = 5000)
{
    return WaitUntil([&] { return !child.Running(); }, timeoutMs);
}

// A program started by its name in any script (ChildProcess starts ANSI paths).
class WideChild {
public:
    ~WideChild()
    {
        if (info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 1);
        UniqueProcessInformation owner;
        *owner.Put() = info_;
    }
    bool Start(const std::wstring& path)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring line = L"\"" + path + L"\"";
        if (!CreateProcessW(path.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info_))
            return false;
        return WaitUntil([&] { return !GetProcessImagePathW(info_.dwProcessId).empty(); }, 10000);
    }
    bool Ended() const { return WaitForSingleObject(info_.hProcess, 5000) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION info_{};
};

inline bool CopyWaiterW(const std::wstring& target, const std::string& extra)
{
    ScratchDir staging;
    return CopyWaiter(staging / "w.exe", extra) && MoveFileW(AnsiToWide(staging / "w.exe").c_str(), target.c_str());
}
