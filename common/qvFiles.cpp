#include "qvFiles.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "qvHandles.h"
#include "qvLateApi.h"
#include "qvWideText.h"

static DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

bool FileExists(const std::string& path)
{
    if (path.empty()) return false;
    DWORD attr = Attributes(path);
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileExistsW(const std::wstring& path)
{
    if (path.empty()) return false;
    const DWORD attr = GetFileAttributesW(path.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    if (path.empty()) return false;
    DWORD attr = Attributes(path);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::string LongPathName(const std::string& path)
{
    char buffer[MAX_PATH * 2] = {};
    DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof(buffer));
    return n == 0 || n >= sizeof(buffer) ? path : std::string(buffer, n);
}

namespace {

// Opens the object itself (a link is not followed where the system can tell),
// with no right to its contents: enough to ask what it is and where it is.
UniqueHandle OpenForQuery(const std::wstring& path, DWORD access, DWORD share)
{
    return UniqueHandle(CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

}  // namespace

bool OpenObjectIsNamed(HANDLE object, const std::string& path) { return OpenObjectIsNamedW(object, AnsiToWide(path)); }

// The system's own name for the object is "\\?\X:\...".
bool OpenObjectIsNamedW(HANDLE object, const std::wstring& path)
{
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    static const auto finalPathOf = LateSystemProc<FinalPathFn>("kernel32.dll", "GetFinalPathNameByHandleW");
    if (!finalPathOf) return true;
    const DWORD need = finalPathOf(object, nullptr, 0, 0);
    if (need == 0) return false;
    std::vector<wchar_t> buffer(need + 1);
    const DWORD n = finalPathOf(object, buffer.data(), need + 1, 0);
    if (n == 0 || n > need) return false;
    std::wstring name(buffer.data(), n);
    if (name.compare(0, 4, L"\\\\?\\") == 0) name.erase(0, 4);
    return SameTextW(LongPathNameW(name), LongPathNameW(ExcludeTrailingBackslashW(path)));
}

namespace {

// By name: what XP leaves to go on, where the open object cannot tell its own
// name. Only folders that exist are asked.
bool NoFolderAboveIsALink(const std::wstring& path)
{
    for (std::wstring part = ExcludeTrailingBackslashW(ExtractFileDirW(path)); part.size() > 3;) {
        const DWORD attr = GetFileAttributesW(part.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
        const std::wstring parent = ExcludeTrailingBackslashW(ExtractFileDirW(part));
        if (parent.size() >= part.size()) break;
        part = parent;
    }
    return true;
}

bool IsPlainFolderHandleW(HANDLE folder, const std::wstring& folderPath)
{
    const std::wstring path = ExcludeTrailingBackslashW(folderPath);
    if (path.size() < 3 || path[1] != L':' || path.find(L"\\..") != std::wstring::npos) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(folder, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && OpenObjectIsNamedW(folder, path) &&
           NoFolderAboveIsALink(path);
}

}  // namespace

bool IsPlainFolderHandle(HANDLE folder, const std::string& path)
{
    return IsPlainFolderHandleW(folder, AnsiToWide(path));
}

UniqueHandle OpenPlainFolder(const std::string& folder) { return OpenPlainFolderW(AnsiToWide(folder)); }

UniqueHandle OpenPlainFolderW(const std::wstring& folder)
{
    // No delete sharing: held, the folder can be neither renamed nor removed.
    UniqueHandle handle =
        OpenForQuery(ExcludeTrailingBackslashW(folder), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (handle && !IsPlainFolderHandleW(handle.Get(), folder)) handle.Reset();
    return handle;
}

bool LiesInside(const std::string& path, const std::string& folder)
{
    const std::string inner = LongPathName(ExcludeTrailingBackslash(path));
    const std::string outer = LongPathName(ExcludeTrailingBackslash(folder));
    return !outer.empty() && inner.size() > outer.size() + 1 && StartsText(outer + "\\", inner) &&
           inner.find("\\..") == std::string::npos;
}

bool IsPlainFolderInside(const std::string& folder, const std::string& outer)
{
    return LiesInside(folder, outer) && OpenPlainFolder(folder);
}

bool CreateDir(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool ForceDirectories(const std::string& path)
{
    std::string dir = ExcludeTrailingBackslash(path);
    if (dir.empty()) return false;
    if (DirectoryExists(dir) || (dir.size() == 2 && dir[1] == ':')) return true;
    std::string parent = ExtractFileDir(dir);
    if (!parent.empty() && parent != dir && !ForceDirectories(parent)) return false;
    return CreateDir(dir) || DirectoryExists(dir);
}

bool RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

int64_t FileSizeOf(const std::string& path) { return FileStampOf(path).Size; }

TFileStamp FileStampOf(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return {};
    return {(static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
            (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime};
}

bool ReadAllBytes(HANDLE file, std::string& bytes)
{
    bytes.clear();
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) return false;
        if (got == 0) return true;
        bytes.append(buffer, got);
    }
}

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    bytes.clear();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && ReadAllBytes(file.Get(), bytes);
}

bool WriteAllBytes(HANDLE file, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD wrote = 0;
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) return false;
        done += wrote;
    }
    return true;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && WriteAllBytes(file.Get(), bytes);
}

bool LoadLines(const std::string& path, TStringList& lines)
{
    lines.clear();
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = SplitLines(bytes);
    return true;
}

bool SaveLines(const std::string& path, const TStringList& lines) { return WriteFileBytes(path, JoinLines(lines)); }

std::string ExpandEnvironment(const std::string& text)
{
    char buffer[4097];
    DWORD len = ExpandEnvironmentStringsA(text.c_str(), buffer, sizeof(buffer));
    if (len == 0 || len > sizeof(buffer)) return text;
    return std::string(buffer);
}

std::wstring ExpandEnvironmentW(const std::wstring& text)
{
    const DWORD need = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (need == 0) return text;
    std::wstring out(need, L'\0');
    const DWORD len = ExpandEnvironmentStringsW(text.c_str(), &out[0], need);
    if (len == 0 || len > need) return text;
    out.resize(len - 1);  // the count includes the closing NUL
    return out;
}

std::string ModuleFileName()
{
    char buffer[MAX_PATH + 1] = {};
    DWORD len = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return std::string(buffer, len);
}

std::string ModuleFolder() { return ExtractFilePath(ModuleFileName()); }
