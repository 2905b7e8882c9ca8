#include "uPIDProcessing.h"

#include <windows.h>
#include <psapi.h>
#include <sddl.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>

#include "qvCaught.h"
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

std::string OwnerFromProcessToken(HANDLE process)
{
    HANDLE raw = nullptr;
    if (!OpenProcessToken(process, TOKEN_QUERY, &raw)) return {};
    UniqueHandle token(raw);
    return TokenUserSid(token.Get());
}

ProcessOwnerLookup gOwnerLookup = nullptr;

std::string SnapshotName(uint32_t pid)
{
    for (const TRunningProcess& entry : SnapshotProcesses())
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

// What reading the image (and the owner's token) takes: Windows XP reads the
// first module's name from the process's memory.
DWORD ImageQueryRights()
{
    return QueryFullImageName() ? kQueryLimitedInformation : PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
}

std::wstring ImageOfHandle(HANDLE process)
{
    wchar_t buffer[MAX_PATH * 2 + 1] = {};
    if (const QueryFullImageNameFn query = QueryFullImageName()) {
        DWORD size = MAX_PATH * 2;
        if (query(process, 0, buffer, &size)) return std::wstring(buffer, size);
    }
    // No module handle names the first module, the program itself.
    const DWORD len = GetModuleFileNameExW(process, nullptr, buffer, MAX_PATH * 2);
    return std::wstring(buffer, len);
}

// A process that has ended keeps its id (and answers queries) while any
// handle to it is open: it no longer runs the program.
bool StillRunning(HANDLE process)
{
    DWORD code = 0;
    if (GetExitCodeProcess(process, &code)) return code == STILL_ACTIVE;
    return WaitForSingleObject(process, 0) != WAIT_OBJECT_0;  // cannot tell: taken as running
}

// Whether the image is the program file `fixedLong` (a long form). Only a
// path of the same file name, or one with a short form ("~") in it, needs the
// file system to tell: the other processes cost no look-up.
bool IsFixedProgram(const std::string& imagePath, const std::wstring& fixedLong)
{
    if (imagePath.empty()) return false;
    const std::wstring image = AnsiToWide(imagePath);
    if (SameTextW(image, fixedLong)) return true;
    if (!SameTextW(FileNamePartW(image), FileNamePartW(fixedLong)) && image.find(L'~') == std::wstring::npos)
        return false;
    return SameTextW(LongPathNameW(image), fixedLong);
}

// Programs whose place does not change while the service runs: their long
// forms are read once.
const std::wstring& ServiceProgramLong()
{
    static const std::wstring path = LongPathNameW(AnsiToWide(ModuleFileName()));
    return path;
}

const std::wstring& TrayProgramLong()
{
    // The folder is there even before the tray program is.
    static const std::wstring path = LongPathNameW(AnsiToWide(ModuleFolder())) + AnsiToWide(kTrayFileName);
    return path;
}

bool IsTrayProgram(const std::string& imagePath) { return IsFixedProgram(imagePath, TrayProgramLong()); }

// Everything but the tray's own protection.
bool IsProtectedSystemProcess(uint32_t pid, const std::string& imagePath)
{
    if (pid <= 4 || pid == GetCurrentProcessId()) return true;  // idle, System, this service
    if (imagePath.empty()) {
        // Path unknown: judge by the name alone, on the safe side.
        const std::string name = SnapshotName(pid);
        return SameText(name, "System") || IsCriticalName(name);
    }
    if (IsFixedProgram(imagePath, ServiceProgramLong())) return true;
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

// One handle to read the image through and to end the process with. Without
// the right to read the image the process is still ended, judged by its name;
// without the right to wait, nobody waits for it to be gone.
UniqueHandle OpenToEnd(uint32_t pid)
{
    const DWORD query = ImageQueryRights();
    for (DWORD rights : {PROCESS_TERMINATE | SYNCHRONIZE | query, PROCESS_TERMINATE | query,
                         static_cast<DWORD>(PROCESS_TERMINATE | SYNCHRONIZE), static_cast<DWORD>(PROCESS_TERMINATE)}) {
        UniqueHandle process(OpenProcess(rights, FALSE, pid));
        if (process) return process;
    }
    return UniqueHandle();
}

enum class RetryWith { Nothing, DebugPrivilege };
enum class EndReach { AnyButTray, TrayOnly };

struct TEndRequest {
    RetryWith Retry = RetryWith::Nothing;
    EndReach Reach = EndReach::AnyButTray;
    const std::wstring* Expected = nullptr;  // the image the caller judged, if any
};

bool AllowedOwner(uint32_t pid, HANDLE process)
{
    const std::string sid = TProcessOwnerScope::Current();
    if (sid == "*") return true;
    if (sid.empty()) return false;
    return SameText(gOwnerLookup ? gOwnerLookup(pid) : OwnerFromProcessToken(process), sid);
}

// Every process this service ends goes through here, and through one handle.
bool EndProcess(uint32_t pid, const TEndRequest& request)
{
    UniqueHandle process = OpenToEnd(pid);
    UINT exitCode = 0;
    if (!process && request.Retry == RetryWith::DebugPrivilege) {
        // The privilege counts when the handle is opened; the handle keeps its rights.
        DebugPrivilege debug;
        process = OpenToEnd(pid);
        exitCode = static_cast<UINT>(-1);
    }
    if (!process) return false;
    const std::wstring wideImage = Win32ImagePathW(ImageOfHandle(process.Get()));
    if (!StillRunning(process.Get())) return false;
    if (request.Expected && !SamePathW(wideImage, *request.Expected)) return false;
    const std::string image = WideToAnsiForRecord(wideImage);
    const bool tray = IsTrayProgram(image);
    if (request.Reach == EndReach::TrayOnly && !tray) return false;
    if (IsProtectedSystemProcess(pid, image) || (request.Reach == EndReach::AnyButTray && tray)) {
        WriteServiceLog("protected process " + IntToStr(pid) + " left running: " + image);
        return false;
    }
    if (!AllowedOwner(pid, process.Get())) {
        WriteServiceLog("process " + IntToStr(pid) + " of another user left running: " + image);
        return false;
    }
    if (!TerminateProcess(process.Get(), exitCode)) {
        ReportSystemError("process " + IntToStr(pid) + " not ended", GetLastError());
        return false;
    }
    // Whoever looks for the program again must not find the dying process.
    WaitForSingleObject(process.Get(), 2000);
    TEndedProcessLog::Note(pid);
    return true;
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

void SetProcessOwnerLookup(ProcessOwnerLookup lookup) { gOwnerLookup = lookup; }

TProcessOwnerScope::TProcessOwnerScope(std::string sid) : sid_(std::move(sid)), outer_(tOwnerScope)
{
    tOwnerScope = this;
}

TProcessOwnerScope::~TProcessOwnerScope() { tOwnerScope = outer_; }

std::string TProcessOwnerScope::Current() { return tOwnerScope ? tOwnerScope->sid_ : std::string("*"); }

TEndedProcessLog::TEndedProcessLog() : outer_(tEndedLog) { tEndedLog = this; }

TEndedProcessLog::~TEndedProcessLog() { tEndedLog = outer_; }

void TEndedProcessLog::Note(uint32_t pid)
{
    if (tEndedLog) tEndedLog->ended_.push_back(pid);
}

std::vector<TRunningProcess> SnapshotProcesses()
{
    std::vector<TRunningProcess> entries;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        ReportSystemError("process snapshot not taken", GetLastError());
        return entries;
    }
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.Get(), &entry); more; more = Process32NextW(snapshot.Get(), &entry))
        entries.push_back({entry.th32ProcessID, entry.szExeFile});
    return entries;
}

