#pragma once
// What the frame keeps for the program's run, in one place: the application
// window and its thread, the timers, the menu items and control ids handed
// out, the form classes and the open forms. Main thread only, but for the
// application window and its thread id, which any thread may read once the
// frame is made.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "qvForms.h"

namespace gui {

class TMenuItem;
class TTimer;

// Menu ids live above the ids of controls, so that the two never meet in WM_COMMAND.
constexpr UINT kFirstMenuId = 0x8000;
constexpr UINT kLastMenuId = 0xFFF0;
constexpr int kFirstControlId = 1000;
constexpr int kLastControlId = 0x7FFF;

struct TFrameState {
    HINSTANCE Instance = nullptr;
    HWND AppWindow = nullptr;
    DWORD MainThreadId = 0;
    UINT_PTR NextTimerId = 1;
    std::map<UINT_PTR, TTimer*> Timers;
    std::map<UINT, TMenuItem*> MenuItems;
    UINT NextMenuId = kFirstMenuId;
    int NextControlId = kFirstControlId;
    bool DrawnClassRegistered = false;
    std::map<std::string, TFormFactory> FormClasses;
    uint64_t LastFormSerial = 0;
    // Last, so that the forms go first: their timers and menu items
    // unregister themselves on the way.
    std::vector<std::unique_ptr<TForm>> Forms;
};

TFrameState& Frame();

}  // namespace gui
