#include "uCommonUtils.h"

#include <shlobj.h>
#include <shobjidl.h>
#include <objidl.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <vector>
#include <mutex>
#include <random>

#include "qvFiles.h"
#include "RegistryUtils.h"
#include "md5.h"
#include "qvCaught.h"
#include "qvErrors.h"
#include "qvHandles.h"
#include "qvLateApi.h"
#include "qvWideText.h"
#include "uReportEvent.h"

const char* const DosDeviceNames[9] = {"CON", "LPT1", "COM1", "COM2", "COM3", "COM4", "PRN", "AUX", "NUL"};

std::string GetSpecialFolder(int csidl)
{
    // The machine's folders do not move while a program runs, but the lookup
    // can fail for a moment on a busy machine; an empty answer would put every
    // path built on it under the drive's root. So: a few tries, and the first
    // answer is kept.
    static std::mutex lock;
    static std::map<int, std::string> known;
    {
        std::lock_guard<std::mutex> hold(lock);
        auto found = known.find(csidl);
        if (found != known.end()) return found->second;
    }
    constexpr int kTries = 5;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        char buffer[MAX_PATH + 1] = {};
        if (SHGetSpecialFolderPathA(nullptr, buffer, csidl, TRUE) && buffer[0] != '\0') {
            const std::string folder = ExcludeTrailingBackslash(buffer);
            std::lock_guard<std::mutex> hold(lock);
            known.emplace(csidl, folder);
            return folder;
        }
        Sleep(20);
    }
    return {};
}

std::string GetDataFolder() { return GetSpecialFolder(CSIDL_COMMON_APPDATA) + "\\" + "Quorvane\\"; }
std::string GetSystemFolder() { return GetSpecialFolder(CSIDL_SYSTEM) + "\\"; }
std::string GetWindowsFolder() { return GetSpecialFolder(CSIDL_WINDOWS) + "\\"; }

std::string GetTimeStamp()
{
    SYSTEMTIME date{}, time{};
    GetLocalTime(&date);
    GetLocalTime(&time);
    return std::to_string(date.wDay) + "-" + std::to_string(date.wMonth) + "-" + std::to_string(date.wYear) + "-" +
           std::to_string(time.wHour) + "-" + std::to_string(time.wMinute) + "-" + std::to_string(time.wSecond) +
           "-" + std::to_string(time.wMilliseconds) + "_";
}

std::string GetEnvVar(const std::string& name)
{
    DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
    if (size == 0) return {};
    std::string value(size, '\0');
    DWORD len = GetEnvironmentVariableA(name.c_str(), value.data(), size);
    value.resize(len < size ? len : 0);
    return value;
}

int RandomInt(int range)
{
    static std::mutex lock;
    static std::mt19937 generator(static_cast<unsigned>(GetTickCount()) ^ (GetCurrentProcessId() << 16));
    if (range <= 0) return 0;
    std::lock_guard<std::mutex> guard(lock);
    return std::uniform_int_distribution<int>(0, range - 1)(generator);
}

std::string MakeTempFileName()
{
    // TEMP may end in a backslash ("C:\Temp\"): the name is joined with one.
    return IncludeTrailingBackslash(GetEnvVar("temp")) + GetTimeStamp() + std::to_string(RandomInt(999999)) + "qrv.~tmp";
}

std::string GetVersionText() { return std::to_string(2) + "." + std::to_string(6) + "." + std::to_string(9); }

std::string GetLocaleInfoText(LCTYPE type)
{
    char buffer[256] = {};
    int len = GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buffer, sizeof(buffer));
    return len > 0 ? std::string(buffer) : std::string();
}

