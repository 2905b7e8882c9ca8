#include "Trust.h"

#include <windows.h>
#include <wincrypt.h>
#include <mscat.h>
#include <softpub.h>
#include <wintrust.h>

#include <cstddef>
#include <cstdint>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "md5.h"
#include "qvCaught.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "qvPlainFiles.h"
#include "qvStrings.h"
#include "qvWideText.h"
#include "uCommonUtils.h"

namespace {

// Entry points of "wintrust.dll"; set and cleared under gLock, used by checks
// that gChecks counts (below).
struct TrustApi {
    decltype(&CryptCATAdminAcquireContext) acquireContext = nullptr;
    decltype(&CryptCATAdminReleaseContext) releaseContext = nullptr;
    decltype(&CryptCATAdminCalcHashFromFileHandle) calcHash = nullptr;
    decltype(&CryptCATAdminEnumCatalogFromHash) enumCatalog = nullptr;
    decltype(&CryptCATCatalogInfoFromContext) catalogInfo = nullptr;
    decltype(&CryptCATAdminReleaseCatalogContext) releaseCatalog = nullptr;
    decltype(&WinVerifyTrust) verifyTrust = nullptr;

    bool Complete() const
    {
        return acquireContext && releaseContext && calcHash && enumCatalog && catalogInfo && releaseCatalog &&
               verifyTrust;
    }
};

enum class TrustState { NotLoaded, Loaded, Finalized };

// The state and the entry points change under gLock. Checks run outside it,
// many at a time, each counted in gChecks: the library is freed only once no
// check uses it. (Windows XP has no SRW locks, and the runtime's reader-writer
// lock did not keep readers out while the library was being loaded.)
std::mutex gLock;
std::condition_variable gChecksDone;
int gChecks = 0;
TrustState gState = TrustState::NotLoaded;
TrustApi gApi;
UniqueModule gLibrary;  // wintrust.dll while gApi's entry points are set

using ExclusiveLock = std::unique_lock<std::mutex>;

template <typename Fn>
void Resolve(HMODULE library, const char* name, Fn& fn)
{
    fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// From the system folder by full path: a LocalSystem service must not pick up a
// planted copy from its own or the current folder.
HMODULE LoadWinTrust()
{
    char folder[MAX_PATH] = {};
    UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return nullptr;
    std::string path = std::string(folder, length) + "\\wintrust.dll";
    HMODULE library = LoadLibraryA(path.c_str());
    if (reinterpret_cast<uintptr_t>(library) < 32) return nullptr;
    return library;
}

std::wstring HexTag(const BYTE* bytes, DWORD size)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring tag;
    tag.reserve(size * 2);
    for (DWORD i = 0; i < size; ++i) {
        tag += digits[bytes[i] >> 4];
        tag += digits[bytes[i] & 0x0F];
    }
    return tag;
}

// One verification with the generic Authenticode policy: no user interface,
// no revocation checks, no state kept after the call.
bool Verify(const TrustApi& api, WINTRUST_DATA& data)
{
    GUID policy = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    data.cbStruct = sizeof(data);
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwProvFlags = WTD_REVOCATION_CHECK_NONE;
    data.dwStateAction = WTD_STATEACTION_IGNORE;
    return api.verifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &policy, &data) == 0;
}

bool VerifyCatalogMember(const TrustApi& api, const CATALOG_INFO& catalog, const std::wstring& tag,
                         const std::wstring& path)
{
    WINTRUST_CATALOG_INFO member{};
    member.cbStruct = sizeof(member);
    member.pcwszCatalogFilePath = catalog.wszCatalogFile;
    member.pcwszMemberTag = tag.c_str();
    member.pcwszMemberFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_CATALOG;
    data.pCatalog = &member;
    return Verify(api, data);
}

bool VerifyEmbedded(const TrustApi& api, const std::wstring& path)
{
    WINTRUST_FILE_INFO file{};
    file.cbStruct = sizeof(file);
    file.pcwszFilePath = path.c_str();
    WINTRUST_DATA data{};
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    return Verify(api, data);
}

class CatAdminContext {
public:
    explicit CatAdminContext(const TrustApi& api) : api_(api)
    {
        if (!api_.acquireContext(&admin_, nullptr, 0)) admin_ = nullptr;
    }
    ~CatAdminContext()
    {
        if (admin_) api_.releaseContext(admin_, 0);
    }
    CatAdminContext(const CatAdminContext&) = delete;
    CatAdminContext& operator=(const CatAdminContext&) = delete;
    HCATADMIN Get() const { return admin_; }

private:
    const TrustApi& api_;
    HCATADMIN admin_ = nullptr;
};

