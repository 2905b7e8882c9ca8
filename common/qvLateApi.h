#pragma once
// Functions that Windows XP and Server 2003 lack, reached only through a
// run-time lookup, each with a fallback that behaves the same on XP. The
// programs are compiled for XP, so the headers refuse the later functions
// themselves; a call that must work on every Windows goes through here.
#include <windows.h>

#include <cstdint>

// The named export of a system DLL that is already loaded (kernel32, advapi32,
// ...), or null where this Windows lacks it.
template <typename Fn>
Fn LateSystemProc(const char* module, const char* name)
{
    HMODULE library = GetModuleHandleA(module);
    return library ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name))) : nullptr;
}

// Milliseconds since the system started, never wrapping: GetTickCount64 where
// it exists, else GetTickCount widened by counting its 49.7-day wraps.
uint64_t TickCount64();

// Cancels the overlapped operation `overlapped` on `handle` that this thread
// started: CancelIoEx where it exists, else CancelIo (which cancels every
// operation of the calling thread on the handle, the same here).
bool CancelThreadIo(HANDLE handle, OVERLAPPED* overlapped);

// The Windows error for a status a native call (ntdll) returned.
uint32_t NtStatusToWinError(LONG status);
