#pragma once
// The emergency killer's entry points: the mouse-edge gesture thread and the
// killer confirmation pop-up (Win+F12, menu, gesture).
//
// Both need the notification pop-up to show the confirmation; until that
// window exists they are call points that do nothing.
void StartKeyboardThread();
void ShowKillerConfirmation();
