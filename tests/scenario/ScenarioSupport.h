#pragma once
// Drives the installed service the way a locker and a user would: switches
// through the service's own commands, registry and file changes from outside,
// and checks of the report, the jail and the values afterwards.
#include <string>
#include <vector>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "uReportEvent.h"

namespace scenario {

// Every program of the prefix's Windows and system folders goes into
// "goodlist.arn": Wine's programs carry no signatures, where Windows' do.
void PrepareGoodList();
void InstallAndStart();
void SetSwitch(const std::string& name, bool on);
void SetInt(const std::string& name, int value);
void Settle();  // everything sent to the service before has been handled

std::vector<TReportEvent> Records();
int CountRecords(int32_t kind, int32_t message);
bool WaitForRecord(int32_t kind, int32_t message, DWORD timeoutMs = 15000);
void ClearReport();

// A copy of the waiting helper under the given name in a folder of its own.
std::string PlaceLocker(const std::string& name);
bool JailHolds(const std::string& fileName);
bool ProcessRunning(const std::string& fullPath);

TRegEngine Ref(uint8_t root, const std::string& key, const std::string& value);
bool WaitForString(TRegEngine rec, const std::string& expected, DWORD timeoutMs = 15000);
bool WaitForValueGone(TRegEngine rec, DWORD timeoutMs = 15000);

}  // namespace scenario
