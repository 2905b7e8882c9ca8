#include "uPIDProcessing.h"

#include <windows.h>
#include <psapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "qvFiles.h"
#include "qvHandles.h"
#include "qvLateApi.h"
#include "qvStrings.h"
#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uLogThread.h"

namespace {

constexpr const char* kTrayFileName = "QuorvaneTray.exe";

// Ending one of these takes Windows down with it.
constexpr const char* kCriticalNames[] = {"smss.exe",    "csrss.exe",    "wininit.exe", "winlogon.exe",
                                          "services.exe", "lsass.exe"};

bool IsCriticalName(const std::string& name)
{
    return std::any_of(std::begin(kCriticalNames), std::end(kCriticalNames),
                       [&](const char* critical) { return SameText(name, critical); });
}

thread_local TEndedProcessLog* tEndedLog = nullptr;
thread_local TProcessOwnerScope* tOwnerScope = nullptr;

std::string OwnerFromToken(uint32_t pid)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    if (!process) return {};
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process.Get(), TOKEN_QUERY, &raw)) return {};
    UniqueHandle token(raw);
    return TokenUserSid(token.Get());
}

ProcessOwnerLookup gOwnerLookup = nullptr;

struct SnapshotEntry {
    uint32_t Pid;
    std::wstring ExeFile;
};

std::vector<SnapshotEntry> TakeSnapshot()
{
    std::vector<SnapshotEntry> entries;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        entries.push_back({entry.th32ProcessID, entry.szExeFile});
    return entries;
}

std::string SnapshotName(uint32_t pid)
{
    for (const SnapshotEntry& entry : TakeSnapshot())
        if (entry.Pid == pid) return WideToAnsi(entry.ExeFile);
    return {};
}

std::wstring FileNamePartW(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// Compared wide: two names the code page spells alike ("??.exe") may be two files.
bool SamePathW(const std::wstring& a, const std::wstring& b)
{
    if (a.empty() || b.empty()) return false;
    return SameTextW(a, b) || SameTextW(LongPathNameW(a), LongPathNameW(b));
}

bool SamePath(const std::string& a, const std::string& b) { return SamePathW(AnsiToWide(a), AnsiToWide(b)); }

// Image paths may come in kernel form ("\??\C:\...", "\SystemRoot\...").
std::string Win32ImagePath(const std::string& image)
{
    if (image.empty() || image[0] != '\\') return image;
    return NormalizeCommandPath(image);
}

std::wstring Win32ImagePathW(const std::wstring& image)
{
    if (image.empty() || image[0] != L'\\') return image;
    return AnsiToWide(NormalizeCommandPath(WideToAnsi(image)));
}

// The image path as the protection test reads it (kernel forms resolved).
std::string QueryImagePath(uint32_t pid) { return Win32ImagePath(GetProcessImagePath(pid)); }

// Present from Windows Vista on; unlike the module name it also answers for a
// 64-bit process asked by a 32-bit one, and for processes that refuse memory
// reads (protected system processes).
using QueryFullImageNameFn = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
// The access right that goes with it, also Vista on (the XP headers lack it).
constexpr DWORD kQueryLimitedInformation = 0x1000;

QueryFullImageNameFn QueryFullImageName()
{
    static const auto query = LateSystemProc<QueryFullImageNameFn>("kernel32.dll", "QueryFullProcessImageNameW");
    return query;
}

std::wstring FullImageName(uint32_t pid)
{
    const QueryFullImageNameFn query = QueryFullImageName();
    if (!query) return {};
    UniqueHandle process(OpenProcess(kQueryLimitedInformation, FALSE, pid));
    if (!process) return {};
    wchar_t buffer[MAX_PATH * 2 + 1] = {};
    DWORD size = MAX_PATH * 2;
    if (!query(process.Get(), 0, buffer, &size)) return {};
    return std::wstring(buffer, size);
}

// Windows XP: the first module's file name (same bitness only).
std::wstring FirstModuleName(uint32_t pid)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid));
    if (!process) return {};
    // No module handle names the first module, the program itself.
    wchar_t buffer[MAX_PATH * 2 + 1] = {};
    const DWORD len = GetModuleFileNameExW(process.Get(), nullptr, buffer, MAX_PATH * 2);
    return std::wstring(buffer, len);
}

std::string TrayProgramPath() { return ModuleFolder() + kTrayFileName; }

bool IsTrayProgram(const std::string& imagePath) { return SamePath(imagePath, TrayProgramPath()); }

