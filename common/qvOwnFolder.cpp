#include "qvOwnFolder.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <atomic>

#include "qvFiles.h"
#include "qvLateApi.h"
#include "qvPlainFiles.h"
#include "qvStrings.h"
#include "uCommonUtils.h"

const char* const kOwnFolderSddl = "O:SYG:SYD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

std::atomic<FolderOwnerLookup> gOwnerLookup{nullptr};

// Wine hands back every file's owner as the calling user, whatever was set:
// there the owner cannot tell anyone's folder from ours.
bool OwnersAreKept() { return LateSystemProc<void*>("ntdll.dll", "wine_get_version") == nullptr; }

bool IsTrustedOwner(PSID owner)
{
    return owner && (IsWellKnownSid(owner, WinLocalSystemSid) || IsWellKnownSid(owner, WinBuiltinAdministratorsSid));
}

TFolderOwner SystemOwnerOf(HANDLE folder)
{
    if (!OwnersAreKept()) return TFolderOwner::Unknown;
    PSID owner = nullptr;
    UniqueLocal descriptor;
    PSECURITY_DESCRIPTOR raw = nullptr;
    if (GetSecurityInfo(folder, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr, &raw) !=
        ERROR_SUCCESS)
        return TFolderOwner::Unknown;
    descriptor.Reset(raw);
    return IsTrustedOwner(owner) ? TFolderOwner::Trusted : TFolderOwner::Other;
}

UniqueLocal OwnDescriptor()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kOwnFolderSddl, SDDL_REVISION_1, &descriptor, nullptr))
        return UniqueLocal();
    return UniqueLocal(descriptor);
}

bool ApplyOwnDescriptor(HANDLE folder)
{
    UniqueLocal descriptor = OwnDescriptor();
    if (!descriptor) return false;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted) ||
        !GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted))
        return false;
    const DWORD error = SetSecurityInfo(folder, SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                            PROTECTED_DACL_SECURITY_INFORMATION,
                                        owner, nullptr, dacl, nullptr);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

bool CreateWithOwnDescriptor(const std::string& folder)
{
    UniqueLocal descriptor = OwnDescriptor();
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor.Get(), FALSE};
    return CreateDirectoryA(folder.c_str(), descriptor ? &attributes : nullptr) != 0;
}

// The folder object itself, held without delete sharing, with the rights to
// change its descriptor and to move it aside.
UniqueHandle OpenFolderObject(const std::string& folder, DWORD access)
{
    return UniqueHandle(CreateFileA(folder.c_str(), access | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
}

constexpr DWORD kOwnRights = READ_CONTROL | WRITE_DAC | WRITE_OWNER | DELETE;

// Files an earlier version left took the folder's inherited descriptor, and
// a user may have added some and own them: each plain file gets ours too
// (a link or a second hard link is left alone, and refused when opened).
std::string SecureFilesInside(const std::string& folder)
{
    std::string refused;
    WIN32_FIND_DATAA data{};
    UniqueFindHandle find(FindFirstFileA((folder + "\\*").c_str(), &data));
    if (!find) return refused;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        const std::string path = folder + "\\" + data.cFileName;
        UniqueHandle file = OpenPlainFile(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, TCreate::Never);
        if (!file || !ApplyOwnDescriptor(file.Get())) refused += std::string(refused.empty() ? "" : ", ") + data.cFileName;
    } while (FindNextFileA(find.Get(), &data));
    return refused;
}

std::string Reason(bool plain, TFolderOwner owner)
{
    if (!plain) return "not a plain folder (a link or reparse point, or a link on the way)";
    return owner == TFolderOwner::Other ? "owned by neither SYSTEM nor Administrators" : "";
}

}  // namespace

void SetFolderOwnerLookup(FolderOwnerLookup lookup) { gOwnerLookup = lookup; }

TFolderOwner FolderOwnerOf(HANDLE folder)
{
    const FolderOwnerLookup lookup = gOwnerLookup.load();
    return lookup ? lookup(folder) : SystemOwnerOf(folder);
}

TOwnFolderResult TakeOwnFolder(const std::string& folderPath)
{
    const std::string folder = ExcludeTrailingBackslash(folderPath);
    TOwnFolderResult result;
    if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES) {
        UniqueHandle held = OpenFolderObject(folder, kOwnRights);
        // A folder whose descriptor keeps SYSTEM out is not ours either: the
        // right to move it aside comes from the parent folder.
        const bool shutOut = !held && GetLastError() == ERROR_ACCESS_DENIED;
        if (shutOut) held = OpenFolderObject(folder, DELETE);
        if (!held) {
            result.Note = folder + " cannot be opened (error " + std::to_string(GetLastError()) + "); not used";
            return result;
        }
        const bool plain = IsPlainFolderHandle(held.Get(), folder);
        const TFolderOwner owner = shutOut ? TFolderOwner::Other : plain ? FolderOwnerOf(held.Get()) : TFolderOwner::Unknown;
        if (plain && owner != TFolderOwner::Other) {
            // Ours, or made by an administrator: its contents stay, and its
            // descriptor becomes ours (earlier versions left the inherited one).
            result.Usable = true;
            if (!ApplyOwnDescriptor(held.Get()))
                result.Note = folder + ": own descriptor not applied (error " + std::to_string(GetLastError()) + ")";
            const std::string refused = SecureFilesInside(folder);
            if (!refused.empty())
                result.Note += (result.Note.empty() ? "" : "; ") + folder + ": not plain files, left unused: " + refused;
            return result;
        }
        // Moved aside through the handle checked above. Where the system
        // opened a link's target instead of the link (Wine), moving it would
        // move someone else's folder: then the place stays unused.
        std::string stamp = GetTimeStamp();
        if (!stamp.empty() && stamp.back() == '_') stamp.pop_back();
        const std::string aside = folder + ".untrusted-" + stamp;
        if (!OpenObjectIsNamed(held.Get(), folder) || !RenameThroughHandle(held.Get(), aside, false)) {
            result.Note = folder + " is " + Reason(plain, owner) + " and cannot be moved aside; not used";
            return result;
        }
        result.Note = folder + " was " + Reason(plain, owner) + "; moved aside to " + aside;
    }
    if (!CreateWithOwnDescriptor(folder)) {
        result.Note += (result.Note.empty() ? "" : "; ") + folder + " cannot be made (error " +
                       std::to_string(GetLastError()) + ")";
        return result;
    }
    // Made by us just now; checked once more, since the name was free for a moment.
    UniqueHandle made = OpenFolderObject(folder, kOwnRights);
    result.Usable = made && IsPlainFolderHandle(made.Get(), folder);
    if (!result.Usable) result.Note += (result.Note.empty() ? "" : "; ") + folder + " made, but not a plain folder; not used";
    return result;
}