bool GetOSVersionInfo(OSVERSIONINFOA& info)
{
    ZeroMemory(&info, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return GetVersionExA(&info) != 0;
#pragma GCC diagnostic pop
}

int GetOSMajorVersion()
{
    OSVERSIONINFOA info;
    return GetOSVersionInfo(info) ? static_cast<int>(info.dwMajorVersion) : 0;
}

bool IsWow64()
{
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto isWow64Process = LateSystemProc<IsWow64ProcessFn>("kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool DisableWow64Redirection(void** oldValue)
{
    if (!IsWow64()) return false;
    using DisableFn = BOOL(WINAPI*)(PVOID*);
    auto disable = LateSystemProc<DisableFn>("kernel32.dll", "Wow64DisableWow64FsRedirection");
    return disable && disable(oldValue);
}

bool RevertWow64Redirection(void* oldValue)
{
    if (!IsWow64()) return false;
    using RevertFn = BOOL(WINAPI*)(PVOID);
    auto revert = LateSystemProc<RevertFn>("kernel32.dll", "Wow64RevertWow64FsRedirection");
    return revert && revert(oldValue);
}

bool IsWin64System()
{
#ifdef _WIN64
    return true;
#else
    return IsWow64();
#endif
}

static int AdminLevelFromGroups(HANDLE token)
{
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenGroups, buffer.data(), static_cast<DWORD>(buffer.size()), &size)) return 0;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
    PSID admins = nullptr;
    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, &admins))
        return 1;
    auto* groups = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
    int level = 1;
    for (DWORD i = 0; i < groups->GroupCount; ++i)
        if (EqualSid(groups->Groups[i].Sid, admins)) level = 2;
    FreeSid(admins);
    return level;
}

static int AdminLevelFromIntegrity(HANDLE token)
{
    std::vector<BYTE> buffer(1024);
    DWORD size = 0;
    if (!GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), static_cast<DWORD>(buffer.size()), &size))
        return 0;
    auto* label = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(buffer.data());
    if (!IsValidSid(label->Label.Sid)) return 0;
    DWORD count = *GetSidSubAuthorityCount(label->Label.Sid);
    if (count == 0) return 0;
    DWORD rid = *GetSidSubAuthority(label->Label.Sid, count - 1);
    return rid >= SECURITY_MANDATORY_HIGH_RID ? 2 : 1;
}

int GetAdminLevel()
{
    OSVERSIONINFOA info;
    if (!GetOSVersionInfo(info) || info.dwPlatformId != VER_PLATFORM_WIN32_NT) return 0;
    UniqueHandle token;
    HANDLE raw = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &raw) ||
        OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        token.Reset(raw);
    if (!token) return 0;
    return info.dwMajorVersion < 6 ? AdminLevelFromGroups(token.Get()) : AdminLevelFromIntegrity(token.Get());
}

std::string TrimLeadingBlanks(const std::string& text)
{
    size_t i = text.find_first_not_of(' ');
    return i == std::string::npos ? std::string() : text.substr(i);
}

std::string ReplaceAllText(const std::string& text, const std::string& oldPart, const std::string& newPart)
{
    if (oldPart.empty()) return text;
    std::string out;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(oldPart, pos);
        if (hit == std::string::npos) break;
        out.append(text, pos, hit - pos);
        out += newPart;
        pos = hit + oldPart.size();
    }
    out.append(text, pos, std::string::npos);
    return out;
}

// Windows also takes "nul " or "nul.txt" for the device, so trailing blanks
// and dots and any extension are ignored.
static bool IsDosDeviceName(const std::string& name)
{
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.pop_back();
    for (const char* device : DosDeviceNames)
        if (SameText(base, device)) return true;
    return false;
}

// The shortest leading part of the text (never the whole text) that names an
// existing file other than a device; empty when there is none.
static std::string FirstExistingPrefix(const std::string& text)
{
    for (size_t n = 0; n < text.size(); ++n) {
        std::string candidate = text.substr(0, n);
        if (FileExists(candidate) && !IsDosDeviceName(ExtractFileName(candidate))) return candidate;
    }
    return {};
}

