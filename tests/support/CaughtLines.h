#pragma once
// Keeps the lines the program's caught-error reports write (ReportCaught)
// while the object lives (one at a time), so a test can see that an error
// was logged.
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

#include "qvCaught.h"

class CaughtLines {
public:
    CaughtLines()
    {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.clear();
        SetCaughtSink(&Keep);
    }
    ~CaughtLines() { SetCaughtSink(nullptr); }
    CaughtLines(const CaughtLines&) = delete;
    CaughtLines& operator=(const CaughtLines&) = delete;

    // True when one kept line contains every one of the texts.
    bool Has(std::initializer_list<std::string> texts) const
    {
        std::lock_guard<std::mutex> hold(lock_);
        for (const std::string& line : lines_) {
            bool all = true;
            for (const std::string& text : texts) all = all && line.find(text) != std::string::npos;
            if (all) return true;
        }
        return false;
    }
    bool Has(const std::string& text) const { return Has({text}); }
    std::string All() const
    {
        std::lock_guard<std::mutex> hold(lock_);
        std::string text;
        for (const std::string& line : lines_) text += line + "\n";
        return text;
    }

private:
    static void Keep(const std::string& line)
    {
        std::lock_guard<std::mutex> hold(lock_);
        lines_.push_back(line);
    }
    static inline std::mutex lock_;
    static inline std::vector<std::string> lines_;
};
