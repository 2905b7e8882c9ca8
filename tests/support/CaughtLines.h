#pragma once
// Collects the lines ReportCaught writes while an object of this class lives
// (one at a time), so a test can see that an error was logged.
#include <mutex>
#include <string>

#include "qvCaught.h"

class CaughtLines {
public:
    CaughtLines()
    {
        Clear();
        SetCaughtSink(&Take);
    }
    ~CaughtLines() { SetCaughtSink(nullptr); }
    CaughtLines(const CaughtLines&) = delete;
    CaughtLines& operator=(const CaughtLines&) = delete;

    bool Has(const std::string& part) const
    {
        std::lock_guard<std::mutex> hold(Lock());
        return Text().find(part) != std::string::npos;
    }
    std::string All() const
    {
        std::lock_guard<std::mutex> hold(Lock());
        return Text();
    }

private:
    static std::mutex& Lock()
    {
        static std::mutex lock;
        return lock;
    }
    static std::string& Text()
    {
        static std::string text;
        return text;
    }
    static void Clear()
    {
        std::lock_guard<std::mutex> hold(Lock());
        Text().clear();
    }
    static void Take(const std::string& line)
    {
        std::lock_guard<std::mutex> hold(Lock());
        Text() += line + "\n";
    }
};