bool IsProtectedProcess(uint32_t pid, const std::string& imagePath)
{
    const std::string image = imagePath.empty() ? GetProcessImagePath(pid) : Win32ImagePath(imagePath);
    return IsProtectedSystemProcess(pid, image) || IsTrayProgram(image);
}

int64_t FindProcessByPath(const std::string& path, std::wstring* image)
{
    const std::string resolved = ProgramPathOf(path);
    return resolved.empty() ? -1 : FindProcessByPathW(AnsiToWide(resolved), image);
}

int64_t FindProcessByPathW(const std::wstring& program, std::wstring* image)
{
    if (program.empty()) return -1;
    const std::wstring fileName = FileNamePartW(program);
    const bool byPath = fileName != program;
    const std::wstring target = byPath ? LongPathNameW(program) : program;
    const std::wstring name = FileNamePartW(target);
    for (const TRunningProcess& entry : SnapshotProcesses()) {
        if (!SameTextW(FileNamePartW(entry.ExeFile), name)) continue;
        if (!byPath && !image) return entry.Pid;
        std::wstring found = GetProcessImagePathW(entry.Pid);
        if (byPath && !SamePathW(found, target)) continue;
        if (image) *image = std::move(found);
        return entry.Pid;
    }
    return -1;
}

std::string GetProcessImagePath(uint32_t pid) { return WideToAnsiForRecord(GetProcessImagePathW(pid)); }

