#pragma once
// Settings access and small helpers that the service's parts share.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "uMailSlots.h"

// Settings under HKLM "SOFTWARE\Quorvane"; a missing value reads as false / -1.
bool ReadSettingBool(const std::string& name);
int32_t ReadSettingInt(const std::string& name);
std::string ReadSettingString(const std::string& name);

// Whether the setting is one of those the tray and the wizard write through
// the service's commands (letter case ignored). Any other name is never
// written: any local process may send the write commands.
bool IsWritableSettingName(const std::string& name);

// A settings key with fewer than 30 values, or without "hosts_guard".
bool IsFirstRun();

// Type 13 / A 10 to the tray: programs were ended, check that the shell runs.
void TellTrayRefresh();

// The message's "Структура - Type: ..." line in the service log.
void DumpMessage(const TMSlotMessage& message);

// True from the start until a ping of the tray fails (command 13/19); the
// console-user thread clears it.
extern std::atomic<bool> gTrayPingOk;

// Sends the record back to the requester's reply slot (Mess1), but only when
// Mess1 has the form of a reply slot: any local process can write to the
// service slot, and "\\.\mailslot\" + an arbitrary text could name anything.
bool ReplyToRequester(const TMSlotMessage& message);

// Terminate, wait up to limitMs, free. A thread that is still running then is
// given up: its object is released without being freed (freeing would wait
// for it) and the answer is false.
template <typename T>
bool StopWithin(std::unique_ptr<T>& thread, DWORD limitMs)
{
    if (!thread) return true;
    thread->Terminate();
    if (thread->WaitFor(limitMs) != WAIT_OBJECT_0) {
        (void)thread.release();
        return false;
    }
    thread.reset();
    return true;
}
