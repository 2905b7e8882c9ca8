#include "uServiceUtils.h"

#include <mutex>
#include <set>

#include "RegistryUtils.h"
#include "qvProtocol.h"
#include "qvStrings.h"
#include "uLogThread.h"

std::atomic<bool> gTrayPingOk{true};

namespace {

// A value that exists but could not be read as a number (a text "1" for a
// switch, say) works as off: the log says so, once per value and run, or the
// user would never learn why a guard stays idle.
void NoteUnreadableSetting(TRegEngine& rec, const std::string& readsAs)
{
    static std::mutex lock;
    static std::set<std::string> noted;
    if (rec.Error == 0) return;
    TRegEngine probe = SettingRef(rec.Value);
    if (!RegValueExists(probe)) return;  // missing: the ordinary default, no word
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!noted.insert(LowerCase(rec.Value)).second) return;
    }
    WriteServiceLog("Настройка \"" + rec.Value + "\" неверного типа, читается как " + readsAs);
}

}  // namespace

bool ReadSettingBool(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    const bool value = ReadRegBool(rec);
    NoteUnreadableSetting(rec, "выключенная");
    return value;
}

int32_t ReadSettingInt(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    const int32_t value = ReadRegInteger(rec);
    NoteUnreadableSetting(rec, "-1");
    return value;
}

std::string ReadSettingString(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return ReadRegString(rec);
}

bool IsWritableSettingName(const std::string& name)
{
    // The service's own values (the trust list, the reference digests) are
    // written only by the service itself, never by name.
    static const char* const kNames[] = {
        "All_userinit", "All_shell", "All_gina", "All_taskman", "All_message", "All_parazite", "All_polices_shell",
        "User_shell", "User_PoliceShell", "hijack_all", "hijack_taskman", "appinitdlls", "file_userinit",
        "file_taskman", "arn_all_folder", "arn_user_folder", "arn_all_reg", "arn_user_reg", "arn_all_run",
        "arn_all_runonce", "arn_all_runonceex", "arn_all_polices", "arn_user_run", "arn_user_runonce",
        "arn_user_polices", "arn_user_ntrun", "arn_user_ntload", "arn_use_trustlist", "mbr_guard", "hosts_guard",
        "hosts_default", "hosts_change", "hosts_delete", "kb_cross", "kb_f12", "show_tray_icon", "show_tray_warn",
        "setting_protect", "splash", "password", "language", "message", "User_load", "Polices_Taskmgr",
        "Polices_Regedit", "file_userinit_cache", "file_taskman_cache", "arn_close_thread", "arn_disable_cmd",
        "user_proxy", "proxy_enabled", "protect_proxy", "vm_prog", "vm_cd", "view_mess", "proxy_server",
        "proxy_local", "OEMinfo", "OEMurl"};
    for (const char* known : kNames)
        if (SameText(name, known)) return true;
    return false;
}

bool IsFirstRun()
{
    TRegEngine rec = SettingRef("");
    TStringList names;
    GetRegValueNames(rec, names);
    if (names.size() < 30) return true;
    rec.Value = "hosts_guard";
    return !RegValueExists(rec);
}

void TellTrayRefresh() { SendToMailSlot(proto::ToTray(proto::kExplorerCheck), kTraySlot); }

void DumpMessage(const TMSlotMessage& message) { WriteServiceLog(MessageRecordText(message)); }

bool ReplyToRequester(const TMSlotMessage& message)
{
    const std::string slot = message.Mess1.Str();
    if (!IsReplySlotName(slot)) return false;
    return SendReply(message, slot);
}
