#include "uTrayProgram.h"

int RunTrayProgram(HINSTANCE instance) { return 0; }
