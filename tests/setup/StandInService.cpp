#include "StandInService.h"

#include "TestSupport.h"
#include "qvStrings.h"

StandInService::StandInService() : thread_([this] { Run(); })
{
    // Loose: on a loaded machine the thread may take seconds to make its slot.
    WaitUntil([this] { return active_.load() || finished_.load(); }, 30000);
}

StandInService::~StandInService()
{
    stop_ = true;
    thread_.join();
}

void StandInService::SetBool(const std::string& name, bool value)
{
    std::lock_guard<std::mutex> guard(lock_);
    bools_[LowerCase(name)] = value;
}

void StandInService::SetInt(const std::string& name, int32_t value)
{
    std::lock_guard<std::mutex> guard(lock_);
    ints_[LowerCase(name)] = value;
}

void StandInService::SetText(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> guard(lock_);
    texts_[LowerCase(name)] = value;
}

bool StandInService::Bool(const std::string& name) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = bools_.find(LowerCase(name));
    return it != bools_.end() && it->second;
}

std::string StandInService::Text(const std::string& name) const
{
    std::lock_guard<std::mutex> guard(lock_);
    auto it = texts_.find(LowerCase(name));
    return it == texts_.end() ? std::string() : it->second;
}

bool StandInService::Has(const std::string& name) const
{
    std::lock_guard<std::mutex> guard(lock_);
    const std::string key = LowerCase(name);
    return bools_.count(key) || ints_.count(key) || texts_.count(key);
}

void StandInService::Silence(const std::string& name)
{
    std::lock_guard<std::mutex> guard(lock_);
    silent_.insert(LowerCase(name));
}

void StandInService::Answer()
{
    std::lock_guard<std::mutex> guard(lock_);
    silent_.clear();
}

void StandInService::Forget()
{
    std::lock_guard<std::mutex> guard(lock_);
    bools_.clear();
    ints_.clear();
    texts_.clear();
}

void StandInService::KeepWrites(bool keep)
{
    std::lock_guard<std::mutex> guard(lock_);
    keepWrites_ = keep;
}

std::vector<TMSlotMessage> StandInService::Received() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return received_;
}

void StandInService::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    received_.clear();
    reads_ = 0;
}

void StandInService::Handle(TMSlotMessage& message)
{
    const std::string name = LowerCase(message.Mess.Str());
    std::lock_guard<std::mutex> guard(lock_);
    switch (message.Type) {
    case 33:
    case 37:
    case 46: {
        ++reads_;
        if (silent_.count(name)) return;
        if (message.Type == 33) message.Bool = bools_.count(name) ? bools_[name] : false;
        if (message.Type == 37) message.Data.Set(texts_.count(name) ? texts_[name] : std::string());
        if (message.Type == 46) message.A = ints_.count(name) ? ints_[name] : -1;
        SendToMailSlot(message, message.Mess1.Str());
        return;
    }
    case 38:
        if (keepWrites_) bools_[name] = message.Bool;
        break;
    case 39:
        if (keepWrites_) texts_[name] = message.Data.Str();
        break;
    case 47:
        if (keepWrites_) ints_[name] = message.A;
        break;
    case 16:
        if (keepWrites_ && message.A == 5) texts_[name] = message.Data.Str();
        break;
    default: break;
    }
    received_.push_back(message);
}

void StandInService::Run()
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
        Handle(message);
    }
    try {
        CloseMailSlot(slot);
    } catch (...) {
    }
    finished_ = true;
}
