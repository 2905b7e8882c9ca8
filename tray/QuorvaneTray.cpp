// QuorvaneTray: the user's side of the protection.
#include <windows.h>

#include "uTrayProgram.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return RunTrayProgram(instance); }
