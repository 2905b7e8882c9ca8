#include "uLangUtils.h"

#include <windows.h>

#include <mutex>
#include <vector>

#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"

namespace {

std::mutex gLanguageLock;
std::string gCurrentLanguage;
std::string gLanguageFolder;

constexpr const char* kMissingText = "error";

}  // namespace

const std::array<TGlobMesField, kGlobMesCount> kGlobMesFields = {{
    {901, 0, kLangGlobal, "ev_delete"},
    {902, 0, kLangGlobal, "ev_add"},
    {903, 0, kLangGlobal, "ev_change"},
    {904, 0, kLangGlobal, "ev_set"},
    {905, 0, kLangGlobal, "ev_un_trusted"},
    {906, 0, kLangGlobal, "ev_not_copy"},
    {907, 0, kLangGlobal, "ev_proxy_on"},
    {908, 0, kLangGlobal, "ev_proxy_off"},
    {909, 0, kLangGlobal, "ev_proxy_change_local"},
    {910, 0, kLangGlobal, "ev_proxy_change_server"},
    {911, 0, kLangGlobal, "ev_block_taskmgr"},
    {912, 0, kLangGlobal, "ev_block_regedit"},
    {913, 0, kLangGlobal, "ev_hijack"},
    {914, 0, kLangGlobal, "ev_kill_proc"},
    {915, 0, kLangGlobal, "ev_add_file"},
    {916, 0, kLangGlobal, "ev_moved_to_jail"},
    {917, 0, kLangGlobal, "ev_error_ext"},
    {918, 0, kLangGlobal, "ev_danger_ext"},
    {919, 0, kLangGlobal, "ev_change_file"},
    {920, 0, kLangGlobal, "ev_del_file"},
    {101, 0, kLangGlobal, "es_winlogon_shell"},
    {102, 0, kLangGlobal, "es_winlogon_userinit"},
    {103, 0, kLangGlobal, "es_winlogon_gina"},
    {104, 0, kLangGlobal, "es_winlogon_taskman"},
    {105, 0, kLangGlobal, "es_winlogon_text"},
    {106, 0, kLangGlobal, "es_winlogon_caption"},
    {107, 0, kLangGlobal, "es_winlogon_usrinit"},
    {108, 0, kLangGlobal, "es_killerbanner"},
    {109, 0, kLangGlobal, "es_jail"},
    {124, 0, kLangGlobal, "es_change_userinit"},
    {125, 0, kLangGlobal, "es_change_taskmgr"},
    {126, 0, kLangGlobal, "es_change_ctfmon"},
    {121, 0, kLangGlobal, "es_polices_shell"},
    {122, 0, kLangGlobal, "es_polices_caption"},
    {123, 0, kLangGlobal, "es_polices_text"},
    {151, 0, kLangGlobal, "ehjack_all"},
    {152, 0, kLangGlobal, "ehjack_taskmgr"},
    {153, 0, kLangGlobal, "ehjack_explorer"},
    {154, 0, kLangGlobal, "ehjack_regedit"},
    {191, 0, kLangGlobal, "eu_winlogon_shell"},
    {192, 0, kLangGlobal, "eu_polices_shell"},
    {193, 0, kLangGlobal, "eu_block_regedit"},
    {194, 0, kLangGlobal, "eu_block_taskmgr"},
    {171, 172, kLangGlobal, "es_arn_run"},
    {173, 174, kLangGlobal, "es_arn_runonce"},
    {175, 176, kLangGlobal, "es_arn_runonceex"},
    {177, 0, kLangGlobal, "es_arn_exprun"},
    {178, 0, kLangGlobal, "es_arn_files"},
    {181, 0, kLangGlobal, "eu_arn_run"},
    {182, 0, kLangGlobal, "eu_arn_runOne"},
    {183, 0, kLangGlobal, "eu_arn_exprun"},
    {184, 0, kLangGlobal, "eu_arn_files"},
    {185, 0, kLangGlobal, "eu_arn_str_run"},
    {180, 0, kLangGlobal, "es_appinitdlls"},
    {110, 0, kLangGui, "es_change_mbr"},
    {111, 0, kLangGlobal, "es_hosts"},
    {186, 0, kLangGlobal, "eu_arn_str_load"},
}};

