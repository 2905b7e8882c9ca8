#pragma once
// Watches one registry key (and its subtree): examines it once at start, then
// calls back after each change.
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "RegistryUtils.h"
#include "qvThread.h"
#include "uPendingEntries.h"

using TLogCallback = std::function<void(const std::string&)>;
using TRegChangeCallback = std::function<void(TRegEngine&)>;

class TRegEventThread : public TThread {
public:
    TRegEventThread(const TRegEngine& ref, RegView view, TLogCallback log, TRegChangeCallback onChange);
    const TRegEngine& Ref() const { return ref_; }
    RegView View() const { return view_; }
    bool InCallback() const { return inCallback_.load(); }
    int CallbackCount() const { return callbacks_.load(); }

protected:
    void Execute() override;

private:
    void RunCallback();

    TRegEngine ref_;
    RegView view_;
    TLogCallback log_;
    TRegChangeCallback onChange_;
    std::atomic<bool> inCallback_{false};
    std::atomic<int> callbacks_{0};
};


// Ends a watcher at once and frees it: it is asked to stop (its waits watch
// the stop event), and only a thread still blocked outside its callback after
// a short wait is ended by force, so no thread dies holding a lock.
void HardStopRegWatch(std::unique_ptr<TRegEventThread>& thread);

constexpr DWORD kWatcherStopGraceMs = 3000;
// How often a quiet watcher asks whether its key was deleted under it.
constexpr DWORD kDeletedKeyCheckMs = 5000;

// Shared by the watcher kinds: stop, wait a little, force only outside callbacks.
template <typename T>
void HardStopWatcher(std::unique_ptr<T>& thread, const std::function<bool()>& inCallback)
{
    if (!thread) return;
    try {
        thread->Terminate();
        // Every wait of a watcher also watches its stop event, so it ends on
        // its own once it gets the processor; only one stuck in a system call
        // is left after this grace, also on a heavily loaded machine.
        if (thread->WaitFor(kWatcherStopGraceMs) != WAIT_OBJECT_0) {
            // a callback in progress is let finish; a thread stuck in a system
            // wait that the stop event cannot reach is ended by force
            DWORD waited = 0;
            bool waitedForCallback = false;
            while (inCallback() && thread->WaitFor(100) != WAIT_OBJECT_0 && waited < 30000) {
                waited += 100;
                waitedForCallback = true;
            }
            // a callback that has just ended leaves its thread on the way
            // out, perhaps still freeing what the callback used: it gets the
            // grace again rather than dying in the middle of that
            if (waitedForCallback) thread->WaitFor(kWatcherStopGraceMs);
            if (thread->WaitFor(0) != WAIT_OBJECT_0 && !inCallback()) thread->Kill();
        }
        if (thread->WaitFor(0) == WAIT_OBJECT_0 || thread->Finished())
            thread.reset();
        else
            thread.release();  // still inside a callback: leave it to end on its own
    } catch (...) {
    }
}