std::string NormalizeCommandPath(const std::string& command)
{
    std::string work = command == "?" ? std::string() : command;
    work = TrimLeadingBlanks(work);
    if (!work.empty() && work[0] == '"') work.erase(0, 1);
    size_t quote = work.find('"');
    if (quote != std::string::npos) work.resize(quote);
    if (StartsWith(work, "\\??\\")) work.erase(0, 4);
    if (!work.empty() && work[0] == '?') work = ExtractFileDrive(GetWindowsFolder()) + work.substr(std::min<size_t>(2, work.size()));
    if (StartsWith(LowerCase(work), "\\systemroot")) work = ReplaceAllText(LowerCase(work), "\\systemroot", "%systemroot%");

    std::string result = ReplaceAllText(LowerCase(work), "%homedrive%", "%SYSTEMDRIVE%");
    const std::string unexpanded = result;
    result = ExpandEnvironment(result);
    if (StartsWith(work, "\\\\?\\globalroot\\systemroot\\"))
        result = ExcludeTrailingBackslash(GetWindowsFolder()) + work.substr(25);

    if (!result.empty() && ExtractFilePath(result).empty()) {
        work = ExcludeTrailingBackslash(GetSystemFolder()) + "\\" + result;
        if (FileExists(work)) return work;
        work = ExcludeTrailingBackslash(GetWindowsFolder()) + "\\" + result;
        if (FileExists(work)) result = work;
    }

    std::string found = FirstExistingPrefix(work);
    if (!found.empty()) return found;
    // A command whose program part comes from environment strings is only found
    // in its expanded form (for example "%APPDATA%\x.exe /s").
    if (result != unexpanded && !FileExists(result)) {
        found = FirstExistingPrefix(result);
        if (!found.empty()) return found;
    }
    return result;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string TrimBlanks(const std::string& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlank(text[first])) ++first;
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

bool IsRootedPath(const std::string& name)
{
    return (name.size() >= 2 && name[1] == ':') || (!name.empty() && name[0] == '\\');
}

// A text that cannot be read (not a string) gives no folders: the system and
// Windows folders are still searched.
TStringList MachinePathFolders()
{
    TStringList folders;
    try {
        TRegEngine rec;
        rec.Root = kRootHKLM;
        rec.Key = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
        rec.Value = "Path";
        // The machine's own PATH, not this process's: a service may have been
        // started with another one, the user's shell starts programs with this.
        std::string rest = ExpandEnvironment(ReadRegString(rec));
        for (;;) {
            const size_t semicolon = rest.find(';');
            const std::string folder = TrimBlanks(rest.substr(0, semicolon));
            if (!folder.empty()) folders.push_back(ExcludeTrailingBackslash(folder));
            if (semicolon == std::string::npos) break;
            rest.erase(0, semicolon + 1);
        }
    } catch (const std::exception& error) {
        folders.clear();
        ReportCaught("machine PATH not read", error);
    }
    return folders;
}

// The program the shell registered for a bare name ("App Paths\<name>").
std::string AppPathOf(const std::string& name)
{
    try {
        TRegEngine rec;
        rec.Root = kRootHKLM;
        rec.Key = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\" + name;
        rec.Value = "";
        std::string path = TrimBlanks(ExpandEnvironment(ReadRegString(rec)));
        if (path.size() >= 2 && path.front() == '"' && path.back() == '"') path = path.substr(1, path.size() - 2);
        return FileExists(path) ? path : std::string();
    } catch (const std::exception& error) {
        ReportCaught("App Paths entry " + name + " not read", error);
        return {};
    }
}

bool IsBlankW(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring TrimBlanksW(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && IsBlankW(text[first])) ++first;
    while (last > first && IsBlankW(text[last - 1])) --last;
    return text.substr(first, last - first);
}

std::wstring FileNamePartW(const std::wstring& path)
{
    const size_t cut = path.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? path : path.substr(cut + 1);
}

// One word of a command line as SearchPath with ".exe" finds it: a name with
// no extension is first tried with ".exe"; a rooted name is taken where it
// is, any other is searched in the system and Windows folders and the
// machine's PATH, a bare name at last under App Paths.
std::wstring FindProgramFile(const std::wstring& name)
{
    const std::wstring fileName = FileNamePartW(name);
    if (name.empty() || IsDosDeviceName(WideToAnsi(fileName))) return {};
    std::vector<std::wstring> names;
    if (fileName.find(L'.') == std::wstring::npos) names.push_back(name + L".exe");
    names.push_back(name);
    if ((name.size() >= 2 && name[1] == L':') || name[0] == L'\\') {
        for (const std::wstring& candidate : names)
            if (FileExistsW(candidate)) return candidate;
        return {};
    }
    TStringList folders{ExcludeTrailingBackslash(GetSystemFolder()), ExcludeTrailingBackslash(GetWindowsFolder())};
    for (const std::string& folder : MachinePathFolders()) folders.push_back(folder);
    for (const std::string& folder : folders)
        for (const std::wstring& candidate : names) {
            const std::wstring path = AnsiToWide(folder) + L"\\" + candidate;
            if (FileExistsW(path)) return path;
        }
    if (fileName != name) return {};
    for (const std::wstring& candidate : names) {
        // App Paths keys are named in the code page; a name it cannot spell has none.
        if (!FitsCodePage(candidate)) continue;
        const std::string found = AppPathOf(WideToAnsi(candidate));
        if (!found.empty()) return AnsiToWide(found);
    }
    return {};
}

}  // namespace

