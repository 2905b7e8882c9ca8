#include "qvPlainFiles.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <vector>

#include "qvFiles.h"
#include "qvLateApi.h"
#include "qvWideText.h"

namespace {

// The native calls behind a delete or rename through a handle (ntdll has them
// since Windows NT; the headers of this API level do not declare them).
struct IoStatus {
    union {
        LONG Status;
        void* Pointer;
    };
    ULONG_PTR Information;
};
struct DispositionInfo {
    BOOLEAN DeleteFile;
};
struct RenameInfo {
    BOOLEAN ReplaceIfExists;
    HANDLE RootDirectory;
    ULONG FileNameLength;
    WCHAR FileName[1];  // the name goes on past the end of the record
};
constexpr int kFileRenameInformation = 10;
constexpr int kFileDispositionInformation = 13;

using SetInformationFileFn = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, int);

bool SetFileInformation(HANDLE object, void* info, ULONG size, int infoClass)
{
    static const auto setInformation = LateSystemProc<SetInformationFileFn>("ntdll.dll", "NtSetInformationFile");
    if (!setInformation) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    IoStatus io{};
    const LONG status = setInformation(object, &io, info, size, infoClass);
    if (status >= 0) return true;
    SetLastError(NtStatusToWinError(status));
    return false;
}

UniqueHandle OpenExisting(const std::wstring& path, DWORD access, DWORD share)
{
    return UniqueHandle(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

UniqueHandle CreateNew(const std::wstring& path, DWORD access, DWORD share)
{
    // Made only inside a plain folder, held while the file is made: a folder
    // that is a link would have the file made where the link points.
    UniqueHandle folder = OpenPlainFolderW(ExtractFileDirW(path));
    if (!folder) {
        SetLastError(kNotPlainError);
        return UniqueHandle();
    }
    // CREATE_NEW never follows a link: a name that a dangling link holds exists.
    return UniqueHandle(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES, share, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

UniqueHandle Refused()
{
    SetLastError(kNotPlainError);
    return UniqueHandle();
}

std::string ErrorWords(const std::string& what, const std::wstring& widePath)
{
    const DWORD error = GetLastError();  // before the short-name lookup sets its own
    const std::string path = WideToAnsiForRecord(widePath);
    return what + " " + path + (error == kNotPlainError ? ": not a plain file or folder (a link?)"
                                                        : ": error " + std::to_string(error));
}

struct HeldFolders {
    UniqueHandle first, second;
};

// Both folders held as plain folders (one handle when they are the same).
std::string NotPlainFolderWords(const std::wstring& folder)
{
    return "folder " + WideToAnsiForRecord(folder) + " is not a plain folder (a link on the way?)";
}

bool HoldFolders(const std::wstring& a, const std::wstring& b, HeldFolders& held, std::string& why)
{
    const std::wstring dirA = ExtractFileDirW(a), dirB = ExtractFileDirW(b);
    held.first = OpenPlainFolderW(dirA);
    if (!held.first) {
        why = NotPlainFolderWords(dirA);
        return false;
    }
    if (SameTextW(dirA, dirB)) return true;
    held.second = OpenPlainFolderW(dirB);
    if (!held.second) {
        why = NotPlainFolderWords(dirB);
        return false;
    }
    return true;
}

}  // namespace

bool IsPlainFileHandle(HANDLE file, const std::string& path) { return IsPlainFileHandleW(file, AnsiToWide(path)); }

bool IsPlainFileHandleW(HANDLE file, const std::wstring& path)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return false;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
        return false;
    // A second name of the same file may lie where its owner could not write.
    if (info.nNumberOfLinks != 1) return false;
    // Where links show no reparse attribute (Wine), the system's own name for
    // the open object is what tells the link from the file.
    return OpenObjectIsNamedW(file, path);
}

bool IsMissingOrPlainFile(const std::string& path) { return IsMissingOrPlainFileW(AnsiToWide(path)); }

bool IsMissingOrPlainFileW(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ||
           OpenPlainFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, TCreate::Never);
}

UniqueHandle OpenPlainFile(const std::string& path, DWORD access, DWORD share, TCreate create)
{
    return OpenPlainFileW(AnsiToWide(path), access, share, create);
}

UniqueHandle OpenPlainFileW(const std::wstring& path, DWORD access, DWORD share, TCreate create)
{
    UniqueHandle file;
    if (create == TCreate::AlwaysNew) {
        file = CreateNew(path, access, share);
    } else {
        file = OpenExisting(path, access, share);
        if (!file && create == TCreate::IfMissing) {
            const DWORD error = GetLastError();
            if (error != ERROR_FILE_NOT_FOUND) return UniqueHandle();
            file = CreateNew(path, access, share);
            if (!file && GetLastError() == ERROR_FILE_EXISTS) return Refused();  // a dangling link, or a race
        }
    }
    if (!file) return UniqueHandle();
    if (!IsPlainFileHandleW(file.Get(), path)) return Refused();
    return file;
}

bool DeleteThroughHandle(HANDLE object)
{
    DispositionInfo info{TRUE};
    return SetFileInformation(object, &info, sizeof(info), kFileDispositionInformation);
}

bool RenameThroughHandle(HANDLE object, const std::string& newPath, bool replace)
{
    return RenameThroughHandleW(object, AnsiToWide(newPath), replace);
}

bool RenameThroughHandleW(HANDLE object, const std::wstring& newPath, bool replace)
{
    const std::wstring name = L"\\??\\" + newPath;
    constexpr size_t kNameAt = offsetof(RenameInfo, FileName);
    std::vector<char> buffer(kNameAt + (name.size() + 1) * sizeof(wchar_t));
    auto* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->ReplaceIfExists = replace ? TRUE : FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<ULONG>(name.size() * sizeof(wchar_t));
    std::copy(name.begin(), name.end(), reinterpret_cast<wchar_t*>(buffer.data() + kNameAt));
    return SetFileInformation(object, buffer.data(), static_cast<ULONG>(buffer.size()), kFileRenameInformation);
}

bool ReadPlainFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    UniqueHandle file = OpenPlainFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, TCreate::Never);
    return file && ReadAllBytes(file.Get(), bytes);
}

