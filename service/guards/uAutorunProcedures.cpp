#include "uAutorunProcedures.h"

#include <windows.h>

#include <exception>
#include <optional>
#include <vector>

#include "Trust.h"
#include "md5.h"
#include "qvFiles.h"
#include "qvPlainFiles.h"
#include "qvHandles.h"
#include "qvProtocol.h"
#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uMailSlots.h"
#include "uJail.h"
#include "uPIDProcessing.h"
#include "uPendingEntries.h"
#include "uServiceUtils.h"

namespace {

constexpr const char* kDisabledSubkey = "\\AutorunsDisabled";
constexpr const char* kDisabledFolder = "AutorunsDisabled";

struct RunKeySwitches {
    const char* Group;
    const char* Key;
};

// The group switch and the key's own switch of a Run-type kind; both must be on.
bool RunKeySwitchesFor(int32_t kind, RunKeySwitches& switches)
{
    switch (kind) {
    case evkRun:
    case evkRun64: switches = {"arn_all_reg", "arn_all_run"}; return true;
    case evkRunOnce:
    case evkRunOnce64: switches = {"arn_all_reg", "arn_all_runonce"}; return true;
    case evkRunOnceEx:
    case evkRunOnceEx64: switches = {"arn_all_reg", "arn_all_runonceex"}; return true;
    case evkPoliciesExplorerRun: switches = {"arn_all_reg", "arn_all_polices"}; return true;
    case evkUserRun: switches = {"arn_user_reg", "arn_user_run"}; return true;
    case evkUserRunOnce: switches = {"arn_user_reg", "arn_user_runonce"}; return true;
    case evkUserPoliciesRun: switches = {"arn_user_reg", "arn_user_polices"}; return true;
    default: return false;
    }
}

// A guard of one user's keys acts for that user: what it names may end that
// user's programs, never another user's or the system's.
bool IsUserRunKind(int32_t kind)
{
    return kind == evkUserRun || kind == evkUserRunOnce || kind == evkUserPoliciesRun;
}

TRegEngine DisabledRef(const TRegEngine& key)
{
    TRegEngine disabled = key;
    disabled.Key = key.Key + kDisabledSubkey;
    disabled.Error = 0;
    return disabled;
}

}  // namespace

bool DisableRegValueW(TRegEngine& key, const std::wstring& name, RegView view)
{
    // A value already gone (another watcher was first) must not overwrite the
    // quarantined copy with an empty text.
    if (!RegValueExistsW(key, name, view)) return false;
    const std::wstring text = ReadRegStringW(key, name, view);
    TRegEngine disabled = DisabledRef(key);
    // Not kept (a link in place of the subkey is refused): the value stays.
    if (!WriteRegStringW(disabled, name, text, view)) {
        WriteServiceLog("значение не помещено в карантин (" + RegErrorText(disabled) + "): " + disabled.Key + " " +
                        WideToAnsi(name));
        return false;
    }
    const bool deleted = DeleteRegValueW(key, name, view);
    if (!deleted && key.Error != ERROR_FILE_NOT_FOUND)
        WriteServiceLog("значение не удалено (" + RegErrorText(key) + "): " + key.Key + " " + WideToAnsi(name));
    NotifyAutorunManager();
    return deleted;
}

namespace {

// The raw entry that names the program: first by the program it starts (an
// entry may be quoted or written with environment strings), then by its text.
int FindValueEntry(const TStringList& entries, const std::string& entry)
{
    for (size_t i = 0; i < entries.size(); ++i)
        if (SameText(ResolveCommandProgram(entries[i]), entry)) return static_cast<int>(i);
    return IndexOfText(entries, entry);
}

bool IsProgramExtension(const std::string& ext)
{
    for (const char* program : {".exe", ".com", ".cmd", ".bat", ".pif", ""})
        if (ext == program) return true;
    return false;
}

// The record form of a name in the folder: the last part of the file's record
// form, so a name the code page cannot spell is its short name.
std::string RecordName(const std::wstring& file) { return ExtractFileName(WideToAnsiForRecord(file)); }

void CheckLinkFile(int32_t kind, double time, const std::wstring& folder, const std::wstring& name)
{
    TLnkStruc link;
    ReadShellLink(WideToAnsiForRecord(folder + L"\\" + name), link);
    // The shell expands the target's environment strings when it starts the
    // link; a target that is not there is looked for in the working folder.
    std::string found;
    if (!link.Target.empty()) found = ResolveCommandProgram("\"" + link.Target + "\"");
    if (found.empty() && !link.Target.empty() && !link.WorkDir.empty()) {
        const std::string inWorkDir = ExpandEnvironment(link.WorkDir) + "\\" + ExtractFileName(link.Target);
        if (FileExists(inWorkDir)) found = inWorkDir;
    }
    if (found.empty()) return;
    const std::wstring program = LongPathNameW(AnsiToWide(found));
    const TFileDigest read = DigestFileW(program);
    if (IsTrustedFile(read)) return;
    RecordEventAt(time, kind, evmAddFile, WideToAnsiForRecord(program), RecordName(folder + L"\\" + name), read.Md5);
    KillProgramW(program, false, &read);
    DisableFolderFileW(folder, name);
}

void CheckProgramFile(int32_t kind, double time, const std::wstring& folder, const std::wstring& name)
{
    const std::wstring file = folder + L"\\" + name;
    // Directly in the folder only a signature or the trust list spares a program.
    if (IsFileSignedW(file)) return;
    const TFileDigest read = DigestFileW(file);
    if (IsDigestOnTrustList(read.Md5)) return;
    RecordEventAt(time, kind, evmDangerExt, WideToAnsiForRecord(file), RecordName(file), read.Md5);
    DisableFolderFileW(folder, name);
    KillProgramW(file, false, &read);
    Sleep(1000);
}

void CheckOtherFile(int32_t kind, double time, const std::wstring& folder, const std::wstring& name)
{
    const std::wstring file = folder + L"\\" + name;
    const TFileDigest read = DigestFileW(file);
    if (IsTrustedFile(read)) return;
    RecordEventAt(time, kind, evmErrorExt, WideToAnsiForRecord(file), RecordName(file), read.Md5);
    DisableFolderFileW(folder, name);
}

}  // namespace


