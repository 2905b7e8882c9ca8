#pragma once
// Acting as the console user. A command that reads or writes a file named by
// a caller does the open inside this scope, so the service reaches only what
// that user may reach, whatever links lie on the way. The scope belongs to the
// calling thread; the service's own files are touched after it ends.
#include <functional>

class ConsoleUserImpersonation {
public:
    ConsoleUserImpersonation();  // impersonates the console user at once
    ~ConsoleUserImpersonation();  // back to the service's own rights
    ConsoleUserImpersonation(const ConsoleUserImpersonation&) = delete;
    ConsoleUserImpersonation& operator=(const ConsoleUserImpersonation&) = delete;

    // False when nobody is logged on at the console or the system refused:
    // the caller must then leave the file alone.
    bool Active() const { return active_; }

private:
    bool active_ = false;
    std::function<void()> revert_;  // the pair of the impersonation made
};

// How the scope impersonates and reverts; empty members take the system's
// ways. Tests give their own: under Wine impersonation changes no result.
struct TImpersonationSeams {
    std::function<bool()> Impersonate;
    std::function<void()> Revert;
};
void SetImpersonationSeams(TImpersonationSeams seams);
