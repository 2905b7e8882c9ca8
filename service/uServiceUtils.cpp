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

std::string DescribeMessage(const TMSlotMessage& m)
{
    return "Структура - Type: " + std::to_string(m.Type) + " Data: " + m.Data.Str() + " Mess: " + m.Mess.Str() +
           " Mess1: " + m.Mess1.Str() + " A:" + std::to_string(m.A) + " B:" + std::to_string(m.B) +
           " C:" + std::to_string(m.C) + " D:" + std::to_string(m.D) + " Bool:" + (m.Bool ? "true" : "false");
}

void DumpMessage(const TMSlotMessage& message) { WriteServiceLog(DescribeMessage(message)); }

bool ReplyToRequester(const TMSlotMessage& message)
{
    const std::string slot = message.Mess1.Str();
    if (!IsReplySlotName(slot)) return false;
    return SendToMailSlot(message, slot);
}