void CheckAppInitDlls(TRegEngine& key, RegView view)
{
    if (!ReadSettingBool("appinitdlls")) return;
    TRegEngine value = key;
    value.Value = "Appinit_Dlls";
    const std::string text = ReadRegString(value, view);
    if (text.empty()) return;
    TStringList entries;
    SplitCommandLine(text, entries, false);
    for (const std::string& entry : entries) {
        const std::string path = NormalizeCommandPath(entry);
        if (path.empty() || !FileExists(path)) continue;
        const TFileDigest read = DigestFileW(AnsiToWide(path));
        if (IsTrustedFile(read)) continue;
        RecordEvent(evkAppInitDlls, evmAddFile, path, path, read.Md5);
        DisableValueEntry(path, value, view);
    }
}

void CheckRunKey(int32_t kind, TRegEngine& key, RegView view)
{
    RunKeySwitches switches{};
    if (!RunKeySwitchesFor(kind, switches)) return;
    if (!ReadSettingBool(switches.Group) || !ReadSettingBool(switches.Key)) return;
    std::optional<TProcessOwnerScope> onlyTheUsers;
    if (IsUserRunKind(kind)) onlyTheUsers.emplace(KeyOwnerSid(key));
    TWideList names;
    TStringList missing;
    GetRegValueNamesW(key, names, view);
    for (const std::wstring& name : names) {
        Wow64RedirectionOff redirection;
        const std::wstring text = ReadRegStringW(key, name, view);
        const std::wstring path = ResolveCommandProgramW(text);
        // The record and the log carry the ANSI forms, made here once.
        const std::string listed = name.empty() ? std::string(kDefaultValueName) : WideToAnsi(name);
        // A value whose program is not there yet is looked at again for a while.
        if (path.empty()) {
            const std::string named = NormalizeCommandPath(WideToAnsi(text));
            if (!named.empty()) missing.push_back(listed + "\n" + named);
            continue;
        }
        const TFileDigest read = DigestFileW(path);
        if (IsTrustedFile(read)) continue;
        const std::string recordPath = WideToAnsiForRecord(path);
        RecordEvent(kind, evmAddFile, recordPath, listed, read.Md5);
        KillProgramW(path, false, &read);
        // The watched keys name their Wow6432Node part themselves, so on 64-bit
        // Windows the 64-bit view reaches the key that was read.
        DisableRegValueW(key, name, IsWin64System() ? RegView::Key64 : RegView::Default);
    }
    // A value may be written before its program: the key's watcher looks
    // again while such a value is pending.
    SetPendingEntries(key, missing);
}

void CheckUserLoadRun(TRegEngine& key)
{
    try {
        if (!ReadSettingBool("arn_user_reg")) return;
        int32_t kind;
        const char* keySwitch;
        if (key.Value == "run") {
            kind = evkUserRunValue;
            keySwitch = "arn_user_ntrun";
        } else if (key.Value == "load") {
            kind = evkUserLoadValue;
            keySwitch = "arn_user_ntload";
        } else {
            return;
        }
        if (!ReadSettingBool(keySwitch)) return;
        TProcessOwnerScope onlyTheUsers(KeyOwnerSid(key));
        const std::string text = ReadRegString(key);
        if (text.empty()) return;
        TStringList entries;
        SplitCommandLine(text, entries, false);
        for (const std::string& entry : entries) {
            std::string path = ResolveCommandProgram(entry);
            if (path.empty()) {
                Sleep(2000);  // the program may still be being written
                path = ResolveCommandProgram(entry);
                if (path.empty()) continue;
            }
            const TFileDigest read = DigestFileW(AnsiToWide(path));
            if (IsTrustedFile(read)) continue;
            RecordEvent(kind, evmAddFile, path, path, read.Md5);
            DisableValueEntry(path, key);
            KillProgram(path, false);
        }
    } catch (const std::exception& error) {
        // The watcher calls again at the value's next change.
        WriteServiceLog("check of " + key.Key + " " + key.Value + ": " + error.what());
    }
}

