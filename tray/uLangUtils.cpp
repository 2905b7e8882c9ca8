#include "uLangUtils.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uReportEvent.h"
#include "uTrayApplication.h"

namespace {

constexpr const char* kMissingText = "error";

}  // namespace

const std::array<TGlobMesField, kGlobMesCount> kGlobMesFields = {{
    {evmDelete, 0, kLangGlobal, "ev_delete"},
    {evmAdd, 0, kLangGlobal, "ev_add"},
    {evmChange, 0, kLangGlobal, "ev_change"},
    {evmSet, 0, kLangGlobal, "ev_set"},
    {evmUntrusted, 0, kLangGlobal, "ev_un_trusted"},
    {evmNotCopied, 0, kLangGlobal, "ev_not_copy"},
    {evmProxyOn, 0, kLangGlobal, "ev_proxy_on"},
    {evmProxyOff, 0, kLangGlobal, "ev_proxy_off"},
    {evmProxyChangeLocal, 0, kLangGlobal, "ev_proxy_change_local"},
    {evmProxyChangeServer, 0, kLangGlobal, "ev_proxy_change_server"},
    {evmBlockTaskmgr, 0, kLangGlobal, "ev_block_taskmgr"},
    {evmBlockRegedit, 0, kLangGlobal, "ev_block_regedit"},
    {evmHijack, 0, kLangGlobal, "ev_hijack"},
    {evmKillProcess, 0, kLangGlobal, "ev_kill_proc"},
    {evmAddFile, 0, kLangGlobal, "ev_add_file"},
    {evmMovedToJail, 0, kLangGlobal, "ev_moved_to_jail"},
    {evmErrorExt, 0, kLangGlobal, "ev_error_ext"},
    {evmDangerExt, 0, kLangGlobal, "ev_danger_ext"},
    {evmChangeFile, 0, kLangGlobal, "ev_change_file"},
    {evmDeleteFile, 0, kLangGlobal, "ev_del_file"},
    {evkWinlogonShell, 0, kLangGlobal, "es_winlogon_shell"},
    {evkWinlogonUserinit, 0, kLangGlobal, "es_winlogon_userinit"},
    {evkWinlogonGina, 0, kLangGlobal, "es_winlogon_gina"},
    {evkWinlogonTaskman, 0, kLangGlobal, "es_winlogon_taskman"},
    {evkWinlogonText, 0, kLangGlobal, "es_winlogon_text"},
    {evkWinlogonCaption, 0, kLangGlobal, "es_winlogon_caption"},
    {evkWinlogonUsrinit, 0, kLangGlobal, "es_winlogon_usrinit"},
    {evkKiller, 0, kLangGlobal, "es_killerbanner"},
    {evkJail, 0, kLangGlobal, "es_jail"},
    {evkChangeUserinit, 0, kLangGlobal, "es_change_userinit"},
    {evkChangeTaskmgr, 0, kLangGlobal, "es_change_taskmgr"},
    {evkChangeCtfmon, 0, kLangGlobal, "es_change_ctfmon"},
    {evkPoliciesShell, 0, kLangGlobal, "es_polices_shell"},
    {evkPoliciesCaption, 0, kLangGlobal, "es_polices_caption"},
    {evkPoliciesText, 0, kLangGlobal, "es_polices_text"},
    {evkHijackAll, 0, kLangGlobal, "ehjack_all"},
    {evkHijackTaskmgr, 0, kLangGlobal, "ehjack_taskmgr"},
    {evkHijackExplorer, 0, kLangGlobal, "ehjack_explorer"},
    {evkHijackRegedit, 0, kLangGlobal, "ehjack_regedit"},
    {evkUserWinlogonShell, 0, kLangGlobal, "eu_winlogon_shell"},
    {evkUserPoliciesShell, 0, kLangGlobal, "eu_polices_shell"},
    {evkUserBlockRegedit, 0, kLangGlobal, "eu_block_regedit"},
    {evkUserBlockTaskmgr, 0, kLangGlobal, "eu_block_taskmgr"},
    {evkRun, evkRun64, kLangGlobal, "es_arn_run"},
    {evkRunOnce, evkRunOnce64, kLangGlobal, "es_arn_runonce"},
    {evkRunOnceEx, evkRunOnceEx64, kLangGlobal, "es_arn_runonceex"},
    {evkPoliciesExplorerRun, 0, kLangGlobal, "es_arn_exprun"},
    {evkCommonStartup, 0, kLangGlobal, "es_arn_files"},
    {evkUserRun, 0, kLangGlobal, "eu_arn_run"},
    {evkUserRunOnce, 0, kLangGlobal, "eu_arn_runOne"},
    {evkUserPoliciesRun, 0, kLangGlobal, "eu_arn_exprun"},
    {evkUserStartup, 0, kLangGlobal, "eu_arn_files"},
    {evkUserRunValue, 0, kLangGlobal, "eu_arn_str_run"},
    {evkAppInitDlls, 0, kLangGlobal, "es_appinitdlls"},
    {evkMbr, 0, kLangGui, "es_change_mbr"},
    {evkHosts, 0, kLangGlobal, "es_hosts"},
    {evkUserLoadValue, 0, kLangGlobal, "eu_arn_str_load"},
}};

const char* LangSectionName(int section) { return LanguageSectionName(section); }

std::string GetCurrentLanguage()
{
    std::lock_guard<std::mutex> lock(TrayApp().Language.Lock);
    return TrayApp().Language.Current;
}

void SetCurrentLanguage(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(TrayApp().Language.Lock);
    TrayApp().Language.Current = fileName;
}

std::string LanguageFolder()
{
    std::lock_guard<std::mutex> lock(TrayApp().Language.Lock);
    return TrayApp().Language.Folder.empty() ? ModuleFolder() : TrayApp().Language.Folder;
}

void SetLanguageFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(TrayApp().Language.Lock);
    TrayApp().Language.Folder = folder.empty() ? std::string() : IncludeTrailingBackslash(folder);
}

std::string GetLangText(int section, const std::string& key)
{
    const char* sectionName = LangSectionName(section);
    const std::string file = LanguageFolder() + GetCurrentLanguage();
    // An empty language names the bare folder, and an unknown section names
    // nothing: both read as missing.
    if (!*sectionName || key.empty() || !FileExists(file)) return kMissingText;
    std::vector<char> buffer(1024);
    for (;;) {
        DWORD got = GetPrivateProfileStringA(sectionName, key.c_str(), kMissingText, buffer.data(),
                                             static_cast<DWORD>(buffer.size()), file.c_str());
        if (got + 1 < buffer.size() || buffer.size() >= 65536) return std::string(buffer.data(), got);
        buffer.resize(buffer.size() * 2);
    }
}

std::string BarsToLineBreaks(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c == '|') result += "\r\n";
        else result += c;
    }
    return result;
}

void GetLanguageList(TStringList& list)
{
    list = ListLanguageFiles(LanguageFolder());
    std::string current;
    ReadStrSetting("language", current);
    PutLanguageFirst(list, current);
}

void LoadEventTexts(TGlobMes& record)
{
    for (size_t i = 0; i < kGlobMesCount; ++i)
        record.Texts[i] = GetLangText(kGlobMesFields[i].Section, kGlobMesFields[i].Key);
}

std::string EventCodeText(const TGlobMes& record, int code)
{
    for (size_t i = 0; i < kGlobMesCount; ++i)
        if (kGlobMesFields[i].Code == code || (kGlobMesFields[i].OtherCode != 0 && kGlobMesFields[i].OtherCode == code))
            return record.Texts[i];
    return IntToStr(code);
}

std::string EventCodeText(int code) { return EventCodeText(TrayApp().Language.Texts, code); }

bool EventRegistryPlace(int kind, bool win64, std::string& place)
{
    static const char* const kWinlogon = "HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
    static const char* const kWinlogonValues[] = {"Shell", "Userinit", "GinaDLL", "Taskman", "LegalNoticeText",
                                                  "LegalNoticeCaption", "usrinit"};
    static const char* const kPolicies = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";
    static const char* const kRunKeys[] = {"Run", "RunOnce", "RunOnceEx"};
    const std::string machineRun = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string machineRun32 = "HKLM\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string userRun = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
    const std::string userWindows = "HKCU\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\";
    const std::string userPolicies = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\";

    if (kind >= evkWinlogonShell && kind <= evkWinlogonUsrinit) {
        place = std::string(kWinlogon) + kWinlogonValues[kind - evkWinlogonShell];
        return true;
    }
    switch (kind) {
    case evkPoliciesShell: place = std::string(kPolicies) + "Shell"; return true;
    case evkPoliciesCaption: place = std::string(kPolicies) + "LegalNoticeCaption"; return true;
    case evkPoliciesText: place = std::string(kPolicies) + "LegalNoticeText"; return true;
    case evkRun:
    case evkRunOnce:
    case evkRunOnceEx: place = (win64 ? machineRun32 : machineRun) + kRunKeys[(kind - evkRun) / 2]; return true;
    case evkRun64:
    case evkRunOnce64:
    case evkRunOnceEx64: place = machineRun + kRunKeys[(kind - evkRun64) / 2]; return true;
    case evkPoliciesExplorerRun: place = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"; return true;
    case evkAppInitDlls: place = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\AppInitDlls"; return true;
    case evkUserRun: place = userRun + "Run"; return true;
    case evkUserRunOnce: place = userRun + "RunOnce"; return true;
    case evkUserPoliciesRun: place = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"; return true;
    case evkUserRunValue: place = userWindows + "Run"; return true;
    case evkUserLoadValue: place = userWindows + "Load"; return true;
    case evkUserWinlogonShell: place = "HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell"; return true;
    case evkUserPoliciesShell: place = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\Shell"; return true;
    case evkUserBlockRegedit: place = userPolicies + "DisableRegistryTools"; return true;
    case evkUserBlockTaskmgr: place = userPolicies + "DisableTaskMgr"; return true;
    default: return false;
    }
}

void EventPlaceText(int kind, std::string& text)
{
    if (EventRegistryPlace(kind, IsWin64System(), text)) return;
    // Kinds with no registry place are named by a text of their own.
    static const struct {
        int Kind;
        int Section;
        const char* Key;
    } kPlaceTexts[] = {
        {evkKiller, kLangGui, "es_killerbanner"},
        {evkJail, kLangGui, "es_jail"},
        {evkMbr, kLangGui, "es_change_mbr"},
        {evkChangeUserinit, kLangGui, "es_change_userinit"},
        {evkChangeTaskmgr, kLangGui, "es_change_taskmgr"},
        {evkChangeCtfmon, kLangGui, "es_change_ctfmon"},
        {evkHijackAll, kLangGui, "ehjack_all"},
        {evkHijackTaskmgr, kLangGui, "ehjack_taskmgr"},
        {evkHijackExplorer, kLangGui, "ehjack_explorer"},
        {evkHijackRegedit, kLangGui, "ehjack_regedit"},
        {evkCommonStartup, kLangGui, "es_arn_files"},
        {evkUserStartup, kLangGui, "eu_arn_files"},
        {evkHosts, kLangGlobal, "es_hosts"},
    };
    for (const auto& place : kPlaceTexts)
        if (place.Kind == kind) {
            text = GetLangText(place.Section, place.Key);
            return;
        }
}
