#pragma once
// Drives a Windows service by name through the service control manager.
#include <string>

// The protection service as the service manager knows it, and its program.
constexpr const char* kServiceName = "Quorvane";
constexpr const char* kServiceProgramName = "ServiceQuorvane.exe";

// 1 stopped ... 7 paused; 0 on any failure (also: not installed).
int GetServiceState(const std::string& serviceName);
// Both raise EOSError ("System Error.  Code: %d." ...) when a step fails.
void StartServiceByName(const std::string& serviceName);
void StopServiceByName(const std::string& serviceName);
