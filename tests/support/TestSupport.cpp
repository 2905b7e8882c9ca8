#include "TestSupport.h"

#include <atomic>

#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"

namespace {

std::string UnixName(const std::string& path)
{
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return "";
    wchar_t wide[MAX_PATH * 2] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2);
    char* name = unixName(wide);
    const std::string text = name ? name : "";
    HeapFree(GetProcessHeap(), 0, name);
    return text;
}

// Wine starts a Unix program without a handle to wait on: the caller waits
// for what the program does.
bool StartUnix(const std::string& program, std::string commandLine)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(("Z:" + program).c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    CloseHandle(info.hProcess);
    CloseHandle(info.hThread);
    return true;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool MakeLink(const std::string& link, const std::string& target)
{
    return StartUnix("\\bin\\ln", "/bin/ln -sfn \"" + UnixName(target) + "\" \"" + UnixName(link) + "\"") &&
           WaitUntil([&] { return Exists(link); }, 15000);
}

bool MakeHardLink(const std::string& link, const std::string& target)
{
    auto linked = [&] {
        BY_HANDLE_FILE_INFORMATION info{};
        HANDLE file = CreateFileA(target.c_str(), FILE_READ_ATTRIBUTES, 7, nullptr, OPEN_EXISTING, 0, nullptr);
        const bool two = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info) && info.nNumberOfLinks > 1;
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        return two && Exists(link);
    };
    return StartUnix("\\bin\\ln", "/bin/ln -f \"" + UnixName(target) + "\" \"" + UnixName(link) + "\"") &&
           WaitUntil(linked, 15000);
}

bool RemoveLink(const std::string& link)
{
    const std::string name = UnixName(link);
    return !name.empty() && StartUnix("\\bin\\rm", "/bin/rm -f \"" + name + "\"") &&
           WaitUntil([&] { return !Exists(link); }, 15000);
}

ScratchDir::ScratchDir()
{
    static std::atomic<int> counter{0};
    std::string base = ExcludeTrailingBackslash(GetEnvVar("TEMP"));
    if (base.empty()) base = "C:\\windows\\temp";
    path_ = base + "\\qvtest_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(counter++) + "_" +
            std::to_string(GetTickCount());
    ForceDirectories(path_);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA data{};
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::string HelperPath(const std::string& exeName) { return ModuleFolder() + exeName; }

bool WriteTextFile(const std::string& path, const std::string& bytes) { return WriteFileBytes(path, bytes); }

std::string ReadTextFile(const std::string& path)
{
    std::string bytes;
    ReadFileBytes(path, bytes);
    return bytes;
}

ChildProcess::~ChildProcess()
{
    Kill();
    if (info_.hProcess) CloseHandle(info_.hProcess);
    if (info_.hThread) CloseHandle(info_.hThread);
}

bool ChildProcess::Start(const std::string& exePath, const std::string& args)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    std::string commandLine = "\"" + exePath + "\"" + (args.empty() ? "" : " " + args);
    return CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &info_) != 0;
}

bool ChildProcess::Running() const
{
    return info_.hProcess && WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT;
}

DWORD ChildProcess::Wait(DWORD timeoutMs)
{
    if (!info_.hProcess) return 0;
    WaitForSingleObject(info_.hProcess, timeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
}

void ChildProcess::Kill()
{
    if (Running()) {
        TerminateProcess(info_.hProcess, 1);
        WaitForSingleObject(info_.hProcess, 5000);
    }
}

bool MakeRegistryLink(HKEY root, const std::string& key, const std::string& machineKey)
{
    UniqueRegKey link;
    if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, link.Put(), nullptr) != ERROR_SUCCESS)
        return false;
    const std::string path = "\\Registry\\Machine\\" + machineKey;
    const std::wstring target(path.begin(), path.end());
    return RegSetValueExW(link.Get(), L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.c_str()),
                          static_cast<DWORD>(target.size() * sizeof(wchar_t))) == ERROR_SUCCESS;
}