class CatalogContext {
public:
    CatalogContext(const TrustApi& api, HCATADMIN admin, HCATINFO info) : api_(api), admin_(admin), info_(info) {}
    ~CatalogContext()
    {
        if (info_) api_.releaseCatalog(admin_, info_, 0);
    }
    CatalogContext(const CatalogContext&) = delete;
    CatalogContext& operator=(const CatalogContext&) = delete;
    HCATINFO Get() const { return info_; }

private:
    const TrustApi& api_;
    HCATADMIN admin_;
    HCATINFO info_;
};

bool ReadAt(HANDLE file, LONG offset, void* buffer, DWORD size)
{
    DWORD got = 0;
    return SetFilePointer(file, offset, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, buffer, size, &got, nullptr) && got == size;
}

// A program's embedded signature lives in its certificate table: a program
// file without one has none to verify (the costly part of the test). Any
// other kind of file is left to WinVerifyTrust.
bool MayCarryEmbeddedSignature(HANDLE file)
{
    IMAGE_DOS_HEADER dos{};
    if (!ReadAt(file, 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew <= 0) return true;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header{};
    WORD magic = 0;
    const LONG optional = dos.e_lfanew + sizeof(signature) + sizeof(header);
    if (!ReadAt(file, dos.e_lfanew, &signature, sizeof(signature)) || signature != IMAGE_NT_SIGNATURE ||
        !ReadAt(file, dos.e_lfanew + sizeof(signature), &header, sizeof(header)) ||
        !ReadAt(file, optional, &magic, sizeof(magic)))
        return true;
    // The data directories follow the optional header's fixed part, which
    // differs between 32- and 64-bit programs.
    LONG directories;
    DWORD count = 0;
    if (magic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        directories = optional + offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
        if (!ReadAt(file, optional + offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes), &count, sizeof(count)))
            return true;
    } else if (magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        directories = optional + offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
        if (!ReadAt(file, optional + offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes), &count, sizeof(count)))
            return true;
    } else {
        return true;
    }
    if (count <= IMAGE_DIRECTORY_ENTRY_SECURITY) return false;
    IMAGE_DATA_DIRECTORY security{};
    if (!ReadAt(file, directories + IMAGE_DIRECTORY_ENTRY_SECURITY * sizeof(security), &security, sizeof(security)))
        return true;
    return security.Size != 0;
}

bool CheckFile(const TrustApi& api, const std::wstring& widePath)
{
    CatAdminContext admin(api);
    if (!admin.Get()) return false;

    BYTE hash[256];
    DWORD hashSize = sizeof(hash);
    bool embedded = true;
    {
        UniqueHandle file(CreateFileW(widePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) return false;
        if (!api.calcHash(file.Get(), &hashSize, hash, 0) || hashSize > sizeof(hash)) return false;
        embedded = MayCarryEmbeddedSignature(file.Get());
    }
    std::wstring tag = HexTag(hash, hashSize);

    // A file that a catalog holds is judged by that catalog alone.
    CatalogContext catalog(api, admin.Get(), api.enumCatalog(admin.Get(), hash, hashSize, 0, nullptr));
    if (catalog.Get()) {
        CATALOG_INFO info{};
        info.cbStruct = sizeof(info);
        if (!api.catalogInfo(catalog.Get(), &info, 0)) return false;
        return VerifyCatalogMember(api, info, tag, widePath);
    }
    return embedded && VerifyEmbedded(api, widePath);
}

}  // namespace

namespace {

void LoadTrustApi()
{
    gState = TrustState::Loaded;
    HMODULE library = LoadWinTrust();
    if (!library) return;
    gLibrary.Reset(library);
    Resolve(library, "CryptCATAdminAcquireContext", gApi.acquireContext);
    Resolve(library, "CryptCATAdminReleaseContext", gApi.releaseContext);
    Resolve(library, "CryptCATAdminCalcHashFromFileHandle", gApi.calcHash);
    Resolve(library, "CryptCATAdminEnumCatalogFromHash", gApi.enumCatalog);
    Resolve(library, "CryptCATCatalogInfoFromContext", gApi.catalogInfo);
    Resolve(library, "CryptCATAdminReleaseCatalogContext", gApi.releaseCatalog);
    Resolve(library, "WinVerifyTrust", gApi.verifyTrust);
}

}  // namespace

void InitTrust()
{
    ExclusiveLock lock(gLock);
    if (gState == TrustState::NotLoaded) LoadTrustApi();
}

void FinalizeTrust()
{
    ExclusiveLock lock(gLock);
    const TrustState was = gState;
    gState = TrustState::Finalized;  // no new check starts
    gChecksDone.wait(lock, [] { return gChecks == 0; });
    if (was == TrustState::Loaded) gLibrary.Reset();
    gApi = TrustApi();
    gState = TrustState::Finalized;
}

bool IsFileSigned(const std::string& path) { return IsFileSignedW(AnsiToWide(path)); }

