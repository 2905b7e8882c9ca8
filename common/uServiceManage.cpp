#include "uServiceManage.h"

#include <windows.h>

#include "qvErrors.h"
#include "qvHandles.h"

int GetServiceState(const std::string& serviceName)
{
    UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 0;
    UniqueScHandle service(OpenServiceA(manager.Get(), serviceName.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return 0;
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(service.Get(), &status)) return 0;
    return static_cast<int>(status.dwCurrentState);
}

// Opens the service with all access; raises the last system error on failure.
static UniqueScHandle OpenServiceFully(const UniqueScHandle& manager, const std::string& serviceName)
{
    UniqueScHandle service(OpenServiceA(manager.Get(), serviceName.c_str(), SERVICE_ALL_ACCESS));
    if (!service) RaiseLastOSError();
    return service;
}

static UniqueScHandle OpenManagerFully()
{
    UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) RaiseLastOSError();
    return manager;
}

void StartServiceByName(const std::string& serviceName)
{
    UniqueScHandle manager = OpenManagerFully();
    UniqueScHandle service = OpenServiceFully(manager, serviceName);
    if (!StartServiceA(service.Get(), 0, nullptr)) RaiseLastOSError();
}

void StopServiceByName(const std::string& serviceName)
{
    UniqueScHandle manager = OpenManagerFully();
    UniqueScHandle service = OpenServiceFully(manager, serviceName);
    SERVICE_STATUS status{};
    if (!ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) RaiseLastOSError();
}
