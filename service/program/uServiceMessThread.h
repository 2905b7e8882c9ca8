#pragma once
// The command thread: takes each message of the service slot
// "Quorvane\Service" as it arrives and hands it to DispatchCommand, one at a
// time.
#include <memory>
#include <string>

#include "qvThread.h"
#include "uMailSlots.h"

class TServiceMessThread : public TThread {
public:
    TServiceMessThread() { Start(); }
    // Ends the thread while this object is whole.
    ~TServiceMessThread() override
    {
        Terminate();
        WaitFor();
    }
    // False while the slot could not be created (it is tried again every second).
    bool SlotCreated() const { return slotCreated_; }
    // Terminate, and a datagram that ends the thread's wait for the next
    // message at once.
    void WakeToStop();

protected:
    void Execute() override;

private:
    // How late a stop is seen when the wake-up datagram cannot be delivered.
    static constexpr DWORD kStopCheckMs = 1000;
    static constexpr DWORD kSlotRetryMs = 1000;
    bool OpenServiceSlot(TMSlot& slot);
    void ServeNextCommand(TMSlot& slot);

    std::atomic<bool> slotCreated_{false};
    bool slotFailureLogged_ = false;  // a slot that stays taken is logged once
};

extern std::unique_ptr<TServiceMessThread> gServiceMessThread;

// Runs the handler of the message's Type (and A for Type 13); errors of a
// handler are swallowed and get no reply.
void DispatchCommand(const TMSlotMessage& message);

// Handlers of this unit.
void WriteSettingCommand(TMSlotMessage message);  // 16
void LanguageCommand(TMSlotMessage message);      // 31
void ReadBoolCommand(TMSlotMessage message);      // 33
void ReadStringCommand(TMSlotMessage message);    // 37
void WriteBoolCommand(const TMSlotMessage& message);    // 38
void WriteStringCommand(const TMSlotMessage& message);  // 39
void FileMd5Command(TMSlotMessage message);       // 42
void ReadIntCommand(TMSlotMessage message);       // 46
void WriteIntCommand(const TMSlotMessage& message);     // 47

// The language file a setting may name: a bare file name ending in ".lng".
bool IsSafeLanguageFileName(const std::string& name);
// A key that can be written into an INI file as it is.
bool IsSafeIniKey(const std::string& key);
