#pragma once
// The service program: registration switches and the service itself.
int RunServiceProgram(int argc, char** argv);
