#include "qvThread.h"

#include <cxxabi.h>
#include <process.h>

#include <cstdlib>
#include <exception>
#include <typeinfo>

#include "qvCaught.h"

TThread::TThread() : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

TThread::~TThread() { StopAndJoin(); }

void TThread::Start()
{
    if (handle_) return;
    unsigned id = 0;
    handle_.Reset(reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, 0, &id)));
    threadId_ = id;
    if (!handle_) finished_ = true;
}

void TThread::Terminate()
{
    terminated_ = true;
    if (stopEvent_) SetEvent(stopEvent_.Get());
}

DWORD TThread::WaitFor(DWORD timeoutMs)
{
    if (!handle_ || (finished_.load() && WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0)) return WAIT_OBJECT_0;
    if (GetCurrentThreadId() == threadId_) return WAIT_TIMEOUT;  // never wait for oneself
    return WaitForSingleObject(handle_.Get(), timeoutMs);
}

void TThread::StopAndJoin()
{
    if (!handle_) return;
    Terminate();
    WaitFor();
}

bool TThread::Pause(DWORD ms)
{
    if (Terminated()) return false;
    return WaitForSingleObject(stopEvent_.Get(), ms) == WAIT_TIMEOUT && !Terminated();
}

std::string TThread::Kind() const
{
    const char* mangled = typeid(*this).name();
    int status = 0;
    char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string kind = status == 0 && readable ? readable : mangled;
    std::free(readable);
    return kind;
}

unsigned __stdcall TThread::ThreadProc(void* self)
{
    auto* thread = static_cast<TThread*>(self);
    // An error that reaches the top ends this thread only, and says so.
    RunLoggedPass("thread " + thread->Kind() + " ended", [thread] { thread->Execute(); });
    thread->finished_ = true;
    return 0;
}
