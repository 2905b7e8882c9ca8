#include "uWinLogonProcedures.h"

#include <windows.h>

#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uKillerUtils.h"
#include "uPIDProcessing.h"
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

// Userinit and Shell: the value must hold the expected program and nothing
// else. Returns nothing; records one event when the value was wrong.
void GuardShellValue(const std::string& key, const std::string& valueName, const std::string& expected,
                     int32_t kind, bool isUserinit)
{
    TRegEngine rec = ValueRef(kRootHKLM, key, valueName);
    const std::string old = ReadRegString(rec);
    WriteRegString(rec, expected);
    if (old.empty()) {
        RecordEvent(kind, evmDelete, "");
    } else {
        TStringList entries;
        SplitCommandLine(old, entries, true);
        for (size_t i = 0; i < entries.size(); ++i) {
            if (SameText(entries[i], expected)) continue;
            const bool first = i == 0;
            RecordEvent(kind, first ? evmChange : evmAdd, old);
            if (isUserinit) {
                KillCommandPrograms(old, true, first ? std::string() : expected);
                RestartShell(true);
            } else if (first) {
                Sleep(100);
                KillProgram(old, true);
                Sleep(100);
                RestartShell(false);
            } else {
                KillCommandPrograms(old, true, "Explorer.exe");
            }
            break;
        }
    }
    WriteRegString(rec, expected);
}

// When the event is recorded, relative to the repair: a record that fails
// (it raises) must never keep the repair from being made, where the repair
// comes first.
enum class RecordAt { BeforeRepair, BetweenKillAndDelete, AfterRepair };

// A value that must not be there (GinaDll, Taskman, usrinit): the programs it
// names are ended and jailed and the value deleted.
void GuardAbsentValue(const std::string& key, const std::string& valueName, int32_t kind, bool evenWhenEmpty,
                      RecordAt recordAt)
{
    TRegEngine rec = ValueRef(kRootHKLM, key, valueName);
    if (!RegValueExists(rec)) return;
    const std::string text = ReadRegString(rec);
    if (text.empty() && !evenWhenEmpty) return;
    KillCommandPrograms(text, true, "");
    if (recordAt == RecordAt::BetweenKillAndDelete) RecordEvent(kind, evmSet, text);
    DeleteRegValue(rec);
    if (recordAt == RecordAt::AfterRepair) RecordEvent(kind, evmSet, text);
}

// A text that must be empty (legal notices).
void GuardEmptyText(uint8_t root, const std::string& key, const std::string& valueName, int32_t kind,
                    RecordAt recordAt)
{
    TRegEngine rec = ValueRef(root, key, valueName);
    const std::string text = ReadRegString(rec);
    if (text.empty()) return;
    if (recordAt == RecordAt::BeforeRepair) RecordEvent(kind, evmSet, text);
    WriteRegString(rec, "");
    if (recordAt == RecordAt::AfterRepair) RecordEvent(kind, evmSet, text);
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

void RepairWinlogon()
{
    const std::string key = WinlogonKeyPath();
    if (ReadSettingBool("All_userinit")) GuardShellValue(key, "Userinit", ExpectedUserinit(), evkWinlogonUserinit, true);
    if (ReadSettingBool("All_shell")) GuardShellValue(key, "Shell", "Explorer.exe", evkWinlogonShell, false);
    if (ReadSettingBool("All_gina")) GuardAbsentValue(key, "GinaDll", evkWinlogonGina, false, RecordAt::AfterRepair);
    if (ReadSettingBool("All_taskman"))
        GuardAbsentValue(key, "Taskman", evkWinlogonTaskman, false, RecordAt::BetweenKillAndDelete);
    if (ReadSettingBool("All_message")) {
        GuardEmptyText(kRootHKLM, key, "LegalNoticeText", evkWinlogonText, RecordAt::BeforeRepair);
        GuardEmptyText(kRootHKLM, key, "LegalNoticeCaption", evkWinlogonCaption, RecordAt::BeforeRepair);
    }
    if (ReadSettingBool("All_parazite"))
        GuardAbsentValue(key, "usrinit", evkWinlogonUsrinit, true, RecordAt::AfterRepair);
}

void RepairSystemPolicies()
{
    try {
        if (ReadSettingBool("All_polices_shell")) {
            TRegEngine shell = ValueRef(kRootHKLM, kMachinePoliciesSystemKey, "Shell");
            if (RegValueExists(shell)) {
                const std::string text = ReadRegString(shell);
                if (!text.empty()) {
                    RecordEvent(evkPoliciesShell, evmSet, text);
                    KillProgramAll(text, false);
                }
                DeleteRegValue(shell);
            }
        }
        // The policy legal notices are cleared whatever the switches say.
        GuardEmptyText(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticecaption", evkPoliciesCaption,
                       RecordAt::BeforeRepair);
        GuardEmptyText(kRootHKLM, kMachinePoliciesSystemKey, "legalnoticetext", evkPoliciesText,
                       RecordAt::AfterRepair);
    } catch (...) {
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
            RecordEvent(evkHijackAll, evmHijack, name + " на " + ReadRegString(debugger));
            DeleteRegValue(debugger);
            return;  // one hijack per call; the watcher calls again
        }
        if (ReadSettingBool("hijack_taskman") && SameText(name, "taskmgr.exe") && RegValueExists(debugger)) {
            RecordEvent(evkHijackTaskmgr, evmHijack, ReadRegString(debugger));
            DeleteRegValue(debugger);
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
        RecordEvent(kind, evmSet, text);
        // The user chose this program: it is ended where it runs as that
        // user, and nowhere else.
        TProcessOwnerScope onlyTheUsers(KeyOwnerSid(key));
        KillProgramAll(text, false);
    }
    DeleteRegValue(shell);
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
        DeleteRegValue(rec);
        RecordEvent(block.kind, block.message, "");
    }
}
