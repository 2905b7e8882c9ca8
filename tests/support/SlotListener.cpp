#include "SlotListener.h"

#include "TestSupport.h"

SlotListener::SlotListener(const std::string& name)
{
    InitMailSlot(slot_);
    slot_.Name = name;
    CreateMailSlot(slot_, false);
}

SlotListener::~SlotListener()
{
    try {
        CloseMailSlot(slot_);
    } catch (...) {
    }
}

bool SlotListener::Next(TMSlotMessage& message, DWORD timeoutMs)
{
    bool got = WaitUntil([this] { return MailSlotHasMessage(slot_); }, timeoutMs);
    if (got) ReadMailSlot(slot_, message);
    return got;
}

bool SlotListener::NextOfType(uint8_t type, TMSlotMessage& message, DWORD timeoutMs)
{
    return NextWhere([type](const TMSlotMessage& m) { return m.Type == type; }, message, timeoutMs);
}

bool SlotListener::NextWhere(const std::function<bool(const TMSlotMessage&)>& wanted, TMSlotMessage& message,
                             DWORD timeoutMs, const std::function<void(const TMSlotMessage&)>& passed)
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs || !Next(message, timeoutMs - spent)) return false;
        if (wanted(message)) return true;
        if (passed) passed(message);
    }
}

std::vector<TMSlotMessage> SlotListener::Drain(DWORD quietMs)
{
    std::vector<TMSlotMessage> all;
    TMSlotMessage message;
    while (Next(message, quietMs)) all.push_back(message);
    return all;
}

TMSlotMessage MakeRequest(uint8_t type, int32_t a, const std::string& mess, const std::string& data)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = type;
    message.A = a;
    message.Mess.Set(mess);
    message.Data.Set(data);
    return message;
}
