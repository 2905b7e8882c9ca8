#include "uWinLogonProcedures.h"

#include <windows.h>

#include "qvWideText.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uPIDProcessing.h"
#include "uRepeatGate.h"
#include "uServiceUtils.h"

namespace {

TRegEngine ValueRef(uint8_t root, const std::string& key, const std::string& value)
{
    TRegEngine rec;
    rec.Root = root;
    rec.Key = key;
    rec.Value = value;
    return rec;
}

std::string ValueText(const TRegEngine& rec)
{
    static const char* const kRoots[] = {"HKLM", "HKCU", "HKU", "HKCC"};
    const std::string root = rec.Root < 4 ? kRoots[rec.Root] : "?";
    return root + "\\" + rec.Key + "\\" + rec.Value;
}

std::string TrimTrailingCommas(std::string text)
{
    while (!text.empty() && text.back() == ',') text.pop_back();
    return text;
}

// A repair is recorded only once its write or delete took: a user's key that
// is a registry link, or a key the service may not write, keeps the bad value,
// and the log says so instead. Coming after the repair, a record that fails
// (it raises) never keeps the repair from being made.
bool WriteTook(TRegEngine& rec, const std::string& text, RegView view = RegView::Default)
{
    if (WriteRegString(rec, text, view)) return true;
    WriteServiceLog("значение не исправлено, запись не удалась (" + RegErrorText(rec) + "): " + ValueText(rec));
    return false;
}

// A locker that rewrites a value in a loop gets every rewrite repaired, but the
// same repair (value, view, bad text, healthy text) recorded and shown once and
// then at most once a minute while the rewrites keep coming (ten seconds apart
// at most): a report and pop-ups without bound otherwise.
TRepeatGate gRepairRecords(60000, 10000);

void RecordRepair(const TRegEngine& rec, RegView view, const std::string& healthy, int32_t kind, int32_t message,
                  const std::string& path)
{
    const std::string repair = IntToStr(kind) + '\n' + IntToStr(message) + '\n' + ValueText(rec) + '\n' +
                               IntToStr(static_cast<int>(view)) + '\n' + path + '\n' + healthy;
    const TRepeatGate::TVerdict verdict = gRepairRecords.Admit(repair, GetTickCount());
    if (!verdict.Pass) return;
    if (verdict.Withheld > 0)
        WriteServiceLog("то же исправление повторено ещё " + IntToStr(verdict.Withheld) + " раз без записи: " +
                        ValueText(rec) + " = " + path);
    try {
        RecordEvent(kind, message, path);
    } catch (...) {
        // Nothing was recorded: the next repeat is.
        gRepairRecords.Forget(repair);
        throw;
    }
}

bool DeleteTook(TRegEngine& rec, RegView view = RegView::Default)
{
    if (DeleteRegValue(rec, view)) return true;
    // Gone all the same: another call was first, and recorded it.
    const std::string why = RegErrorText(rec);
    if (!RegValueExists(rec, view)) return false;
    WriteServiceLog("значение не удалено (" + why + "): " + ValueText(rec));
    return false;
}

// Userinit and Shell: the value must hold the expected program and nothing
// else. Records one event when the value was wrong and has been put right.
void GuardShellValue(const TWinlogonKey& key, const std::string& valueName, const std::string& expected,
                     int32_t kind, bool isUserinit)
{
    TRegEngine rec = ValueRef(kRootHKLM, key.Path, valueName);
    // Read as it is: the programs it names may have names in any script. The
    // record carries its ANSI form.
    const std::wstring oldText = ReadRegStringW(rec, AnsiToWide(valueName), key.View);
    const std::string old = WideToAnsi(oldText);
    if (SameTextW(oldText, AnsiToWide(expected))) return;
    // Windows ends its Userinit with a comma: the program is the text before it.
    const std::string program = TrimTrailingCommas(expected);
    const bool repaired = WriteTook(rec, expected, key.View);
    if (old.empty()) {
        if (repaired) RecordRepair(rec, key.View, expected, kind, evmDelete, "");
    } else {
        TStringList entries;
        SplitCommandLine(old, entries, true);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (SameText(entries[i], program)) continue;
            const bool first = i == 0;
            // The programs are ended even when the value could not be put right.
            if (repaired) RecordRepair(rec, key.View, expected, kind, first ? evmChange : evmAdd, old);
            // Every program the old text names is ended and jailed but the
            // healthy one, whichever entry differs.
            KillCommandProgramsW(oldText, true, isUserinit ? L"userinit.exe" : L"Explorer.exe");
            if (isUserinit) {
                RestartShell(true);
            } else if (first) {
                Sleep(100);
                RestartShell(false);
            }
            break;
        }
    }
    WriteTook(rec, expected, key.View);
}

// A value that must not be there (GinaDll, Taskman, usrinit): the programs it
// names are ended and jailed and the value deleted.
void GuardAbsentValue(const TWinlogonKey& key, const std::string& valueName, int32_t kind, bool evenWhenEmpty)
{
    TRegEngine rec = ValueRef(kRootHKLM, key.Path, valueName);
    if (!RegValueExists(rec, key.View)) return;
    const std::string text = ReadRegString(rec, key.View);
    if (text.empty() && !evenWhenEmpty) return;
    KillCommandPrograms(text, true, "");
    if (DeleteTook(rec, key.View)) RecordRepair(rec, key.View, "", kind, evmSet, text);
}

// A text that must be empty (legal notices).
void GuardEmptyText(uint8_t root, const std::string& key, const std::string& valueName, int32_t kind,
                    RegView view = RegView::Default)
{
    TRegEngine rec = ValueRef(root, key, valueName);
    const std::string text = ReadRegString(rec, view);
    if (text.empty()) return;
    if (WriteTook(rec, "", view)) RecordRepair(rec, view, "", kind, evmSet, text);
}

}  // namespace

