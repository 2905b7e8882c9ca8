// QuorvaneTray: the user's side of the protection.
#include <windows.h>

#include "uTrayProgram.h"

// The receiver thread is never stopped: the process ends with it, without
// tearing down what it may still be using.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { ExitProcess(static_cast<UINT>(RunTrayProgram(instance))); }
