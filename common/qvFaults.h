#pragma once
// Fault points: places in a long-lived thread's pass where a test can make the
// pass fail once, to show that the thread logs the error and goes on. Unarmed
// (always, outside the tests) a fault point costs one atomic read.
#include <string>

// The next `times` passes through FaultPoint(point) throw.
void ArmFault(const std::string& point, int times = 1);
// How many armed throws at `point` have not happened yet.
int ArmedFaults(const std::string& point);
// Throws std::runtime_error("fault injected at <point>") while armed.
void FaultPoint(const char* point);
