#include "SwitchService.h"

#include "uMailSlots.h"

SwitchService::SwitchService() : thread_([this] { Run(); })
{
    for (int i = 0; i < 300 && !active_.load(); ++i) Sleep(10);
}

SwitchService::~SwitchService()
{
    stop_ = true;
    thread_.join();
}

void SwitchService::SetOn(const std::set<std::string>& names)
{
    std::lock_guard<std::mutex> guard(lock_);
    on_ = names;
}

void SwitchService::SetText(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> guard(lock_);
    texts_[name] = value;
}

void SwitchService::Run()
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kServiceSlot;
    CreateMailSlot(slot, false);
    active_ = slot.Active;
    while (!stop_.load() && slot.Active) {
        if (!MailSlotHasMessage(slot)) {
            Sleep(2);
            continue;
        }
        TMSlotMessage message;
        ReadMailSlot(slot, message);
        const std::string name = message.Mess.Str();
        {
            std::lock_guard<std::mutex> guard(lock_);
            if (message.Type == 33) {
                message.Bool = on_.count(name) != 0;
                ++boolReads_;
            } else if (message.Type == 37) {
                auto it = texts_.find(name);
                message.Data.Set(it == texts_.end() ? std::string() : it->second);
            } else {
                continue;
            }
        }
        SendToMailSlot(message, message.Mess1.Str());
    }
    CloseMailSlot(slot);
}
