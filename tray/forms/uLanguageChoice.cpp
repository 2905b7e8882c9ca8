#include "uLanguageChoice.h"

#include "qvStrings.h"
#include "uMailSlots.h"

namespace {

constexpr uint8_t kTypeSetSetting = 16;
constexpr int32_t kTextKind = 5;
constexpr uint8_t kTypeRestartUser = 32;

}  // namespace

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
    TMSlotMessage message = MakeMessage(kTypeSetSetting, kTextKind);
    message.Mess.Set("language");
    message.Data.Set(fileName);
    const bool delivered = SendToMailSlot(message, kServiceSlot);
    SendToMailSlot(MakeMessage(kTypeRestartUser), kServiceSlot);
    return delivered;
}
