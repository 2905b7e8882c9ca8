#include "qvThread.h"

#include <process.h>

TThread::TThread() : stopEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}

TThread::~TThread()
{
    if (handle_) {
        Terminate();
        WaitFor();
    }
}

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

bool TThread::Kill()
{
    if (!handle_) return true;
    if (WaitForSingleObject(handle_.Get(), 0) == WAIT_OBJECT_0) return true;
    if (!TerminateThread(handle_.Get(), 0)) return false;
    WaitForSingleObject(handle_.Get(), 1000);
    finished_ = true;
    return true;
}

bool TThread::Pause(DWORD ms)
{
    if (Terminated()) return false;
    return WaitForSingleObject(stopEvent_.Get(), ms) == WAIT_TIMEOUT && !Terminated();
}

unsigned __stdcall TThread::ThreadProc(void* self)
{
    auto* thread = static_cast<TThread*>(self);
    try {
        thread->Execute();
    } catch (...) {
        // an error that reaches the top of a thread ends that thread only
    }
    thread->finished_ = true;
    return 0;
}
