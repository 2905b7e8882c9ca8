#include "uChangeFilesProcedures.h"

#include <windows.h>

#include "RegistryUtils.h"
#include "Trust.h"
#include "md5.h"
#include "qvErrors.h"
#include "qvFiles.h"
#include "qvOwnFolder.h"
#include "qvPlainFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uPIDProcessing.h"
#include "uServiceUtils.h"

namespace {

// "dllcaсhe" with the Cyrillic с (0xF1 in code page 1251): a name of our own,
// not the system's dllcache folder.
const char* const kReferenceFolderName = "dllca\xF1" "he";

std::string SystemUserinit() { return GetSystemFolder() + "userinit.exe"; }
std::string SystemTaskmgr() { return GetSystemFolder() + "taskmgr.exe"; }

bool SettingExists(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return RegValueExists(rec);
}

void EnsureReferenceFolder()
{
    for (const std::string& folder : {ExcludeTrailingBackslash(GetDataFolder()), GetDataFolder() + kReferenceFolderName}) {
        if (DirectoryExists(folder)) continue;
        const TOwnFolderResult own = TakeOwnFolder(folder);
        if (!own.Note.empty()) WriteServiceLog("reference copies: " + own.Note);
        if (!own.Usable) throw EInOutError(GetLastError(), "cannot use " + folder);
    }
}

// The reference folder is the service's own and the system folder holds
// the originals: neither copy may follow a link planted on either side.
bool CopyHeldOrLog(const std::string& source, const std::string& target)
{
    std::string why;
    if (CopyFileHeld(source, target, why)) return true;
    WriteServiceLog("copy not made: " + why);
    return false;
}

void StoreDigest(const std::string& name, const std::string& file)
{
    TRegEngine rec = SettingRef(name);
    if (!WriteRegString(rec, GetFileMD5(file)))
        WriteServiceLog("контрольная сумма " + name + " не сохранена (" + RegErrorText(rec) + ")");
}

bool DigestMatches(const std::string& name, const std::string& file)
{
    const std::string stored = ReadSettingString(name);
    const std::string current = GetFileMD5(file);
    // A missing file has no digest and never matches, even an empty stored one.
    return !current.empty() && SameText(stored, current);
}

}  // namespace

std::string ReferenceFolder() { return GetDataFolder() + kReferenceFolderName + "\\"; }

bool ProtectedFilesGuardApplies(int osMajorVersion) { return osMajorVersion < 6; }

bool IsSystemUserinitSigned() { return IsFileSigned(SystemUserinit()); }
bool IsSystemTaskmgrSigned() { return IsFileSigned(SystemTaskmgr()); }

bool UserinitDigestMatches() { return DigestMatches("1h", SystemUserinit()); }
bool TaskmgrDigestMatches() { return DigestMatches("2h", SystemTaskmgr()); }

bool MakeUserinitReference()
{
    try {
        if (!IsSystemUserinitSigned()) return false;
        EnsureReferenceFolder();
        if (CopyHeldOrLog(SystemUserinit(), ReferenceFolder() + "userinit.exe")) {
            StoreDigest("1h", SystemUserinit());
            return true;
        }
        RecordEvent(evkUserinitCopyFailed, evmNotCopied, "");
    } catch (const std::exception& e) {
        WriteServiceLog(e.what());
    }
    return false;
}

// The callers have tested the signature.
bool MakeTaskmgrReference()
{
    EnsureReferenceFolder();
    if (CopyHeldOrLog(SystemTaskmgr(), ReferenceFolder() + "taskmgr.exe")) {
        StoreDigest("2h", SystemTaskmgr());
        return true;
    }
    RecordEvent(evkTaskmgrCopyFailed, evmNotCopied, "");
    return false;
}

bool RestoreUserinit()
{
    const std::string reference = ReferenceFolder() + "userinit.exe";
    if (!IsFileSigned(reference)) return false;
    return CopyHeldOrLog(reference, SystemUserinit());
}

bool RestoreTaskmgr()
{
    const std::string reference = ReferenceFolder() + "taskmgr.exe";
    if (!FileExists(reference)) return false;
    // A running Task Manager holds its file; it is ended before the copy.
    TerminateProcessesByName("taskmgr.exe");
    Sleep(100);
    return CopyHeldOrLog(reference, SystemTaskmgr());
}

void CheckUserinit()
{
    try {
        if (!ReadSettingBool("file_userinit")) return;
        if (!SettingExists("1h")) {
            MakeUserinitReference();
            return;
        }
        if (UserinitDigestMatches()) return;
        if (IsSystemUserinitSigned()) {
            // A signed replacement (an update) becomes the new reference.
            MakeUserinitReference();
            return;
        }
        // Reported as restored, and the shell restarted with it, only when the
        // file really is the reference again; otherwise the replacement would
        // be started by us.
        if (RestoreUserinit() && UserinitDigestMatches()) {
            RecordEvent(evkChangeUserinit, evmChangeFile, "");
            RestartShell(true);
        } else {
            RecordEvent(evkUserinitCopyFailed, evmNotCopied, "");
        }
    } catch (const std::exception& error) {
        WriteServiceLog(std::string("userinit.exe check: ") + error.what());
    }
}

void CheckTaskmgr()
{
    if (!ReadSettingBool("file_taskman")) return;
    if (!SettingExists("2h")) {
        if (IsSystemTaskmgrSigned()) MakeTaskmgrReference();
        return;
    }
    if (TaskmgrDigestMatches()) return;
    if (IsSystemTaskmgrSigned()) {
        MakeTaskmgrReference();
        return;
    }
    if (RestoreTaskmgr() && TaskmgrDigestMatches())
        RecordEvent(evkChangeTaskmgr, evmChangeFile, "");
    else
        RecordEvent(evkTaskmgrCopyFailed, evmNotCopied, "");
}

void CheckProtectedFiles()
{
    CheckUserinit();
    CheckTaskmgr();
}

void CheckProtectedFilesDelayed()
{
    Sleep(100);
    CheckUserinit();
    Sleep(100);
    CheckTaskmgr();
}
