#pragma once
// Passes of the service's long-lived threads: what a pass throws is logged
// with the place it happened, and the thread goes on with its next pass, so
// one error never leaves a guard down. Set-up work is split into steps that
// are tried again until each has succeeded.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "qvCaught.h"
#include "qvThread.h"

// How long a thread waits (through its stop event) after a failed pass: an
// error that repeats costs a line a second, not a spinning processor.
constexpr DWORD kPauseAfterFailedPassMs = 1000;
// How often a set-up step that failed is tried again.
constexpr DWORD kSetUpRetryMs = 3000;

struct TSetUpStep {
    std::string Name;
    std::function<void()> Run;
    bool Done = false;
    std::string LastError;  // logged once while it stays the same
};

// One round over the steps not yet done, each on its own: a step that throws
// is logged (an error it already logged is not repeated) and left for the
// next round. faultPoint fails a step for the tests. True once all are done;
// false also when the owner was told to stop.
bool RunSetUpRound(std::vector<TSetUpStep>& steps, const std::string& where, const char* faultPoint,
                   const TThread& owner);

// The whole set-up of a guard thread: builds the steps (again every
// kSetUpRetryMs while building throws, logged under `where`), runs one round,
// sets `done`, then runs a round every kSetUpRetryMs until all steps are done.
// Returns at once when the owner is told to stop.
void RunSetUp(const std::function<std::vector<TSetUpStep>()>& buildSteps, const std::string& where,
              const char* faultPoint, const TThread& owner, std::atomic<bool>& done);
