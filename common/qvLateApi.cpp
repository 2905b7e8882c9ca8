#include "qvLateApi.h"

#include <mutex>

namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();
using CancelIoExFn = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);

// Widens the 32-bit tick count; callers ask often enough (far more than once
// in 49 days) that one wrap between two calls is all that can happen.
uint64_t WidenedTickCount()
{
    static std::mutex lock;
    static uint32_t last = 0;
    static uint64_t high = 0;
    std::lock_guard<std::mutex> guard(lock);
    const uint32_t now = GetTickCount();
    if (now < last) high += uint64_t{1} << 32;
    last = now;
    return high + now;
}

}  // namespace

uint64_t TickCount64()
{
    static const auto tickCount64 = LateSystemProc<TickCount64Fn>("kernel32.dll", "GetTickCount64");
    return tickCount64 ? tickCount64() : WidenedTickCount();
}

bool CancelThreadIo(HANDLE handle, OVERLAPPED* overlapped)
{
    static const auto cancelIoEx = LateSystemProc<CancelIoExFn>("kernel32.dll", "CancelIoEx");
    if (cancelIoEx) return cancelIoEx(handle, overlapped) != FALSE;
    return CancelIo(handle) != FALSE;
}

uint32_t NtStatusToWinError(LONG status)
{
    using StatusToErrorFn = ULONG(WINAPI*)(LONG);
    static const auto toError = LateSystemProc<StatusToErrorFn>("ntdll.dll", "RtlNtStatusToDosError");
    return toError ? toError(status) : ERROR_GEN_FAILURE;
}

// The C++ runtime's thread library (winpthreads, as Debian builds it) calls
// GetTickCount64 through its import slot in its timed waits, so linking it in
// would make both programs refuse to load on XP. Defining the import slot here
// points those calls at TickCount64 instead, and kernel32's own slot is never
// linked. The import check of the test command shows if this ever stops working.
extern "C" {
static ULONGLONG WINAPI PortableTickCount64() { return TickCount64(); }
#if defined(_WIN64)
#define QV_IMPORT_SLOT(name) asm("__imp_" name)
#else
#define QV_IMPORT_SLOT(name) asm("__imp__" name "@0")
#endif
__attribute__((used)) ULONGLONG(WINAPI* gTickCount64Slot)() QV_IMPORT_SLOT("GetTickCount64") =
    PortableTickCount64;
}
