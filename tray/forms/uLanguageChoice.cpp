#include "uLanguageChoice.h"

#include "qvStrings.h"
#include "qvProtocol.h"
#include "uMailSlots.h"

TLanguageAction SettingsPageLanguageAction(const std::string& chosen, const std::string& current)
{
    if (chosen.empty() || SameText(chosen, current)) return TLanguageAction::None;
    return TLanguageAction::Change;
}

TLanguageAction WizardLanguageAction(const std::string& chosen, const std::string& current)
{
    if (chosen.empty()) return TLanguageAction::None;
    return SameText(chosen, current) ? TLanguageAction::Rewrite : TLanguageAction::Change;
}

bool SendLanguageChange(const std::string& fileName)
{
    TMSlotMessage message = proto::Message(proto::kWriteSetting, proto::kWriteKindString);
    message.Mess.Set("language");
    message.Data.Set(fileName);
    const bool delivered = SendToMailSlot(message, kServiceSlot);
    SendToMailSlot(proto::Message(proto::kRestartUserPart), kServiceSlot);
    return delivered;
}
