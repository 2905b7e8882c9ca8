#pragma once
// The notification record: what one pop-up shows. Filled by the hidden
// window, the receiver and the killer, handed to the form manager, and given
// to the pop-up when it is made.
#include <cstdint>
#include <string_view>

#include "qvShortString.h"

constexpr size_t kNotifyTextMax = 43;

enum TNotifyStyle : uint8_t { nsWarning = 0, nsInformation = 1, nsPlain = 2 };

struct TNotifyRecord {
    uint8_t Style = nsInformation;
    ShortString<kNotifyTextMax> Text1{};  // longer texts are cut
    ShortString<kNotifyTextMax> Text2{};
    ShortString<kNotifyTextMax> Text3{};
    ShortString<kNotifyTextMax> Text4{};
    int32_t Kind = 0;     // answer kind; becomes the pop-up's tag (0: none)
    int32_t Seconds = 0;  // display time; 0 or less stays until answered
    bool Buttons = false;
    int32_t Value = -1;   // carried by the pop-up (the event's Seq)
};

// Style information, texts empty, no buttons, no time-out, no answer kind,
// Value -1.
void ResetNotifyRecord(TNotifyRecord& record);
