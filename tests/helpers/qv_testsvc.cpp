// A tiny Windows service for the service-control tests: it starts, reports
// running, and ends when told to stop.
#include <windows.h>

static SERVICE_STATUS_HANDLE g_statusHandle;
static HANDLE g_stopEvent;
static SERVICE_STATUS g_status;

static void Report(DWORD state)
{
    g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    g_status.dwCurrentState = state;
    g_status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_statusHandle, &g_status);
}

static DWORD WINAPI Handler(DWORD control, DWORD, LPVOID, LPVOID)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(g_stopEvent);
    }
    return NO_ERROR;
}

static void WINAPI ServiceMain(DWORD, LPSTR*)
{
    g_statusHandle = RegisterServiceCtrlHandlerExA("QvTestSvc", Handler, nullptr);
    g_stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    Report(SERVICE_RUNNING);
    WaitForSingleObject(g_stopEvent, INFINITE);
    Report(SERVICE_STOPPED);
}

int main()
{
    char name[] = "QvTestSvc";
    SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