void CheckStartupFolder(int32_t kind, const std::string& folder, const std::string& userSid)
{
    if (folder.empty()) return;
    if (kind == evkCommonStartup && !ReadSettingBool("arn_all_folder")) return;
    if (kind == evkUserStartup && !ReadSettingBool("arn_user_folder")) return;
    std::optional<TProcessOwnerScope> onlyTheUsers;
    if (kind == evkUserStartup) onlyTheUsers.emplace(userSid);
    const double time = NowDateTime();
    Sleep(200);
    std::vector<std::wstring> names;
    const std::wstring base = AnsiToWide(ExcludeTrailingBackslash(folder));
    ListFolderFilesW(base, names);
    for (const std::wstring& name : names) {
        const std::string ext = LowerCase(ExtractFileExt(WideToAnsi(ExtractFileNameW(name))));
        if (ext == ".lnk") {
            try {
                CheckLinkFile(kind, time, base, name);
            } catch (const std::exception& error) {
                // One unreadable link must not spare the files after it.
                WriteServiceLog("check of " + WideToAnsiForRecord(base + L"\\" + name) + ": " + error.what());
            }
        } else if (IsProgramExtension(ext)) {
            CheckProgramFile(kind, time, base, name);
        } else {
            CheckOtherFile(kind, time, base, name);
        }
    }
}


void DisableValueEntry(const std::string& entry, TRegEngine& key, RegView view)
{
    TRegEngine disabledRef = DisabledRef(key);
    TStringList disabled, current;
    SplitCommandLine(ReadRegString(disabledRef, view), disabled, false);
    SplitCommandLine(ReadRegString(key, view), current, false);
    const int found = FindValueEntry(current, entry);
    if (found < 0) return;
    disabled.push_back(current[static_cast<size_t>(found)]);
    current.erase(current.begin() + found);

    if (!WriteRegString(disabledRef, JoinList(disabled, ", "), view)) {
        WriteServiceLog("запись не помещена в карантин (" + RegErrorText(disabledRef) + "): " + disabledRef.Key + " " +
                        key.Value);
        return;
    }
    if (!WriteRegString(key, JoinList(current, ", "), view))
        WriteServiceLog("запись не убрана из значения (" + RegErrorText(key) + "): " + key.Key + " " + key.Value);
    if (ReadRegString(disabledRef, view).empty()) DeleteRegValue(disabledRef, view);
    TStringList left;
    GetRegValueNames(disabledRef, left, view);
    // Key deletion reaches only the process's own view: a 32-bit service keeps
    // an empty quarantine key in the 64-bit view.
    if (left.empty() && (view == RegView::Default || !IsWow64()) && !DeleteRegKey(disabledRef))
        WriteServiceLog("пустой раздел карантина не удалён (" + RegErrorText(disabledRef) + "): " + disabledRef.Key);
    NotifyAutorunManager();
}

bool DisableFolderFileW(const std::wstring& folder, const std::wstring& name)
{
    const std::wstring base = ExcludeTrailingBackslashW(folder);
    const std::wstring quarantine = base + L"\\" + AnsiToWide(kDisabledFolder);
    const std::wstring source = base + L"\\" + name;
    const std::wstring target = quarantine + L"\\" + name;
    // The user owns these folders: a link planted in place of either, or on
    // the way to them, would have the service move or delete files where the
    // user cannot. Both stay open (and so in place) while the file moves.
    UniqueHandle folderHandle = OpenPlainFolderW(base);
    if (!folderHandle || !IsMissingOrPlainFileW(source)) {
        WriteServiceLog("файл не помещён в карантин, на пути к нему ссылка: " + WideToAnsiForRecord(source));
        return false;
    }
    const DWORD present = GetFileAttributesW(quarantine.c_str());
    if (present == INVALID_FILE_ATTRIBUTES && CreateDirectoryW(quarantine.c_str(), nullptr))
        SetFileAttributesW(quarantine.c_str(), FILE_ATTRIBUTE_HIDDEN);
    UniqueHandle quarantineHandle = OpenPlainFolderW(quarantine);
    if (!quarantineHandle || !IsMissingOrPlainFileW(target)) {
        WriteServiceLog("файл не помещён в карантин, папка карантина не обычная папка: " + WideToAnsiForRecord(quarantine));
        return false;
    }
    // Through the checked handles, while both folders stay held: a copy
    // already in quarantine means the file only goes.
    std::string why;
    const bool done = FileExistsW(target) ? DeleteFileHeldW(source, why) : MoveFileHeldW(source, target, why);
    if (!done) {
        WriteServiceLog("файл не помещён в карантин: " + why);
        return false;
    }
    NotifyAutorunManager();
    return true;
}

void NotifyAutorunManager()
{
    SendToMailSlot(proto::Message(proto::kControl, proto::kAutorunsChanged), kAutorunSlot);
}
