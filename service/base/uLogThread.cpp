#include "uLogThread.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "qvPlainFiles.h"

std::unique_ptr<TLogThread> gServiceLog;
std::unique_ptr<TLogThread> gGuiLog;

TLogThread::TLogThread(std::string fileName, int64_t rotateAtBytes)
    : fileName_(std::move(fileName)), rolledFileName_(RolledLogName(fileName_)), rotateAtBytes_(rotateAtBytes)
{
    Start();
}

TLogThread::~TLogThread()
{
    Terminate();
    WaitFor();
}

void TLogThread::Execute()
{
    // Nothing to do but wait for the end: lines are written by their callers.
    WaitForSingleObject(StopEvent(), INFINITE);
}

void TLogThread::WriteLine(const std::string& text)
{
    // One append of the whole line: lines of several threads never interleave.
    try {
        std::string line = FormatLogLine(text);
        std::lock_guard<std::mutex> guard(writeLock_);
        // The log stays open between lines, checked once when opened: a link
        // planted at its name is neither followed nor written through.
        // Held with no right to delete it, so a reader that does not share
        // deletion (an editor) can still open it.
        auto open = [this] {
            file_ = OpenPlainFile(fileName_, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, TCreate::IfMissing);
        };
        if (!file_) open();
        if (!file_) return;  // the line is lost, nothing else is touched
        // A log that passed its limit moves aside, so a long run (or a flood
        // of lines) keeps at most two files' worth besides the previous run's.
        LARGE_INTEGER size{};
        if (GetFileSizeEx(file_.Get(), &size) && size.QuadPart >= rotateAtBytes_) {
            file_.Reset();
            RenamePlainFile(fileName_, rolledFileName_);
            open();
            if (!file_) return;
        }
        DWORD wrote = 0;
        if (!WriteFile(file_.Get(), line.data(), static_cast<DWORD>(line.size()), &wrote, nullptr)) file_.Reset();
    } catch (const std::exception& e) {
        // Nowhere to write it: the log itself is what failed.
        OutputDebugStringA(e.what());
    }
}

namespace {

std::string LogNameWithSuffix(const std::string& logPath, const std::string& suffix)
{
    const size_t dot = logPath.find_last_of('.');
    const size_t slash = logPath.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return logPath + suffix;
    return logPath.substr(0, dot) + suffix + logPath.substr(dot);
}

}  // namespace

std::string OldLogName(const std::string& logPath) { return LogNameWithSuffix(logPath, "_old"); }

std::string RolledLogName(const std::string& logPath) { return LogNameWithSuffix(logPath, "_1"); }

std::string FormatLogLineAt(const std::string& dateText, const std::string& timeText, int milliseconds,
                            const std::string& text)
{
    char ms[8];
    std::snprintf(ms, sizeof(ms), "%03d", milliseconds % 1000);
    return dateText + " " + timeText + ":" + ms + ":    " + text + "\r\n";
}

std::string FormatLogLine(const std::string& text)
{
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char date[64] = {}, time[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &now, nullptr, date, sizeof(date));
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &now, nullptr, time, sizeof(time));
    return FormatLogLineAt(date, time, now.wMilliseconds, text);
}

void WriteServiceLog(const std::string& text)
{
    if (gServiceLog) gServiceLog->WriteLine(text);
}

void WriteGuiLogLine(const std::string& text)
{
    if (gGuiLog) gGuiLog->WriteLine(text);
}
