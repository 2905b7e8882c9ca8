#include "uServiceUtils.h"

#include <mutex>
#include <set>

#include "RegistryUtils.h"
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
    return SendReply(message, slot);
}