std::wstring GetProcessImagePathW(uint32_t pid)
{
    if (pid == 0) return {};
    UniqueHandle process(OpenProcess(ImageQueryRights(), FALSE, pid));
    if (!process || !StillRunning(process.Get())) return {};
    return Win32ImagePathW(ImageOfHandle(process.Get()));
}

bool TerminateProcessById(uint32_t pid)
{
    TEndRequest request;
    request.Retry = RetryWith::DebugPrivilege;
    return EndProcess(pid, request);
}

bool TerminateProcessRunning(uint32_t pid, const std::wstring& image)
{
    TEndRequest request;
    request.Retry = RetryWith::DebugPrivilege;
    request.Expected = &image;
    return !image.empty() && EndProcess(pid, request);
}

bool TerminateTrayProcess(uint32_t pid)
{
    TEndRequest request;
    request.Retry = RetryWith::DebugPrivilege;
    request.Reach = EndReach::TrayOnly;
    return EndProcess(pid, request);
}

bool ProcessIdExists(uint32_t pid)
{
    if (pid == 0) return false;
    const TPidList pids = RunningProcessIds();
    return std::binary_search(pids.begin(), pids.end(), pid);
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
    for (const TRunningProcess& entry : SnapshotProcesses()) {
        TEndRequest request;
        if (byPath) {
            if (!SameTextW(FileNamePartW(entry.ExeFile), targetName)) continue;
            if (!SamePathW(GetProcessImagePathW(entry.Pid), target)) continue;
            request.Expected = &target;  // judged again through the handle that ends it
        } else if (!SameTextW(entry.ExeFile, wideName) && !SameTextW(FileNamePartW(entry.ExeFile), wideName)) {
            continue;
        }
        lastEnded = EndProcess(entry.Pid, request);
    }
    return lastEnded;
}

TPidList RunningProcessIds()
{
    // Ids alone: the system's id list costs a fraction of a snapshot, and a
    // locker rewriting its value in a loop has it asked on every rewrite.
    std::vector<DWORD> pids(1024);
    DWORD bytes = 0;
    // A full buffer may have cut the list short: asked again with room to spare.
    for (;;) {
        const DWORD room = static_cast<DWORD>(pids.size() * sizeof(DWORD));
        if (!EnumProcesses(pids.data(), room, &bytes)) {
            ReportSystemError("process ids not listed", GetLastError());
            return {};
        }
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
    } catch (const std::exception& error) {
        ReportCaught("CopyFileByShell", error);
    } catch (...) {
        ReportUnknownCaught("CopyFileByShell");
    }
    return false;
}