std::string WinlogonKeyPath()
{
    return IsWin64System() ? "SOFTWARE\\Wow6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
                           : "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
}

std::string ExpectedUserinit()
{
    return IsWin64System() ? std::string("userinit.exe") : GetSpecialFolder(37) + "\\userinit.exe";
}

TWinlogonKey WinlogonKey(RegView view)
{
    if (view == RegView::Key64)
        return {kWinlogon64Key, RegView::Key64, GetSpecialFolder(37) + "\\userinit.exe,", "explorer.exe"};
    return {WinlogonKeyPath(), RegView::Default, ExpectedUserinit(), "Explorer.exe"};
}

void RepairWinlogon()
{
    RepairWinlogon(RegView::Default);
    if (IsWin64System()) RepairWinlogon(RegView::Key64);
}

void RepairWinlogon(RegView view)
{
    const TWinlogonKey key = WinlogonKey(view);
    if (ReadSettingBool("All_userinit")) GuardShellValue(key, "Userinit", key.Userinit, evkWinlogonUserinit, true);
    if (ReadSettingBool("All_shell")) GuardShellValue(key, "Shell", key.Shell, evkWinlogonShell, false);
    if (ReadSettingBool("All_gina")) GuardAbsentValue(key, "GinaDll", evkWinlogonGina, false);
    if (ReadSettingBool("All_taskman")) GuardAbsentValue(key, "Taskman", evkWinlogonTaskman, false);
    if (ReadSettingBool("All_message")) {
        GuardEmptyText(kRootHKLM, key.Path, "LegalNoticeText", evkWinlogonText, key.View);
        GuardEmptyText(kRootHKLM, key.Path, "LegalNoticeCaption", evkWinlogonCaption, key.View);
    }
    if (ReadSettingBool("All_parazite")) GuardAbsentValue(key, "usrinit", evkWinlogonUsrinit, true);
}

void RepairSystemPolicies()
{
    try {
        if (ReadSettingBool("All_polices_shell")) {
            TRegEngine shell = ValueRef(kRootHKLM, kMachinePoliciesSystemKey, "Shell");
            if (RegValueExists(shell)) {
                const std::string text = ReadRegString(shell);
                if (!text.empty()) KillCommandPrograms(text, false, "Explorer.exe");
                if (DeleteTook(shell) && !text.empty())
                    RecordRepair(shell, RegView::Default, "", evkPoliciesShell, evmSet, text);
            }
        }
        // The policy legal notices are cleared whatever the switches say.
        GuardEmptyText(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticecaption", evkPoliciesCaption);
        GuardEmptyText(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticetext", evkPoliciesText);
    } catch (const std::exception& error) {
        // The remaining guards wait for the next change of the key.
        WriteServiceLog(std::string("политики машины не проверены до конца: ") + error.what());
    }
}

void RepairImageFileOptions()
{
    TRegEngine ifeo = ValueRef(kRootHKLM, kIfeoKey, "");
    TStringList subkeys;
    GetRegKeyNames(ifeo, subkeys);
    const bool hijackAll = ReadSettingBool("hijack_all");
    for (const auto& name : subkeys) {
        TRegEngine debugger = ValueRef(kRootHKLM, std::string(kIfeoKey) + "\\" + name, "debugger");
        if (hijackAll) {
            if (!RegValueExists(debugger)) continue;
            if (SameText(name, "Your Image File Name Here without a path")) continue;
            const std::string text = ReadRegString(debugger);
            if (DeleteTook(debugger))
                RecordRepair(debugger, RegView::Default, "", evkHijackAll, evmHijack, name + " на " + text);
            return;  // one hijack per call; the watcher calls again
        }
        if (ReadSettingBool("hijack_taskman") && SameText(name, "taskmgr.exe") && RegValueExists(debugger)) {
            const std::string text = ReadRegString(debugger);
            if (DeleteTook(debugger)) RecordRepair(debugger, RegView::Default, "", evkHijackTaskmgr, evmHijack, text);
            return;
        }
    }
}

void RepairUserShell(int32_t kind, TRegEngine& key)
{
    std::string switchName;
    if (key.Key.find("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon") != std::string::npos)
        switchName = "User_shell";
    else if (key.Key.find("Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System") != std::string::npos)
        switchName = "User_PoliceShell";
    if (switchName.empty() || !ReadSettingBool(switchName)) return;
    TRegEngine shell = ValueRef(key.Root, key.Key, "Shell");
    if (!RegValueExists(shell)) return;
    const std::string text = ReadRegString(shell);
    if (!text.empty()) {
        // The user chose this program: it is ended where it runs as that
        // user, and nowhere else.
        TProcessOwnerScope onlyTheUsers(KeyOwnerSid(key));
        KillCommandPrograms(text, false, "Explorer.exe");
    }
    if (DeleteTook(shell) && !text.empty()) RecordRepair(shell, RegView::Default, "", kind, evmSet, text);
}

void RepairUserPolicies(TRegEngine& key)
{
    struct Block {
        const char* value;
        int32_t kind;
        int32_t message;
    };
    for (const Block& block : {Block{"DisableTaskMgr", evkUserBlockTaskmgr, evmBlockTaskmgr},
                               Block{"DisableRegistryTools", evkUserBlockRegedit, evmBlockRegedit}}) {
        TRegEngine rec = ValueRef(key.Root, key.Key, block.value);
        if (!RegValueExists(rec)) continue;
        // A value that is not a number reads as -1: it blocks as well.
        if (ReadRegInteger(rec) == 0) continue;
        if (DeleteTook(rec)) RecordRepair(rec, RegView::Default, "", block.kind, block.message, "");
    }
}