bool WritePlainFile(const std::string& path, const std::string& bytes)
{
    // Written whole into a new file beside it and moved over it: a write that
    // fails half-way leaves the old file as it was, never a torn one.
    const std::string temporary =
        path + ".new" + std::to_string(GetCurrentThreadId()) + "-" + std::to_string(GetTickCount());
    UniqueHandle file = OpenPlainFile(temporary, GENERIC_WRITE | DELETE, 0, TCreate::AlwaysNew);
    if (!file) return false;
    bool done = WriteAllBytes(file.Get(), bytes) && FlushFileBuffers(file.Get());
    // Only a plain file is replaced (the rename replaces a link itself, so one
    // planted after this check reaches nothing).
    done = done && IsMissingOrPlainFile(path) && RenameThroughHandle(file.Get(), path, true);
    if (done) return true;
    const DWORD error = GetLastError();
    DeleteThroughHandle(file.Get());
    SetLastError(error);
    return false;
}

bool WriteNewPlainFile(const std::string& path, const std::string& bytes)
{
    return WriteNewPlainFileW(AnsiToWide(path), bytes);
}

bool WriteNewPlainFileW(const std::wstring& path, const std::string& bytes)
{
    UniqueHandle file = OpenPlainFileW(path, GENERIC_WRITE | DELETE, FILE_SHARE_READ, TCreate::AlwaysNew);
    if (!file) return false;
    if (WriteAllBytes(file.Get(), bytes)) return true;
    const DWORD error = GetLastError();
    DeleteThroughHandle(file.Get());  // ours, made just now: a torn copy goes again
    SetLastError(error);
    return false;
}

bool AppendPlainFile(const std::string& path, const std::string& bytes)
{
    UniqueHandle file = OpenPlainFile(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, TCreate::IfMissing);
    return file && WriteAllBytes(file.Get(), bytes);
}

bool LoadPlainLines(const std::string& path, TStringList& lines)
{
    lines.clear();
    std::string bytes;
    if (!ReadPlainFile(path, bytes)) return false;
    lines = SplitLines(bytes);
    return true;
}

bool SavePlainLines(const std::string& path, const TStringList& lines) { return WritePlainFile(path, JoinLines(lines)); }

bool DeletePlainFile(const std::string& path)
{
    UniqueHandle file = OpenPlainFile(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, TCreate::Never);
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return DeleteThroughHandle(file.Get());
}

bool RenamePlainFile(const std::string& from, const std::string& to)
{
    UniqueHandle file = OpenPlainFile(from, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, TCreate::Never);
    if (!file) return false;
    // Only a plain file is replaced; a rename that replaces a link replaces
    // the link itself, so one planted after this check reaches nothing.
    return IsMissingOrPlainFile(to) && RenameThroughHandle(file.Get(), to, true);
}

bool MoveFileHeldW(const std::wstring& source, const std::wstring& target, std::string& why)
{
    HeldFolders held;
    if (!HoldFolders(source, target, held, why)) return false;
    UniqueHandle file = OpenPlainFileW(source, DELETE | GENERIC_READ, FILE_SHARE_READ, TCreate::Never);
    if (!file) {
        why = ErrorWords("cannot take", source);
        return false;
    }
    if (RenameThroughHandleW(file.Get(), target, false)) return true;
    // Another drive: copied into a new file, then deleted through the handle
    // that was checked.
    std::string bytes;
    if (GetLastError() == ERROR_NOT_SAME_DEVICE && ReadAllBytes(file.Get(), bytes) && WriteNewPlainFileW(target, bytes) &&
        DeleteThroughHandle(file.Get()))
        return true;
    why = ErrorWords("cannot move to", target);
    return false;
}

bool DeleteFileHeldW(const std::wstring& path, std::string& why)
{
    UniqueHandle folder = OpenPlainFolderW(ExtractFileDirW(path));
    if (!folder) {
        why = NotPlainFolderWords(ExtractFileDirW(path));
        return false;
    }
    UniqueHandle file = OpenPlainFileW(path, DELETE, FILE_SHARE_READ, TCreate::Never);
    if (!file || !DeleteThroughHandle(file.Get())) {
        why = ErrorWords("cannot delete", path);
        return false;
    }
    return true;
}

bool CopyFileHeld(const std::string& source, const std::string& target, std::string& why)
{
    HeldFolders held;
    if (!HoldFolders(AnsiToWide(source), AnsiToWide(target), held, why)) return false;
    UniqueHandle from = OpenPlainFile(source, GENERIC_READ, FILE_SHARE_READ, TCreate::Never);
    std::string bytes;
    if (!from || !ReadAllBytes(from.Get(), bytes)) {
        why = ErrorWords("cannot read", AnsiToWide(source));
        return false;
    }
    if (!WritePlainFile(target, bytes)) {
        why = ErrorWords("cannot write", AnsiToWide(target));
        return false;
    }
    return true;
}