std::wstring ResolveCommandProgramW(const std::wstring& commandLine)
{
    const std::wstring line = TrimBlanksW(ExpandEnvironmentW(TrimBlanksW(commandLine)));
    if (line.empty()) return {};
    if (line[0] == L'"') {
        const size_t close = line.find(L'"', 1);
        return FindProgramFile(line.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1));
    }
    // Unquoted: the words up to each blank in turn, the shortest first, as
    // CreateProcess tries them; a line without blanks names one file.
    for (size_t end = 0; end <= line.size(); ++end) {
        if (end < line.size() && !IsBlankW(line[end])) continue;
        if (end > 0 && IsBlankW(line[end - 1])) continue;
        const std::wstring found = FindProgramFile(line.substr(0, end));
        if (!found.empty()) return found;
    }
    return {};
}

std::string ResolveCommandProgram(const std::string& commandLine)
{
    const std::wstring program = ResolveCommandProgramW(AnsiToWide(commandLine));
    return program.empty() ? std::string() : WideToAnsiForRecord(program);
}

std::string ProgramPathOf(const std::string& pathOrCommand)
{
    if (IsRootedPath(pathOrCommand) && FileExists(pathOrCommand)) return pathOrCommand;
    const std::string program = ResolveCommandProgram(pathOrCommand);
    return program.empty() ? NormalizeCommandPath(pathOrCommand) : program;
}

namespace {

// Winlogon's rule for a value's entries: each comma-separated entry, the first
// blank of an unquoted text a comma as well when asked.
template <typename Text>
void SplitEntries(const Text& text, std::vector<Text>& list, bool firstBlankIsComma)
{
    list.clear();
    Text rest = text;
    if (rest.empty()) return;
    if (firstBlankIsComma && rest[0] != '"') {
        const size_t blank = rest.find(' ');
        if (blank != Text::npos) rest[blank] = ',';
    }
    for (;;) {
        const size_t comma = rest.find(',');
        Text part = comma == Text::npos ? rest : rest.substr(0, comma);
        const size_t first = part.find_first_not_of(' ');
        part = first == Text::npos ? Text() : part.substr(first);
        if (!part.empty()) list.push_back(part);
        if (comma == Text::npos) break;
        rest.erase(0, comma + 1);
    }
}

template <typename Text, typename ProgramOf, typename Same>
std::vector<Text> EntryPrograms(const Text& text, ProgramOf programOf, Same same)
{
    std::vector<Text> programs, entries;
    auto add = [&](const Text& entry) {
        const Text program = programOf(entry);
        if (program.empty()) return;
        for (const Text& known : programs)
            if (same(known, program)) return;
        programs.push_back(program);
    };
    SplitEntries(text, entries, false);
    for (const Text& entry : entries) add(entry);
    // A program named after the first blank is ended as well: an argument of
    // Explorer's is started by it.
    SplitEntries(text, entries, true);
    for (const Text& entry : entries) add(entry);
    return programs;
}

}  // namespace

TStringList CommandEntryPrograms(const std::string& text)
{
    return EntryPrograms(
        text, [](const std::string& entry) { return ProgramPathOf(TrimBlanks(entry)); },
        [](const std::string& a, const std::string& b) { return SameText(a, b); });
}

std::wstring ProgramPathOfW(const std::wstring& pathOrCommand)
{
    if (IsRootedPath(WideToAnsi(pathOrCommand)) && FileExistsW(pathOrCommand)) return pathOrCommand;
    const std::wstring program = ResolveCommandProgramW(pathOrCommand);
    return program.empty() ? AnsiToWide(NormalizeCommandPath(WideToAnsi(pathOrCommand))) : program;
}

std::vector<std::wstring> CommandEntryProgramsW(const std::wstring& text)
{
    return EntryPrograms(
        text, [](const std::wstring& entry) { return ProgramPathOfW(TrimBlanksW(entry)); },
        [](const std::wstring& a, const std::wstring& b) { return SameTextW(a, b); });
}

void SplitCommandLine(const std::string& text, TStringList& list, bool firstBlankIsComma)
{
    try {
        SplitEntries(text, list, firstBlankIsComma);
    } catch (const std::exception& error) {
        ReportCaught("command line not split: " + text, error);
        list.clear();
    }
}

