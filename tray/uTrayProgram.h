#pragma once
#include <windows.h>
// The tray program's start-up.
int RunTrayProgram(HINSTANCE instance);
