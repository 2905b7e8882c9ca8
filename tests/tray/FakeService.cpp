#include "FakeService.h"

void FakeService::SetBool(const std::string& name, bool value)
{
    std::lock_guard<std::mutex> guard(lock_);
    bools_[name] = value;
}

void FakeService::SetText(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> guard(lock_);
    texts_[name] = value;
}

std::vector<TMSlotMessage> FakeService::Received() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

size_t FakeService::CommandCount(int32_t a) const
{
    std::lock_guard<std::mutex> guard(lock_);
    size_t count = 0;
    for (const TMSlotMessage& m : received_)
        if (m.Type == 13 && m.A == a) ++count;
    return count;
}

void FakeService::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    received_.clear();
}

void FakeService::Handle(TMSlotMessage& message)
{
    const std::string name = message.Mess.Str();
    {
        std::lock_guard<std::mutex> guard(lock_);
        switch (message.Type) {
        case 33: message.Bool = bools_.count(name) ? bools_[name] : false; break;
        case 37: message.Data.Set(texts_.count(name) ? texts_[name] : std::string()); break;
        case 46: message.A = -1; break;
        default: received_.push_back(message); return;
        }
    }
    Reply(message);
}
