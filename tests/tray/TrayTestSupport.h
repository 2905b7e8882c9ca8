#pragma once
// Shared pieces of the tray's tests: the service of the test prefix, message
// pumping on the test's main thread, and stand-in windows registered under
// the tray's form class names that record how they were opened.
#include <windows.h>

#include <string>
#include <vector>

#include "qvForms.h"
#include "uNotifyRecord.h"
#include "uPopupOwner.h"

namespace traytest {

// Installs (once) and starts the built service; false when it does not come up.
bool ServiceUp();
// Stops it (it stays installed).
bool ServiceDown();
// At the end of the test program: stops and removes the service.
void RemoveServiceAtEnd();

// Handles the thread's messages; a quit message is noted, not handled.
void PumpOnce();
// True once a quit message came since the last call.
bool TakeQuit();
// Pumps until the condition holds or the time runs out.
template <typename Cond>
bool PumpUntil(Cond cond, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        PumpOnce();
        if (cond()) return true;
        if (GetTickCount() - start >= timeoutMs) return false;
        Sleep(5);
    }
}
// Handles messages for the given time.
void Pump(DWORD ms);

// One opening of a stand-in window.
struct Opened {
    std::string ClassName;
    int Tag;
    int HelpContext;
    TNotifyRecord Popup;  // the record the pop-up was given (for "TfmMessage")
    TPopupCallbacks Callbacks;  // and how it answers
};

// Registers stand-ins for every form class the tray opens; Opened() lists
// what was opened since the last Reset().
void RegisterStandIns();
void UnregisterStandIns();
std::vector<Opened> OpenedForms();
std::vector<Opened> OpenedOf(const std::string& className);
void ResetOpened();  // also frees every live form

}  // namespace traytest