void ListFolderFiles(const std::string& folder, TStringList& list, const char* pattern)
{
    WIN32_FIND_DATAA data{};
    UniqueFindHandle find(FindFirstFileA((IncludeTrailingBackslash(folder) + pattern).c_str(), &data));
    if (!find) return;
    do {
        std::string name = data.cFileName;
        // A long name with letters outside the code page comes with "?" in
        // their place and names no file; its short name still reaches it.
        if (name.find('?') != std::string::npos && data.cAlternateFileName[0] != '\0') name = data.cAlternateFileName;
        if (name == "." || name == ".." || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (ExtractFileExt(name) == ".ini") continue;
        list.push_back(name);
    } while (FindNextFileA(find.Get(), &data));
}

TStringList ListLanguageFiles(const std::string& folder)
{
    TStringList files;
    ListFolderFiles(folder, files, "*.lng");
    return files;
}

bool PutLanguageFirst(TStringList& list, const std::string& current)
{
    const int index = IndexOfText(list, current);
    if (index > 0) std::swap(list[0], list[static_cast<size_t>(index)]);
    return index >= 0;
}

void ListFolderFilesW(const std::wstring& folder, std::vector<std::wstring>& list)
{
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW((ExcludeTrailingBackslashW(folder) + L"\\*").c_str(), &data));
    if (!find) return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L".." || (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
        if (name.size() >= 4 && SameTextW(name.substr(name.size() - 4), L".ini")) continue;
        list.push_back(name);
    } while (FindNextFileW(find.Get(), &data));
}

void ClearLnkStruc(TLnkStruc& lnk) { lnk = TLnkStruc{}; }

// The link's texts, as far as they can be read.
static void ReadLinkTexts(const std::string& lnkPath, TLnkStruc& lnk)
{
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.PutVoid())))
        return;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return;
    wchar_t widePath[MAX_PATH + 1] = {};
    MultiByteToWideChar(CP_ACP, 0, lnkPath.c_str(), -1, widePath, MAX_PATH);
    if (FAILED(file->Load(widePath, STGM_READ))) return;
    char buffer[MAX_PATH] = {};
    lnk.LnkFile = lnkPath;
    if (SUCCEEDED(link->GetArguments(buffer, MAX_PATH))) lnk.Args = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH))) lnk.Target = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetWorkingDirectory(buffer, MAX_PATH))) lnk.WorkDir = buffer;
    buffer[0] = 0;
    if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH))) lnk.Description = buffer;
}

void ReadShellLink(const std::string& lnkPath, TLnkStruc& lnk)
{
    ComScope com;
    if (com.IsNew()) Sleep(20);
    ClearLnkStruc(lnk);
    if (!FileExists(lnkPath)) return;
    // The texts read so far stand; a link that cannot be read names nothing more.
    RunLoggedPass("shell link " + lnkPath + " not read", [&] { ReadLinkTexts(lnkPath, lnk); });
}

double NowDateTime()
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return EncodeDateTime(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
}

void ParseHostsFile(const std::string& fileName, TStringList& result, bool hostNamesOnly)
{
    result.clear();
    if (!FileExists(fileName)) return;
    TStringList lines;
    if (!LoadLines(fileName, lines)) {
        DWORD code = GetLastError();
        throw EInOutError(code, "Cannot read file \"" + fileName + "\". " + SysErrorText(code));
    }
    for (std::string line : lines) {
        line = Trim(line.substr(0, line.find('#')));
        std::replace(line.begin(), line.end(), '\t', ' ');
        if (line.empty()) continue;
        TStringList tokens;
        for (size_t start = 0;;) {
            size_t blank = line.find(' ', start);
            tokens.push_back(Trim(line.substr(start, blank == std::string::npos ? std::string::npos : blank - start)));
            if (blank == std::string::npos) break;
            start = blank + 1;
        }
        const std::string& address = tokens[0];
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (tokens[i].empty()) continue;
            result.push_back(hostNamesOnly ? tokens[i] : Trim(tokens[i] + "@" + address));
        }
    }
}

bool IsDigestOnTrustList(const std::string& digest)
{
    if (digest.empty()) return false;
    TRegEngine useList = SettingRef("arn_use_trustlist");
    if (!ReadRegBool(useList)) return false;
    TRegEngine listRef = SettingRef("trustList");
    TStringList entries;
    ReadRegMultiString(listRef, entries);
    for (const std::string& entry : entries) {
        size_t bar = entry.find('|');
        if (SameText(bar == std::string::npos ? entry : entry.substr(bar + 1), digest)) return true;
    }
    return false;
}

