#include "SettingsRecorder.h"

namespace {

bool IsRead(uint8_t type) { return type == 33 || type == 37 || type == 46; }

}  // namespace

void SettingsRecorder::SetBool(const std::string& name, bool value)
{
    std::lock_guard<std::mutex> guard(lock_);
    bools_[name] = value;
}

void SettingsRecorder::SetText(const std::string& name, const std::string& value)
{
    std::lock_guard<std::mutex> guard(lock_);
    texts_[name] = value;
}

void SettingsRecorder::Silence(const std::string& name)
{
    std::lock_guard<std::mutex> guard(lock_);
    silenced_.insert(name);
}

std::vector<TMSlotMessage> SettingsRecorder::Messages() const
{
    std::lock_guard<std::mutex> guard(lock_);
    return messages_;
}

std::vector<std::string> SettingsRecorder::BoolReads() const
{
    std::vector<std::string> names;
    for (const TMSlotMessage& m : Messages())
        if (m.Type == 33) names.push_back(m.Mess.Str());
    return names;
}

std::vector<TMSlotMessage> SettingsRecorder::Writes() const
{
    std::vector<TMSlotMessage> writes;
    for (const TMSlotMessage& m : Messages())
        if (!IsRead(m.Type)) writes.push_back(m);
    return writes;
}

void SettingsRecorder::Clear()
{
    std::lock_guard<std::mutex> guard(lock_);
    messages_.clear();
}

void SettingsRecorder::Handle(TMSlotMessage& message)
{
    const std::string name = message.Mess.Str();
    {
        std::lock_guard<std::mutex> guard(lock_);
        messages_.push_back(message);
        if (!IsRead(message.Type) || silenced_.count(name)) return;
        if (message.Type == 33) message.Bool = bools_.count(name) ? bools_[name] : false;
        if (message.Type == 37) message.Data.Set(texts_.count(name) ? texts_[name] : std::string());
        if (message.Type == 46) message.A = -1;
    }
    Reply(message);
}
