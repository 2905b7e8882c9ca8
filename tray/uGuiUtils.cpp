#include "uGuiUtils.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "qvHandles.h"

namespace {

bool Ask(TMSlotMessage& message) { return SendToMailSlotAndWait(kServiceSlot, message); }

bool AskHostList(proto::Type type, const std::string& entry)
{
    TMSlotMessage message = SettingRequest(type, {}, entry);
    Ask(message);  // a failed request leaves a cleared record: Bool false
    return message.Bool;
}

}  // namespace

TMSlotMessage SettingRequest(proto::Type type, const std::string& name, const std::string& text)
{
    TMSlotMessage message = proto::Message(type);
    message.Mess.Set(name);
    message.Data.Set(text);
    return message;
}

bool ReadBoolSetting(const std::string& name, bool& value)
{
    TMSlotMessage message = SettingRequest(proto::kReadBool, name);
    bool answered = Ask(message);
    value = message.Bool;
    return answered;
}

bool ReadIntSetting(const std::string& name, int32_t& value)
{
    TMSlotMessage message = SettingRequest(proto::kReadInt, name);
    bool answered = Ask(message);
    value = message.A;
    return answered;
}

bool ReadStrSetting(const std::string& name, std::string& value)
{
    TMSlotMessage message = SettingRequest(proto::kReadString, name);
    bool answered = Ask(message);
    value = message.Data.Str();
    return answered;
}

bool ReadBoolSettingWithin(const std::string& name, bool& value, DWORD waitMs)
{
    // The reply wait gives up once this timer fires.
    UniqueHandle deadline(CreateWaitableTimerA(nullptr, TRUE, nullptr));
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(waitMs) * 10000;
    if (!deadline.Valid() || !SetWaitableTimer(deadline.Get(), &due, 0, nullptr, nullptr, FALSE)) {
        value = false;
        return false;
    }
    TMSlotMessage message = SettingRequest(proto::kReadBool, name);
    const bool answered = SendToMailSlotAndWait(kServiceSlot, message, deadline.Get());
    value = message.Bool;
    return answered;
}

TRememberedSwitch::TRememberedSwitch(const char* name, bool initial, DWORD waitMs)
    : name_(name), last_(initial), waitMs_(waitMs)
{
}

bool TRememberedSwitch::Read()
{
    bool value = false;
    if (ReadBoolSettingWithin(name_, value, waitMs_)) last_ = value;
    return last_.load();
}

void TRememberedSwitch::Refresh()
{
    bool value = false;
    if (ReadBoolSetting(name_, value)) last_ = value;
}

bool WriteBoolSetting(const std::string& name, bool value)
{
    TMSlotMessage message = SettingRequest(proto::kWriteBool, name);
    message.Bool = value;
    return SendToMailSlot(message, kServiceSlot);
}

bool WriteIntSetting(const std::string& name, int32_t value)
{
    TMSlotMessage message = SettingRequest(proto::kWriteInt, name);
    message.A = value;
    return SendToMailSlot(message, kServiceSlot);
}

bool WriteStrSetting(const std::string& name, const std::string& text)
{
    return SendToMailSlot(SettingRequest(proto::kWriteString, name, text), kServiceSlot);
}

bool HostListContains(const std::string& entry) { return AskHostList(proto::kHostListLookup, entry); }
bool HostListAdd(const std::string& entry) { return AskHostList(proto::kHostListAdd, entry); }
bool HostListDelete(const std::string& entry) { return AskHostList(proto::kHostListDelete, entry); }

bool SendTypeOnly(proto::Type type, const char* slot) { return SendToMailSlot(proto::Message(type), slot); }

bool ServiceCaughtUp()
{
    bool value = false;
    return ReadBoolSetting("hosts_guard", value);
}

bool SendServiceCommand(proto::ServiceControl code)
{
    return SendToMailSlot(proto::ToService(code), kServiceSlot);
}

void WriteGuiLog(const std::string& line)
{
    TMSlotMessage message = SettingRequest(proto::kGuiLog, {}, line);
    SendToMailSlot(message, kGuiLogSlot);
    SendToMailSlot(message, kServiceSlot);
}


void LogMessageRecord(const TMSlotMessage& record) { WriteGuiLog(MessageRecordText(record)); }

std::string GetParentProcessName()
{
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return {};
    struct Entry {
        DWORD Id;
        std::string Name;
    };
    std::vector<Entry> entries;
    const DWORD self = GetCurrentProcessId();
    DWORD parent = 0;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
        entries.push_back({entry.th32ProcessID, entry.szExeFile});
        if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
    }
    if (parent == 0) return {};
    for (const Entry& e : entries)
        if (e.Id == parent) return e.Name;
    return {};
}