// Everything but the tray's own protection.
bool IsProtectedSystemProcess(uint32_t pid, const std::string& imagePath)
{
    if (pid <= 4 || pid == GetCurrentProcessId()) return true;  // idle, System, this service
    if (imagePath.empty()) {
        // Path unknown: judge by the name alone, on the safe side.
        const std::string name = SnapshotName(pid);
        return SameText(name, "System") || IsCriticalName(name);
    }
    if (SamePath(imagePath, ModuleFileName())) return true;
    return IsCriticalName(ExtractFileName(imagePath)) &&
           SamePath(ExcludeTrailingBackslash(ExtractFilePath(imagePath)), ExcludeTrailingBackslash(GetSystemFolder()));
}

class DebugPrivilege {
public:
    DebugPrivilege() { enabled_ = Set(true); }
    ~DebugPrivilege()
    {
        if (enabled_) Set(false);
    }
    DebugPrivilege(const DebugPrivilege&) = delete;
    DebugPrivilege& operator=(const DebugPrivilege&) = delete;

private:
    static bool Set(bool on)
    {
        HANDLE raw = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
        UniqueHandle token(raw);
        TOKEN_PRIVILEGES privileges{};
        privileges.PrivilegeCount = 1;
        if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
        privileges.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
        return AdjustTokenPrivileges(token.Get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr) &&
               GetLastError() == ERROR_SUCCESS;
    }
    bool enabled_ = false;
};

// Ends the process and waits a little for it to be gone, so that whoever
// looks for the program again does not find the dying process.
bool TerminateOpened(uint32_t pid, UINT exitCode)
{
    UniqueHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid));
    if (!process) process.Reset(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
    if (!process) return false;
    if (!TerminateProcess(process.Get(), exitCode)) return false;
    WaitForSingleObject(process.Get(), 2000);
    return true;
}

enum class Retry { None, WithDebugPrivilege };

// Every process this service ends goes through here.
bool EndProcess(uint32_t pid, Retry retry, bool mayEndTray)
{
    const std::string image = QueryImagePath(pid);
    if (IsProtectedSystemProcess(pid, image) || (!mayEndTray && IsTrayProgram(image))) {
        WriteServiceLog("protected process " + IntToStr(pid) + " left running: " + image);
        return false;
    }
    if (!TProcessOwnerScope::Allows(pid)) {
        WriteServiceLog("process " + IntToStr(pid) + " of another user left running: " + image);
        return false;
    }
    bool ended = TerminateOpened(pid, 0);
    if (!ended && retry == Retry::WithDebugPrivilege) {
        DebugPrivilege debug;
        ended = TerminateOpened(pid, static_cast<UINT>(-1));
    }
    if (ended) TEndedProcessLog::Note(pid);
    return ended;
}

}  // namespace

std::string TokenUserSid(void* token)
{
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenUser, nullptr, 0, &size) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return {};
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    char* text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text) || !text) return {};
    UniqueLocal memory(text);
    return text;
}

std::string ProcessOwnerSid(uint32_t pid) { return gOwnerLookup ? gOwnerLookup(pid) : OwnerFromToken(pid); }

void SetProcessOwnerLookup(ProcessOwnerLookup lookup) { gOwnerLookup = lookup; }

TProcessOwnerScope::TProcessOwnerScope(std::string sid) : sid_(std::move(sid)), outer_(tOwnerScope)
{
    tOwnerScope = this;
}

TProcessOwnerScope::~TProcessOwnerScope() { tOwnerScope = outer_; }

bool TProcessOwnerScope::Allows(uint32_t pid)
{
    if (!tOwnerScope) return true;
    if (tOwnerScope->sid_.empty()) return false;
    return SameText(ProcessOwnerSid(pid), tOwnerScope->sid_);
}

std::string TProcessOwnerScope::Current() { return tOwnerScope ? tOwnerScope->sid_ : std::string("*"); }

TEndedProcessLog::TEndedProcessLog() : outer_(tEndedLog) { tEndedLog = this; }

TEndedProcessLog::~TEndedProcessLog() { tEndedLog = outer_; }

void TEndedProcessLog::Note(uint32_t pid)
{
    if (tEndedLog) tEndedLog->ended_.push_back(pid);
}

bool IsProtectedProcess(uint32_t pid, const std::string& imagePath)
{
    const std::string image = imagePath.empty() ? QueryImagePath(pid) : Win32ImagePath(imagePath);
    return IsProtectedSystemProcess(pid, image) || IsTrayProgram(image);
}

int64_t FindProcessByPath(const std::string& path)
{
    const std::string resolved = ProgramPathOf(path);
    return resolved.empty() ? -1 : FindProcessByPathW(AnsiToWide(resolved));
}

