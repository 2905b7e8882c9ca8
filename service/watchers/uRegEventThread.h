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
    ~TRegEventThread() override { StopAndJoin(); }
    const TRegEngine& Ref() const { return ref_; }
    RegView View() const { return view_; }
    int CallbackCount() const { return callbacks_.load(); }

protected:
    void Execute() override;

private:
    // One spell of watching the opened key; returns when the key must be
    // opened anew or the thread is told to stop.
    void WatchOnce(bool& examined, bool& examineWhenArmed);
    void RunCallback();
    void ReportError(const std::string& text) const;

    TRegEngine ref_;
    RegView view_;
    TLogCallback log_;
    TRegChangeCallback onChange_;
    std::atomic<int> callbacks_{0};
};


// Stops a watcher and frees it once its thread has ended: a callback in
// progress runs to its end, every wait of the watcher watches its stop event.
void StopRegWatch(std::unique_ptr<TRegEventThread>& thread);

// Where the watchers put an error they caught: their log, or the program's
// log when they were given none.
void ReportWatcherError(const TLogCallback& log, const std::string& where, const std::string& text);

// How often a quiet watcher asks whether its key was deleted under it.
constexpr DWORD kDeletedKeyCheckMs = 5000;
// How long a watcher whose pass failed waits before it tries again.
constexpr DWORD kWatcherRetryMs = 1000;
