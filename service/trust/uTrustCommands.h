#pragma once
// The commands that read or change the good list (the digests the user
// approved) and the trust list (the files and folders the user trusts); the
// command thread calls them.
#include "uMailSlots.h"

void GoodListToAutorunCommand(const TMSlotMessage& message);  // 18
void AddGoodListCommand(const TMSlotMessage& message);        // 19
void TrustListToTrayCommand(const TMSlotMessage& message);    // 21
void AddTrustListCommand(const TMSlotMessage& message);       // 22
void DeleteTrustListCommand(const TMSlotMessage& message);    // 23
