#pragma once
// Keeps the lines the program's caught-error reports write (ReportCaught), for
// as long as the object lives, so a test can see that an error was logged.
#include <mutex>
#include <string>
#include <vector>

#include "qvCaught.h"

class CaughtLines {
public:
    CaughtLines()
    {
        Clear();
        SetCaughtSink(&Keep);
    }
    ~CaughtLines() { SetCaughtSink(nullptr); }
    CaughtLines(const CaughtLines&) = delete;
    CaughtLines& operator=(const CaughtLines&) = delete;

    // True when a kept line contains every one of the texts.
    bool Has(std::initializer_list<std::string> texts) const
    {
        std::lock_guard<std::mutex> hold(Lock());
        for (const std::string& line : Lines()) {
            bool all = true;
            for (const std::string& text : texts) all = all && line.find(text) != std::string::npos;
            if (all) return true;
        }
        return false;
    }

private:
    static std::mutex& Lock()
    {
        static std::mutex lock;
        return lock;
    }
    static std::vector<std::string>& Lines()
    {
        static std::vector<std::string> lines;
        return lines;
    }
    static void Clear()
    {
        std::lock_guard<std::mutex> hold(Lock());
        Lines().clear();
    }
    static void Keep(const std::string& line)
    {
        std::lock_guard<std::mutex> hold(Lock());
        Lines().push_back(line);
    }
};
