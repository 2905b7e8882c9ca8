#pragma once
// Thread base class: Execute runs on its own thread until it returns; the
// owner asks it to end with Terminate (a flag plus an event that waits can
// watch) and then waits for it. No thread is ever ended by force: a thread
// that waits, waits on its stop event too, or for a bounded time.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "qvHandles.h"

class TThread {
public:
    TThread();
    // Last resort only: by the time it runs, the derived object's members are
    // gone. A class whose Execute uses its own members calls StopAndJoin in its
    // destructor; owners end threads through StopAndFree.
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Start();
    void Terminate();
    bool Terminated() const { return terminated_.load(); }
    bool Finished() const { return finished_.load(); }
    // WAIT_OBJECT_0 once the thread has ended (also when it never started).
    DWORD WaitFor(DWORD timeoutMs = INFINITE);
    // Terminate, then wait until Execute has returned. Called on the thread
    // itself it only asks: a thread never waits for itself.
    void StopAndJoin();

    HANDLE Handle() const { return handle_.Get(); }
    // Signalled by Terminate: code that waits on something else waits on this too.
    HANDLE StopEvent() const { return stopEvent_.Get(); }

protected:
    virtual void Execute() = 0;
    // Sleeps up to the given time; false when the thread was told to stop.
    bool Pause(DWORD ms);

private:
    static unsigned __stdcall ThreadProc(void* self);
    // The class name of the running thread, for the log line of an error that
    // reached its top.
    std::string Kind() const;

    UniqueHandle handle_;
    UniqueHandle stopEvent_;
    DWORD threadId_ = 0;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
};

// Stop, join and free: how the owners end their long-lived threads.
template <typename T>
void StopAndFree(std::unique_ptr<T>& thread)
{
    if (!thread) return;
    thread->StopAndJoin();
    thread.reset();
}
