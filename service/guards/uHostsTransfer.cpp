#include "uHostsTransfer.h"

#include <windows.h>

#include <cctype>

#include "qvFiles.h"
#include "qvHandles.h"
#include "qvPlainFiles.h"
#include "uCommonUtils.h"
#include "uRunFileFromSrv.h"

namespace {

constexpr const char* kTransferSuffix = "qrv.~tmp";

bool InTransferFolder(const std::string& path)
{
    const std::string folder = LongPathName(ExtractFileDir(path));
    for (const std::string& allowed : HostsTransferFolders())
        if (!allowed.empty() && SameText(folder, LongPathName(allowed))) return true;
    return false;
}

}  // namespace

TStringList HostsTransferFolders()
{
    TStringList folders;
    // The user may point TEMP anywhere (the system folder, say); the service
    // writes and reads there only inside the user's own profile folder, as
    // the machine's profile list names it, and never through a link.
    std::string sid, name;
    const std::string userTemp = GetConsoleUserTempFolder();
    if (GetConsoleUserSidAndName(sid, name) && IsPlainFolderInside(userTemp, GetUserProfileFolder(sid)))
        folders.push_back(userTemp);
    // Its own temporary folder, unless that is where it keeps its own files.
    const std::string own = LongPathName(ExcludeTrailingBackslash(GetEnvVar("TEMP")));
    const std::string data = LongPathName(ExcludeTrailingBackslash(GetDataFolder()));
    if (!own.empty() && !SameText(own, data) && !StartsText(data + "\\", own)) folders.push_back(own);
    return folders;
}

bool IsHostsTransferPath(const std::string& path)
{
    if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' || path[2] != '\\')
        return false;
    // No second drive colon (alternate streams), no other separator, no wildcards.
    if (path.find_first_of(":/*?\"<>|", 2) != std::string::npos) return false;
    size_t start = 3;
    for (;;) {
        size_t sep = path.find('\\', start);
        std::string part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (part == ".." || part == "." || part.empty()) return false;
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    // What the system would make of the name must be the name itself (trailing
    // dots and blanks are dropped by it, for example).
    char full[MAX_PATH * 2];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof(full), full, nullptr);
    if (n == 0 || n >= sizeof(full) || !SameText(full, path)) return false;
    if (!EndsWith(LowerCase(ExtractFileName(path)), kTransferSuffix)) return false;
    if (!InTransferFolder(path)) return false;
    // The name itself no link: a plain file, nothing yet, or a plain folder
    // (refused as the user when it is read).
    return OpenPlainFolder(ExtractFileDir(path)) && (IsMissingOrPlainFile(path) || OpenPlainFolder(path));
}

bool WriteNewTransferFile(const std::string& path, const std::string& bytes)
{
    bool written = false;
    {
        UniqueHandle file(
            CreateFileA(path.c_str(), GENERIC_WRITE | GENERIC_READ, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;  // an existing name (a link as well) is never opened
        if (IsPlainFileHandle(file.Get(), path)) {
            DWORD done = 0;
            written = bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                                                  nullptr) &&
                                        done == bytes.size());
        }
    }
    // The file is ours, made just now: whatever went wrong, it goes again.
    if (!written) DeleteFileA(path.c_str());
    return written;
}

TTransferRead ReadTransferFile(const std::string& path, std::string& bytes)
{
    bytes.clear();
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? TTransferRead::Missing : TTransferRead::Refused;
    }
    LARGE_INTEGER fileSize{};
    if (!IsPlainFileHandle(file.Get(), path) || !GetFileSizeEx(file.Get(), &fileSize)) return TTransferRead::Refused;
    const int64_t size = fileSize.QuadPart;
    if (size > kMaxHostsTransferSize) return TTransferRead::Refused;
    bytes.resize(static_cast<size_t>(size));
    DWORD done = 0;
    if (size > 0 && (!ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(size), &done, nullptr) || done != size)) {
        bytes.clear();
        return TTransferRead::Refused;
    }
    return TTransferRead::Read;
}
