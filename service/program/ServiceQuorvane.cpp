// ServiceQuorvane: the protection service program.
#include "QuorvaneService.h"

int main(int argc, char** argv) { return RunServiceProgram(argc, argv); }
