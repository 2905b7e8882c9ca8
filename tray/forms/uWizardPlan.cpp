#include "uWizardPlan.h"

#include <initializer_list>

#include "uGuiUtils.h"

namespace {

using TNames = std::initializer_list<const char*>;

const TNames kWinlogonSwitches = {"User_shell", "All_userinit", "User_PoliceShell", "All_taskman", "All_shell",
                                  "All_parazite", "All_message", "User_load", "All_gina", "All_polices_shell"};
const TNames kAutorunSwitches = {"arn_all_folder", "arn_user_folder", "arn_all_reg", "arn_user_reg",
                                 "arn_use_trustlist", "arn_all_run", "arn_all_runonce", "arn_all_runonceex",
                                 "arn_all_polices", "arn_user_run", "arn_user_runonce", "arn_user_polices",
                                 "arn_user_ntrun", "arn_user_ntload", "arn_close_thread", "mbr_guard"};
const TNames kAdminSwitches = {"Polices_Taskmgr", "Polices_Regedit"};
const TNames kHijackSwitches = {"hijack_all", "hijack_taskman"};
const TNames kFilesSwitches = {"file_userinit", "file_taskman_cache", "file_taskman", "file_userinit_cache",
                               "appinitdlls"};
const TNames kHostsSwitches = {"hosts_guard", "hosts_default"};

TSettingWrite BoolWrite(const char* name, bool value)
{
    TSettingWrite write;
    write.Kind = TSettingWrite::Bool;
    write.Name = name;
    write.BoolValue = value;
    return write;
}

TSettingWrite IntWrite(const char* name, int32_t value)
{
    TSettingWrite write;
    write.Kind = TSettingWrite::Int;
    write.Name = name;
    write.IntValue = value;
    return write;
}

const TNames& GroupSwitches(int group)
{
    static const TNames kNone = {};
    switch (group) {
    case kGroupWinlogon: return kWinlogonSwitches;
    case kGroupAutorun: return kAutorunSwitches;
    case kGroupAdmin: return kAdminSwitches;
    case kGroupHijack: return kHijackSwitches;
    case kGroupFiles: return kFilesSwitches;
    case kGroupHosts: return kHostsSwitches;
    default: return kNone;
    }
}

}  // namespace

void AppendGroupWrites(int group, bool on, std::vector<TSettingWrite>& writes)
{
    for (const char* name : GroupSwitches(group)) writes.push_back(BoolWrite(name, on));
    if (group == kGroupHosts) {
        writes.push_back(IntWrite("hosts_change", 0));
        writes.push_back(IntWrite("hosts_delete", 0));
    }
}

std::vector<TSettingWrite> WizardStartWrites(int choice, const TWizardBoxes& boxes, bool killerBanner)
{
    std::vector<TSettingWrite> writes;
    for (const char* name : {"vm_prog", "vm_cd", "view_mess"}) writes.push_back(BoolWrite(name, true));
    if (choice == kChooseAll || choice == kChooseGroups)
        for (int group = 0; group < kWizardGroupCount; ++group)
            AppendGroupWrites(group, choice == kChooseAll || boxes[group], writes);
    writes.push_back(BoolWrite("kb_cross", killerBanner));
    writes.push_back(BoolWrite("kb_F12", killerBanner));
    for (const char* name : {"show_tray_icon", "show_tray_warn", "arn_disable_cmd"})
        writes.push_back(BoolWrite(name, true));
    return writes;
}

size_t ApplySettingWrites(const std::vector<TSettingWrite>& writes)
{
    size_t delivered = 0;
    for (const TSettingWrite& write : writes) {
        bool ok = false;
        switch (write.Kind) {
        case TSettingWrite::Bool: ok = WriteBoolSetting(write.Name, write.BoolValue); break;
        case TSettingWrite::Int: ok = WriteIntSetting(write.Name, write.IntValue); break;
        case TSettingWrite::Text: ok = WriteStrSetting(write.Name, write.TextValue); break;
        }
        if (!ok) break;
        ++delivered;
    }
    return delivered;
}