int64_t FindProcessByPathW(const std::wstring& program)
{
    if (program.empty()) return -1;
    const std::wstring fileName = FileNamePartW(program);
    const bool byPath = fileName != program;
    const std::wstring target = byPath ? LongPathNameW(program) : program;
    const std::wstring name = FileNamePartW(target);
    for (const SnapshotEntry& entry : TakeSnapshot()) {
        if (!SameTextW(FileNamePartW(entry.ExeFile), name)) continue;
        if (!byPath || SamePathW(Win32ImagePathW(GetProcessImagePathW(entry.Pid)), target)) return entry.Pid;
    }
    return -1;
}

std::string GetProcessImagePath(uint32_t pid) { return WideToAnsiForRecord(GetProcessImagePathW(pid)); }

std::wstring GetProcessImagePathW(uint32_t pid)
{
    DWORD pids[1024] = {};
    DWORD bytes = 0;
    if (!EnumProcesses(pids, sizeof(pids), &bytes)) return {};
    const DWORD* first = pids;
    const DWORD* last = pids + bytes / sizeof(DWORD);
    if (std::find(first, last, static_cast<DWORD>(pid)) == last) return {};
    const std::wstring full = FullImageName(pid);
    return full.empty() ? FirstModuleName(pid) : full;
}

bool TerminateProcessById(uint32_t pid) { return EndProcess(pid, Retry::WithDebugPrivilege, false); }

bool TerminateTrayProcess(uint32_t pid)
{
    if (!IsTrayProgram(QueryImagePath(pid))) return false;
    return EndProcess(pid, Retry::WithDebugPrivilege, true);
}

void ListProcessIds(TPidList& list)
{
    list.clear();
    try {
        for (const SnapshotEntry& entry : TakeSnapshot()) list.push_back(entry.Pid);
    } catch (const std::exception& error) {
        WriteServiceLog(std::string("process list not taken: ") + error.what());
    }
}

bool ProcessIdExists(uint32_t pid)
{
    if (pid == 0) return false;
    TPidList pids;
    ListProcessIds(pids);
    return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

bool TerminateProcessesByName(const std::string& name)
{
    // A name with a folder part means that one program file, never its namesakes
    // elsewhere (a "C:\Users\x\csrss.exe" must not reach the system's csrss).
    const bool byPath = !ExtractFilePath(name).empty();
    const std::wstring wideName = AnsiToWide(name);
    const std::wstring target = byPath ? LongPathNameW(AnsiToWide(ProgramPathOf(name))) : wideName;
    const std::wstring targetName = FileNamePartW(target);
    if (targetName.empty()) return false;
    bool lastEnded = false;
    for (const SnapshotEntry& entry : TakeSnapshot()) {
        bool match;
        if (byPath)
            match = SameTextW(FileNamePartW(entry.ExeFile), targetName) &&
                    SamePathW(Win32ImagePathW(GetProcessImagePathW(entry.Pid)), target);
        else
            match = SameTextW(entry.ExeFile, wideName) || SameTextW(FileNamePartW(entry.ExeFile), wideName);
        if (match) lastEnded = EndProcess(entry.Pid, Retry::None, false);
    }
    return lastEnded;
}

TPidList RunningProcessIds()
{
    std::vector<DWORD> pids(1024);
    DWORD bytes = 0;
    // A full buffer may have cut the list short: asked again with room to spare.
    for (;;) {
        const DWORD room = static_cast<DWORD>(pids.size() * sizeof(DWORD));
        if (!EnumProcesses(pids.data(), room, &bytes)) return {};
        if (bytes < room) break;
        pids.resize(pids.size() * 2);
    }
    TPidList list(pids.begin(), pids.begin() + bytes / sizeof(DWORD));
    std::sort(list.begin(), list.end());
    return list;
}

bool SameProgramPath(const std::string& a, const std::string& b) { return SamePath(a, b); }

bool CopyFileByShell(const std::string& source, const std::string& target)
{
    try {
        if (!FileExists(source)) return false;
        std::string from = source + '\0';  // the shell wants lists ended by a second zero
        std::string to = target + '\0';
        SHFILEOPSTRUCTA operation{};
        operation.hwnd = nullptr;
        operation.wFunc = FO_COPY;
        operation.pFrom = from.c_str();
        operation.pTo = to.c_str();
        // No dialog of any kind: on the service's invisible desktop nobody could
        // answer it and the calling thread would wait for ever.
        operation.fFlags = FOF_NOCONFIRMATION | FOF_ALLOWUNDO | FOF_SILENT | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
        return SHFileOperationA(&operation) == 0;
    } catch (...) {
        return false;
    }
}