TGlobMes gGlobMes;

const char* LangSectionName(int section) { return LanguageSectionName(section); }

std::string GetCurrentLanguage()
{
    std::lock_guard<std::mutex> lock(gLanguageLock);
    return gCurrentLanguage;
}

void SetCurrentLanguage(const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(gLanguageLock);
    gCurrentLanguage = fileName;
}

std::string LanguageFolder()
{
    std::lock_guard<std::mutex> lock(gLanguageLock);
    return gLanguageFolder.empty() ? ModuleFolder() : gLanguageFolder;
}

void SetLanguageFolder(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(gLanguageLock);
    gLanguageFolder = folder.empty() ? std::string() : IncludeTrailingBackslash(folder);
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

void AddLangLines(int section, const std::string& key, TStringList& list)
{
    list.push_back(BarsToLineBreaks(GetLangText(section, key)));
}

TStringList ListLanguageFiles(const std::string& folder)
{
    TStringList files;
    WIN32_FIND_DATAA data{};
    UniqueFindHandle find(FindFirstFileA((IncludeTrailingBackslash(folder) + "*.lng").c_str(), &data));
    if (!find) return files;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string name = data.cFileName;
        // "*.lng" also matches by the short name; an ".ini" file is never a language
        if (ExtractFileExt(name) == ".ini") continue;
        files.push_back(name);
    } while (FindNextFileA(find.Get(), &data));
    return files;
}

void PutLanguageFirst(TStringList& list, const std::string& current)
{
    int index = IndexOfText(list, current);
    if (index > 0) std::swap(list[0], list[static_cast<size_t>(index)]);
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

std::string EventCodeText(int code) { return EventCodeText(gGlobMes, code); }

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

    if (kind >= 101 && kind <= 107) {
        place = std::string(kWinlogon) + kWinlogonValues[kind - 101];
        return true;
    }
    switch (kind) {
    case 121: place = std::string(kPolicies) + "Shell"; return true;
    case 122: place = std::string(kPolicies) + "LegalNoticeCaption"; return true;
    case 123: place = std::string(kPolicies) + "LegalNoticeText"; return true;
    case 171:
    case 173:
    case 175: place = (win64 ? machineRun32 : machineRun) + kRunKeys[(kind - 171) / 2]; return true;
    case 172:
    case 174:
    case 176: place = machineRun + kRunKeys[(kind - 172) / 2]; return true;
    case 177: place = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"; return true;
    case 180: place = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows\\AppInitDlls"; return true;
    case 181: place = userRun + "Run"; return true;
    case 182: place = userRun + "RunOnce"; return true;
    case 183: place = "HKCU\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run"; return true;
    case 185: place = userWindows + "Run"; return true;
    case 186: place = userWindows + "Load"; return true;
    case 191: place = "HKCU\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Shell"; return true;
    case 192: place = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\Shell"; return true;
    case 193: place = userPolicies + "DisableRegistryTools"; return true;
    case 194: place = userPolicies + "DisableTaskMgr"; return true;
    default: return false;
    }
}

void EventPlaceText(int kind, std::string& text)
{
    if (EventRegistryPlace(kind, IsWin64System(), text)) return;
    switch (kind) {
    case 108: text = GetLangText(kLangGui, "es_killerbanner"); break;
    case 109: text = GetLangText(kLangGui, "es_jail"); break;
    case 110: text = GetLangText(kLangGui, "es_change_mbr"); break;
    case 124: text = GetLangText(kLangGui, "es_change_userinit"); break;
    case 125: text = GetLangText(kLangGui, "es_change_taskmgr"); break;
    case 126: text = GetLangText(kLangGui, "es_change_ctfmon"); break;
    case 151: text = GetLangText(kLangGui, "ehjack_all"); break;
    case 152: text = GetLangText(kLangGui, "ehjack_taskmgr"); break;
    case 153: text = GetLangText(kLangGui, "ehjack_explorer"); break;
    case 154: text = GetLangText(kLangGui, "ehjack_regedit"); break;
    case 178: text = GetLangText(kLangGui, "es_arn_files"); break;
    case 184: text = GetLangText(kLangGui, "eu_arn_files"); break;
    case 111: text = GetLangText(kLangGlobal, "es_hosts"); break;
    default: break;
    }
}
