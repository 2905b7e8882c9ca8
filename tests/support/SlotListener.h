#pragma once
// A mailslot the test serves: stands in for the tray ("Quorvane\tray"), the
// autorun manager, or a reply slot of its own.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "uMailSlots.h"

class SlotListener {
public:
    explicit SlotListener(const std::string& name);
    ~SlotListener();
    SlotListener(const SlotListener&) = delete;
    SlotListener& operator=(const SlotListener&) = delete;
    bool Active() const { return slot_.Active; }
    // Waits up to timeoutMs for the next message.
    bool Next(TMSlotMessage& message, DWORD timeoutMs = 3000);
    // The next message of the given Type, passing over others (the service's
    // pings and id requests to the tray slot, for example).
    bool NextOfType(uint8_t type, TMSlotMessage& message, DWORD timeoutMs = 3000);
    // The next message `wanted` accepts; each one passed over goes to
    // `passed`. One limit covers the whole wait.
    bool NextWhere(const std::function<bool(const TMSlotMessage&)>& wanted, TMSlotMessage& message, DWORD timeoutMs,
                   const std::function<void(const TMSlotMessage&)>& passed = {});
    // Every message until none came for quietMs.
    std::vector<TMSlotMessage> Drain(DWORD quietMs = 300);
    const std::string& Name() const { return slot_.Name; }

private:
    TMSlot slot_{};
};

TMSlotMessage MakeRequest(uint8_t type, int32_t a = 0, const std::string& mess = {}, const std::string& data = {});
