#include "SwitchService.h"

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

void SwitchService::Handle(TMSlotMessage& message)
{
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
            return;
        }
    }
    Reply(message);
}
