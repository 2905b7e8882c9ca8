#pragma once
// The tray's client of the service: every setting is read and written by a
// message to "Quorvane\Service" (the tray never opens the settings key
// itself). Reads wait for the reply on a temporary slot (about 15 s at most;
// at once false when the service's slot is absent) and yield false, 0 or an
// empty text when no reply came; writes report only whether the message was
// delivered. Safe from any thread: every call uses its own record and slot.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "qvProtocol.h"
#include "uMailSlots.h"

bool ReadBoolSetting(const std::string& name, bool& value);
bool ReadIntSetting(const std::string& name, int32_t& value);
bool ReadStrSetting(const std::string& name, std::string& value);
// The same read, given up after `waitMs` (the service handles one command at
// a time and may be busy with a long one): true when the answer came in time.
bool ReadBoolSettingWithin(const std::string& name, bool& value, DWORD waitMs);

// A yes/no setting that the main thread needs at once (the tray-warning
// gate, the Win+F12 switch): each read waits at most `waitMs`, and the last
// answered value stands in when no answer comes in that time.
class TRememberedSwitch {
public:
    TRememberedSwitch(const char* name, bool initial, DWORD waitMs = 100);
    bool Read();
    // A full read (start-up, when the service is known to be idle).
    void Refresh();

private:
    const char* name_;
    std::atomic<bool> last_;
    DWORD waitMs_;
};

bool WriteBoolSetting(const std::string& name, bool value);
bool WriteIntSetting(const std::string& name, int32_t value);
bool WriteStrSetting(const std::string& name, const std::string& text);

// The hosts allow-list ("hostlist.qrv") kept by the service.
bool HostListContains(const std::string& entry);
bool HostListAdd(const std::string& entry);
bool HostListDelete(const std::string& entry);

// A cleared record of the type, with the setting name in Mess (cut to 99
// characters) and the text in Data (cut to 255).
TMSlotMessage SettingRequest(proto::Type type, const std::string& name, const std::string& text = {});

// A control message (Type 13) to the service; true when it was delivered.
bool SendServiceCommand(proto::ServiceControl code);
// A cleared record with only its type, to a slot; true when it was delivered.
bool SendTypeOnly(proto::Type type, const char* slot = kServiceSlot);
// The service handles one command at a time, in order: true once it answered
// a request sent now, so everything sent before it is done.
bool ServiceCaughtUp();

// One line for "gui.log": sent to a log viewer's slot, if any serves it, and
// to the service.
void WriteGuiLog(const std::string& line);
// The one-line dump of a record that LogMessageRecord writes.
void LogMessageRecord(const TMSlotMessage& record);

// File name of the program that started this process; empty when unknown.
std::string GetParentProcessName();
