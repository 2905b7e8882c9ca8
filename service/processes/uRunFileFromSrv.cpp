#include "uRunFileFromSrv.h"

#include <windows.h>
#include <sddl.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <vector>

#include "RegistryUtils.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvStrings.h"
#include "uPIDProcessing.h"

// WTSQueryUserToken is looked up at run time: the library is not on every
// system the service runs on.
bool QueryConsoleUserToken(UniqueHandle& token)
{
    UniqueModule library(LoadLibraryA("Wtsapi32.dll"));
    if (reinterpret_cast<uintptr_t>(library.Get()) <= 32) return false;
    using QueryUserTokenFn = BOOL(WINAPI*)(ULONG, PHANDLE);
    auto queryUserToken = reinterpret_cast<QueryUserTokenFn>(
        reinterpret_cast<void*>(GetProcAddress(library.Get(), "WTSQueryUserToken")));
    if (!queryUserToken) return false;
    HANDLE raw = nullptr;
    if (!queryUserToken(WTSGetActiveConsoleSessionId(), &raw)) return false;
    token.Reset(raw);
    return token.Valid();
}

namespace {

std::string SessionUserName()
{
    char* buffer = nullptr;
    DWORD size = 0;
    if (!WTSQuerySessionInformationA(WTS_CURRENT_SERVER_HANDLE, WTSGetActiveConsoleSessionId(), WTSUserName, &buffer,
                                     &size) ||
        !buffer)
        return {};
    std::string name = buffer;
    WTSFreeMemory(buffer);
    return name;
}

}  // namespace

std::string GetConsoleUserName()
{
    std::string name = SessionUserName();
    if (name.empty()) {
        std::string sid;
        GetConsoleUserSidAndName(sid, name);
    }
    return name;
}

bool GetConsoleUserSidAndName(std::string& sid, std::string& name)
{
    sid.clear();
    name.clear();
    UniqueHandle token;
    if (!QueryConsoleUserToken(token)) return false;
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size) && GetLastError() != ERROR_INSUFFICIENT_BUFFER)
        return false;
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return false;
    PSID userSid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    char userName[50] = {};
    char domain[63] = {};
    DWORD nameSize = sizeof(userName);
    DWORD domainSize = sizeof(domain);
    SID_NAME_USE use{};
    if (!LookupAccountSidA(nullptr, userSid, userName, &nameSize, domain, &domainSize, &use)) return false;
    sid = TokenUserSid(token.Get());
    if (sid.empty()) return false;
    name = userName;
    return true;
}

std::string GetConsoleUserTempFolder()
{
    UniqueHandle token;
    if (!QueryConsoleUserToken(token)) return {};
    void* environment = nullptr;
    if (!CreateEnvironmentBlock(&environment, token.Get(), FALSE)) return {};
    std::string folder;
    // The block: "NAME=value" wide strings one after another, ended by an empty one.
    for (const wchar_t* entry = static_cast<const wchar_t*>(environment); *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"TEMP=", 5) != 0) continue;
        char buffer[MAX_PATH * 2] = {};
        int n = WideCharToMultiByte(CP_ACP, 0, entry + 5, -1, buffer, sizeof(buffer), nullptr, nullptr);
        if (n > 1) folder = ExcludeTrailingBackslash(std::string(buffer, n - 1));
        break;
    }
    DestroyEnvironmentBlock(environment);
    return folder;
}

std::string GetUserProfileFolder(const std::string& sid)
{
    if (sid.empty()) return {};
    TRegEngine rec;
    rec.Root = kRootHKLM;
    rec.Key = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList\\" + sid;
    rec.Value = "ProfileImagePath";
    return ExcludeTrailingBackslash(ExpandEnvironment(ReadRegString(rec)));
}

uint32_t RunFileAsConsoleUser(const std::string& program, const std::string& commandLine, uint32_t creationFlags)
{
    UniqueHandle token;
    if (!QueryConsoleUserToken(token)) return 0;
    HANDLE raw = nullptr;
    if (!DuplicateTokenEx(token.Get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary, &raw)) return 0;
    UniqueHandle primary(raw);

    void* environment = nullptr;
    DWORD flags = creationFlags;
    if (CreateEnvironmentBlock(&environment, primary.Get(), TRUE))
        flags |= CREATE_UNICODE_ENVIRONMENT;
    else
        environment = nullptr;

    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    char desktop[] = "winsta0\\default";
    startup.lpDesktop = desktop;
    const std::string folder = ExtractFileDir(program);
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    UniqueProcessInformation info;
    const BOOL started =
        CreateProcessAsUserA(primary.Get(), program.c_str(), command.data(), nullptr, nullptr, FALSE, flags, environment,
                             folder.empty() ? nullptr : folder.c_str(), &startup, info.Put());
    if (environment) DestroyEnvironmentBlock(environment);
    return started ? info.Get().dwProcessId : 0;
}
