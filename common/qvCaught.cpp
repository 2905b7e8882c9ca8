#include "qvCaught.h"

#include <windows.h>

#include <atomic>

#include "qvErrors.h"

namespace {

std::atomic<CaughtSink> gSink{nullptr};
thread_local bool tReporting = false;

void ToDebugger(const std::string& line) { OutputDebugStringA((line + "\n").c_str()); }

}  // namespace

void SetCaughtSink(CaughtSink sink) { gSink = sink; }

void ReportCaught(const std::string& where, const std::string& text)
{
    std::string line = where + ": " + text;
    CaughtSink sink = gSink.load();
    if (!sink || tReporting) {
        ToDebugger(line);
        return;
    }
    tReporting = true;
    try {
        sink(line);
    } catch (const std::exception& error) {
        ToDebugger(line + " (not logged: " + error.what() + ")");
    } catch (...) {
        ToDebugger(line + " (not logged)");
    }
    tReporting = false;
}

std::string CaughtText(const std::exception& error)
{
    if (auto* os = dynamic_cast<const EOSError*>(&error))
        return WindowsErrorText(os->Code);
    if (auto* reg = dynamic_cast<const ERegistryException*>(&error))
        return std::string(error.what()) + " (Windows error " + std::to_string(reg->Code) + ")";
    if (auto* io = dynamic_cast<const EInOutError*>(&error))
        return std::string(error.what()) + " (Windows error " + std::to_string(io->Code) + ")";
    return error.what();
}

void ReportCaught(const std::string& where, const std::exception& error) { ReportCaught(where, CaughtText(error)); }

void ReportUnknownCaught(const std::string& where) { ReportCaught(where, kUnknownErrorText); }

void ReportSystemError(const std::string& where, unsigned long code)
{
    ReportCaught(where, WindowsErrorText(code));
}