bool IsFileSignedW(const std::wstring& path)
{
    if (!FileExistsW(path)) return false;
    TrustApi api;
    {
        ExclusiveLock lock(gLock);
        if (gState == TrustState::NotLoaded) LoadTrustApi();
        if (gState != TrustState::Loaded || !gApi.Complete()) return false;
        api = gApi;
        ++gChecks;
    }
    struct CheckDone {
        ~CheckDone()
        {
            ExclusiveLock lock(gLock);
            if (--gChecks == 0) gChecksDone.notify_all();
        }
    } done;
    try {
        return CheckFile(api, path);
    } catch (const std::exception& error) {
        ReportCaught("signature check", error);
    } catch (...) {
        ReportUnknownCaught("signature check");
    }
    return false;
}

namespace {

std::mutex gGoodListLock;

}  // namespace

std::string GoodListPath() { return GetDataFolder() + "goodlist.arn"; }

namespace {

int64_t FileSize(DWORD high, DWORD low) { return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low); }

std::wstring PathKey(const std::wstring& path)
{
    std::wstring key = path;
    if (!key.empty()) CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace

TFileDigest DigestFileW(const std::wstring& path)
{
    TFileDigest file;
    file.Path = path;
    UniqueHandle opened = OpenFileForDigestW(path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!opened || !GetFileInformationByHandle(opened.Get(), &info)) return file;
    file.Size = FileSize(info.nFileSizeHigh, info.nFileSizeLow);
    file.Md5 = DigestOfOpenedFile(opened.Get(), path);
    return file;
}

int64_t TFileDigestCache::SizeOf(const std::wstring& path)
{
    auto known = byPath_.find(PathKey(path));
    if (known != byPath_.end()) return known->second->Size;
    // Most images match no size asked about: their attributes answer without an open.
    Wow64RedirectionOff redirection;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return -1;
    return FileSize(data.nFileSizeHigh, data.nFileSizeLow);
}

const TFileDigest& TFileDigestCache::Of(const std::wstring& path)
{
    const std::wstring key = PathKey(path);
    auto known = byPath_.find(key);
    if (known != byPath_.end()) return *known->second;
    auto entry = std::make_shared<TFileDigest>();
    entry->Path = path;
    // Identity, size and digest come through one handle, so they describe
    // one and the same file.
    UniqueHandle opened = OpenFileForDigestW(path);
    BY_HANDLE_FILE_INFORMATION info{};
    if (opened && GetFileInformationByHandle(opened.Get(), &info)) {
        const auto identity = std::make_pair(static_cast<uint64_t>(info.dwVolumeSerialNumber),
                                             (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow);
        auto same = byFile_.find(identity);
        if (same != byFile_.end()) return *byPath_.emplace(key, same->second).first->second;
        entry->Size = FileSize(info.nFileSizeHigh, info.nFileSizeLow);
        entry->Md5 = DigestOfOpenedFile(opened.Get(), path);
        byFile_.emplace(identity, entry);
    }
    return *byPath_.emplace(key, entry).first->second;
}

bool IsKnownGoodFile(const std::string& path) { return IsKnownGoodFileW(AnsiToWide(path)); }

bool IsKnownGoodFileW(const std::wstring& path) { return IsKnownGoodFile(DigestFileW(path)); }

namespace {

// On the good list, or signed (its digest then joins the list, so the next
// test needs no signature check).
bool IsApproved(const TFileDigest& file, TStringList& goodList)
{
    if (!file.Md5.empty() && IndexOf(goodList, file.Md5) >= 0) return true;
    if (!IsFileSignedW(file.Path)) return false;
    if (!file.Md5.empty()) {
        AddGoodListDigest(file.Md5);
        goodList.push_back(file.Md5);
    }
    return true;
}

}  // namespace

bool IsKnownGoodFile(const TFileDigest& file)
{
    TStringList lines;
    LoadPlainLines(GoodListPath(), lines);  // missing or refused: no digest is approved by it
    return IsApproved(file, lines);
}

TTrustJudge::TTrustJudge() { LoadPlainLines(GoodListPath(), goodList_); }

bool TTrustJudge::IsTrusted(const TFileDigest& file)
{
    return IsApproved(file, goodList_) || IsDigestOnTrustList(file.Md5);
}

bool IsTrustedFile(const TFileDigest& file) { return IsKnownGoodFile(file) || IsDigestOnTrustList(file.Md5); }

void AddGoodListDigest(const std::string& digest)
{
    if (!IsMd5Hex(digest)) return;  // one line of the list is one digest
    std::lock_guard<std::mutex> guard(gGoodListLock);
    std::string bytes;
    if (!ReadPlainFile(GoodListPath(), bytes) && GetLastError() != ERROR_FILE_NOT_FOUND) return;
    if (IndexOf(SplitLines(bytes), digest) >= 0) return;
    std::string line = (!bytes.empty() && bytes.back() != '\n') ? "\r\n" : "";
    line += digest + "\r\n";
    AppendPlainFile(GoodListPath(), line);
}
