#pragma once
// The tray's client of the service: every setting is read and written by a
// message to "Quorvane\Service" (the tray never opens the settings key
// itself). Reads wait for the reply on a temporary slot (about 15 s at most;
// at once false when the service's slot is absent) and yield false, 0 or an
// empty text when no reply came; writes report only whether the message was
// delivered. Safe from any thread: every call uses its own record and slot.
#include <cstdint>
#include <string>

#include "uMailSlots.h"

bool ReadBoolSetting(const std::string& name, bool& value);
bool ReadIntSetting(const std::string& name, int32_t& value);
bool ReadStrSetting(const std::string& name, std::string& value);
bool WriteBoolSetting(const std::string& name, bool value);
bool WriteIntSetting(const std::string& name, int32_t value);
bool WriteStrSetting(const std::string& name, const std::string& text);

// The hosts allow-list ("hostlist.qrv") kept by the service.
bool HostListContains(const std::string& entry);
bool HostListAdd(const std::string& entry);
bool HostListDelete(const std::string& entry);

// A cleared record of the type, with the setting name in Mess (cut to 99
// characters) and the text in Data (cut to 255).
TMSlotMessage SettingRequest(uint8_t type, const std::string& name, const std::string& text = {});

// One line for "gui.log": sent to a log viewer's slot, if any serves it, and
// to the service.
void WriteGuiLog(const std::string& line);
std::string BoolToText(bool value);
// The one-line dump of a record that LogMessageRecord writes.
void LogMessageRecord(const TMSlotMessage& record);

// File name of the program that started this process; empty when unknown.
std::string GetParentProcessName();
