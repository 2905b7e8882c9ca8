#include "uKeyboardThread.h"

void StartKeyboardThread() {}

void ShowKillerConfirmation() {}
