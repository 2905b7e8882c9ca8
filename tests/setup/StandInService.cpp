#include "StandInService.h"

#include "qvStrings.h"

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
        Reply(message);
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