// The stock hosts files, line for line; addresses are padded to 16 columns.
namespace {

const char* const kHostsXP[] = {
    "# (C) Корпорация Майкрософт (Microsoft Corp.), 1993-1999",
    "#",
    "# Это образец файла HOSTS, используемый Microsoft TCP/IP для Windows.",
    "#",
    "# Этот файл содержит сопоставления IP-адресов именам узлов.",
    "# Каждый элемент должен располагаться в отдельной строке. IP-адрес должен",
    "# находиться в первом столбце, за ним должно следовать соответствующее имя.",
    "# IP-адрес и имя узла должны разделяться хотя бы одним пробелом.",
    "#",
    "# Кроме того, в некоторых строках могут быть вставлены комментарии",
    "# (такие, как эта строка), они должны следовать за именем узла и отделяться",
    "# от него символом '#'.",
    "#",
    "# Например:",
    "#",
    "#      102.54.94.97     rhino.acme.com          # исходный сервер",
    "#       38.25.63.10     x.acme.com              # узел клиента x",
    "",
    "127.0.0.1       localhost",
};

const char* const kHostsVista[] = {
    "# Copyright (c) 1993-2008 Microsoft Corp.",
    "#",
    "# This is a sample HOSTS file used by Microsoft TCP/IP for Windows.",
    "#",
    "# This file contains the mappings of IP addresses to host names. Each",
    "# entry should be kept on an individual line. The IP address should",
    "# be placed in the first column followed by the corresponding host name.",
    "# The IP address and the host name should be separated by at least one",
    "# space.",
    "#",
    "# Additionally, comments (such as these) may be inserted on individual",
    "# lines or following the machine name denoted by a '#' symbol.",
    "#",
    "# For example:",
    "#",
    "#      102.54.94.97     rhino.acme.com          # source server",
    "#       38.25.63.10     x.acme.com              # x client host",
    "",
    "\t127.0.0.1       localhost",
    "\t::1             localhost",
};

const char* const kHostsWin7[] = {
    "# Copyright (c) 1993-2009 Microsoft Corp.",
    "#",
    "# This is a sample HOSTS file used by Microsoft TCP/IP for Windows.",
    "#",
    "# This file contains the mappings of IP addresses to host names. Each",
    "# entry should be kept on an individual line. The IP address should",
    "# be placed in the first column followed by the corresponding host name.",
    "# The IP address and the host name should be separated by at least one",
    "# space.",
    "#",
    "# Additionally, comments (such as these) may be inserted on individual",
    "# lines or following the machine name denoted by a '#' symbol.",
    "#",
    "# For example:",
    "#",
    "#      102.54.94.97     rhino.acme.com          # source server",
    "#       38.25.63.10     x.acme.com              # x client host",
    "",
    "# localhost name resolution is handled within DNS itself.",
    "#\t127.0.0.1       localhost",
    "#\t::1             localhost",
};

template <size_t N>
TStringList ToList(const char* const (&lines)[N])
{
    return TStringList(std::begin(lines), std::end(lines));
}

}  // namespace

const char* const kStockHostsDigest5 = "9FBBD19A171C5E3225647DC4E67D31A4";
const char* const kStockHostsDigest6 = "D714455B6B7E7D967DF87A542ADD377F";
const char* const kStockHostsDigest7 = "3688374325B992DEF12793500307566D";

TStringList StockHostsLines(int major)
{
    switch (major) {
    case 5: return ToList(kHostsXP);
    case 6: return ToList(kHostsVista);
    case 7: return ToList(kHostsWin7);
    default: return {};
    }
}

std::string StockHostsText(int major) { return JoinLines(StockHostsLines(major)); }

std::string StockHostsDigest(int major)
{
    switch (major) {
    case 5: return kStockHostsDigest5;
    case 6: return kStockHostsDigest6;
    case 7: return kStockHostsDigest7;
    default: return {};
    }
}

const char* LanguageSectionName(int section)
{
    switch (section) {
    case 0: return "info";
    case 1: return "gui";
    case 2: return "arun";
    case 3: return "global";
    default: return "";
    }
}
