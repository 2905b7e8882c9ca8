#pragma once
// The service's two text logs in the data folder: "service.log" for its own
// lines and "gui.log" for the lines the tray sends.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "qvHandles.h"
#include "qvThread.h"

constexpr int64_t kLogRotateBytes = 1024 * 1024;

// "<folder>\<name>_old.log" for "<folder>\<name>.log": the previous run's log.
std::string OldLogName(const std::string& logPath);
// "<folder>\<name>_1.log" for "<folder>\<name>.log": the earlier part of the
// current run's log, once it passed its limit.
std::string RolledLogName(const std::string& logPath);

// A log object: its thread only waits; lines are appended by the caller's
// thread, one whole line per write.
class TLogThread : public TThread {
public:
    // A line that finds the file at rotateAtBytes or more first moves it to
    // "<name>_1.log", replacing the part moved there before. The previous
    // run's log ("<name>_old.log") is never touched: a flood of lines cannot
    // push out what happened before it.
    explicit TLogThread(std::string fileName, int64_t rotateAtBytes = kLogRotateBytes);
    // Ends the thread while this object is whole: a thread that had not yet
    // begun would otherwise run Execute on a half-destroyed object.
    ~TLogThread() override;
    const std::string& FileName() const { return fileName_; }
    void WriteLine(const std::string& text);

protected:
    void Execute() override;

private:
    std::string fileName_;
    std::string rolledFileName_;
    int64_t rotateAtBytes_;
    std::mutex writeLock_;  // keeps each line whole when threads write at once
    UniqueHandle file_;     // the log, held open from its first line
};

// "<short date> <long time>:<ms as three digits>:" + four blanks + text + CR LF,
// the date and time in the machine's locale.
std::string FormatLogLine(const std::string& text);
// The same from given parts (for tests): dateText and timeText as the locale
// writes them.
std::string FormatLogLineAt(const std::string& dateText, const std::string& timeText, int milliseconds,
                            const std::string& text);

extern std::unique_ptr<TLogThread> gServiceLog;
extern std::unique_ptr<TLogThread> gGuiLog;

// Appends a line to "service.log" / "gui.log"; a line that cannot be written is lost.
void WriteServiceLog(const std::string& text);
void WriteGuiLogLine(const std::string& text);
