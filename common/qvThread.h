#pragma once
// Thread base class: Execute runs on its own thread until it returns; the
// owner asks it to end with Terminate (a flag plus an event that waits can
// watch) and then waits for it.
#include <windows.h>

#include <atomic>
#include <memory>

#include "qvHandles.h"

class TThread {
public:
    TThread();
    virtual ~TThread();  // asks the thread to end and waits for it
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    bool Finished() const { return finished_.load(); }
    // WAIT_OBJECT_0 once the thread has ended (also when it never started).
    DWORD WaitFor(DWORD timeoutMs = INFINITE);
    // Ends the thread by force; true when it is gone. For threads stuck in a
    // system wait that no event can reach.
    bool Kill();

    HANDLE Handle() const { return handle_.Get(); }
    // Signalled by Terminate: code that waits on something else waits on this too.
    HANDLE StopEvent() const { return stopEvent_.Get(); }

protected:
    virtual void Execute() = 0;
    // Sleeps up to the given time; false when the thread was told to stop.
    bool Pause(DWORD ms);

private:
    static unsigned __stdcall ThreadProc(void* self);

    UniqueHandle handle_;
    UniqueHandle stopEvent_;
    DWORD threadId_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
};

// Terminate, wait and free: how the owners end their long-lived threads.
template <typename T>
void StopAndFree(std::unique_ptr<T>& thread)
{
    if (!thread) return;
    thread->Terminate();
    thread->WaitFor();
    thread.reset();
}
