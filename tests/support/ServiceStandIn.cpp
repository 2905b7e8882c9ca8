#include "ServiceStandIn.h"

#include "TestSupport.h"

ServiceStandIn::~ServiceStandIn() { StopSlot(); }

void ServiceStandIn::StartSlot()
{
    thread_ = std::thread([this] { Run(); });
    // Loose: on a loaded machine the thread may take seconds to make its slot.
    WaitUntil([this] { return active_.load() || finished_.load(); }, 30000);
}

void ServiceStandIn::StopSlot()
{
    stop_ = true;
    if (thread_.joinable()) thread_.join();
}

void ServiceStandIn::Run()
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = kServiceSlot;
    CreateMailSlot(slot, false);
    active_ = slot.Active;
    while (!stop_.load() && slot.Active) {
        if (Holding() || !MailSlotHasMessage(slot)) {
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
