#pragma once
// Watches one folder (not its subfolders): after a change notification it
// lets the writer finish for 200 ms and calls back with the folder. A folder
// that cannot be watched (not there yet, or gone) is tried again every
// kPauseAfterFailedPassMs and examined once it is watched.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "qvHandles.h"
#include "qvThread.h"

using TDirChangeCallback = std::function<void(const std::string&)>;

class TDirWatchThread : public TThread {
public:
    // A filter of 0 means file-name, attribute and size changes (13). With
    // `examineFirst` the watcher's own thread runs the callback once as soon
    // as the folder is watched: a change made while the owner set it up, or
    // during that first look, is not missed.
    TDirWatchThread(std::string folder, uint16_t filter, TDirChangeCallback onChange, bool examineFirst = false);
    ~TDirWatchThread() override { StopAndJoin(); }
    const std::string& Folder() const { return folder_; }
    uint16_t Filter() const { return filter_; }
    int CallbackCount() const { return callbacks_.load(); }

protected:
    void Execute() override;

private:
    bool Arm();
    bool Rearm();
    // Arms the watch if needed, examines when due, waits for the next change.
    void WatchOnce(bool& examine);
    void RunCallback();
    // Where what a pass threw is logged: "watch of folder <folder>".
    std::string Where() const { return "watch of folder " + folder_; }

    std::string folder_;
    uint16_t filter_;
    TDirChangeCallback onChange_;
    bool examineFirst_ = false;
    std::atomic<int> callbacks_{0};
    UniqueChangeNotify notify_;
};
