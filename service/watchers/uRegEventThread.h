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

using TRegChangeCallback = std::function<void(TRegEngine&)>;

class TRegEventThread : public TThread {
public:
    TRegEventThread(const TRegEngine& ref, RegView view, TRegChangeCallback onChange);
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
    // Where what a pass threw is logged: "watch of <key>".
    std::string Where() const { return "watch of " + ref_.Key; }

    TRegEngine ref_;
    RegView view_;
    TRegChangeCallback onChange_;
    std::atomic<int> callbacks_{0};
};

// How often a quiet watcher asks whether its key was deleted under it.
constexpr DWORD kDeletedKeyCheckMs = 5000;