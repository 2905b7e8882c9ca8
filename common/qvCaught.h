#pragma once
// Where a caught error goes. A catch that handles an error still says what it
// caught: ReportCaught writes one line ("<where>: <what>") to the program's
// own log. The service points the sink at its log, the tray at the log it
// sends to the service; before that (and in the tests) lines go to the
// debugger's output.
#include <exception>
#include <string>
#include <utility>

using CaughtSink = void (*)(const std::string& line);
void SetCaughtSink(CaughtSink sink);

// "<where>: <text>"; a line written while another is on its way on the same
// thread (a sink that fails and reports it) goes to the debugger's output.
void ReportCaught(const std::string& where, const std::string& text);
// The exception's text, and for EOSError / EInOutError / ERegistryException
// its Windows code.
void ReportCaught(const std::string& where, const std::exception& error);
// What is logged for catch (...).
constexpr const char* kUnknownErrorText = "an unknown error was thrown";
// For catch (...): what is known is only that something was thrown.
void ReportUnknownCaught(const std::string& where);
// A failed system call: the code and the system's text for it.
void ReportSystemError(const std::string& where, unsigned long code);

// The text ReportCaught writes for an exception (also for callers that build
// a message of their own).
std::string CaughtText(const std::exception& error);

// Runs a pass that must not end its caller: when it throws, hands the
// error's text to report and returns false.
template <typename Pass, typename Report>
bool RunPassReporting(Pass&& pass, Report&& report)
{
    try {
        pass();
        return true;
    } catch (const std::exception& error) {
        report(CaughtText(error));
    } catch (...) {
        report(std::string(kUnknownErrorText));
    }
    return false;
}

// Runs pass(); false when it threw (logged as "<where>: <error>").
template <typename Pass>
bool RunLoggedPass(const std::string& where, Pass&& pass)
{
    return RunPassReporting(std::forward<Pass>(pass),
                            [&where](const std::string& text) { ReportCaught(where, text); });
}
