#pragma once
// Base of the stand-ins for the service on "Quorvane\Service" in tests that
// must not reach a real one: a thread takes every datagram off the slot and
// hands it to Handle, which answers from tables of the derived class.
// A derived class calls StartSlot at the end of its constructor and StopSlot
// first in its destructor, so the thread never sees it half made or half gone.
#include <atomic>
#include <thread>

#include "uMailSlots.h"

class ServiceStandIn {
public:
    ServiceStandIn() = default;
    virtual ~ServiceStandIn();
    ServiceStandIn(const ServiceStandIn&) = delete;
    ServiceStandIn& operator=(const ServiceStandIn&) = delete;
    bool Active() const { return active_.load(); }

protected:
    void StartSlot();  // returns once the slot exists or could not be made
    void StopSlot();
    virtual void Handle(TMSlotMessage& message) = 0;
    // While true, datagrams wait unread in the slot (a service busy with a
    // long command).
    virtual bool Holding() const { return false; }
    static void Reply(const TMSlotMessage& message) { SendToMailSlot(message, message.Mess1.Str()); }

private:
    void Run();

    std::atomic<bool> stop_{false};
    std::atomic<bool> active_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};
