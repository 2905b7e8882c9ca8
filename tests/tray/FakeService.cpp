#include "FakeService.h"

FakeService::FakeService() : thread_([this] { Run(); })
{
    for (int i = 0; i < 300 && !active_.load(); ++i) Sleep(10);
}

FakeService::~FakeService()
{
    stop_ = true;
    thread_.join();
}

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

void FakeService::Run()
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kServiceSlot;
    CreateMailSlot(slot, false);
    active_ = slot.Active;
    while (!stop_.load() && slot.Active) {
        if (busy_.load() || !MailSlotHasMessage(slot)) {
            Sleep(2);
            continue;
        }
        TMSlotMessage message;
        ReadMailSlot(slot, message);
        const std::string name = message.Mess.Str();
        std::lock_guard<std::mutex> guard(lock_);
        switch (message.Type) {
        case 33: message.Bool = bools_.count(name) ? bools_[name] : false; break;
        case 37: message.Data.Set(texts_.count(name) ? texts_[name] : std::string()); break;
        case 46: message.A = -1; break;
        default: received_.push_back(message); continue;
        }
        SendToMailSlot(message, message.Mess1.Str());
    }
    try {
        CloseMailSlot(slot);
    } catch (...) {
    }
}
