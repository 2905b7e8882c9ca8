#include "uServiceUtils.h"

#include "RegistryUtils.h"
#include "uLogThread.h"

std::atomic<bool> gTrayPingOk{true};

bool ReadSettingBool(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return ReadRegBool(rec);
}

int32_t ReadSettingInt(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return ReadRegInteger(rec);
}

std::string ReadSettingString(const std::string& name)
{
    TRegEngine rec = SettingRef(name);
    return ReadRegString(rec);
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

void TellTrayRefresh()
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = 13;
    message.A = 10;
    SendToMailSlot(message, kTraySlot);
}

void DumpMessage(const TMSlotMessage& message) { WriteServiceLog(MessageRecordText(message)); }

bool ReplyToRequester(const TMSlotMessage& message)
{
    const std::string slot = message.Mess1.Str();
    if (!IsReplySlotName(slot)) return false;
    return SendToMailSlot(message, slot);
}
