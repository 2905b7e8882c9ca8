#pragma once
// Follows the user at the console: keeps the per-user guards and the tray
// program running for that user, and stops them when the user leaves.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "qvFiles.h"
#include "qvHandles.h"
#include "qvThread.h"
#include "uUserProtectionThreads.h"

// How long the service's stop waits for the tray it told to quit: under the
// time the stop gives the console-user thread.
constexpr DWORD kTrayGoneAtStopMs = 3000;

// The tray program's file name, kept scrambled in the program.
std::string TrayProgramFileName();
// The tray program the service starts: its own folder + the tray's file name.
std::string TrayProgramPath();
// Presence, a PE image, and the digest recorded for the file.
bool TrayProgramIntact(const std::string& path, const std::string& recordedDigest, std::string& why);
// True when the process runs the tray program from the service's folder: the
// only process the service ends by the tray id it keeps.
bool IsOurTrayProcess(uint32_t pid);

// The digest of the tray program, taken afresh whenever the file's size or
// time changed: an update of the tray while the service runs is the tray the
// service starts from then on.
class TTrayFileDigest {
public:
    const std::string& Of(const std::string& path);

private:
    TFileStamp stamp_;
    std::string digest_;
};

class TUserSIDThreads : public TThread {
public:
    // How the console user is found and the tray started; empty members take
    // the system's ways. Tests give their own.
    struct TSeams {
        std::function<std::string()> ConsoleUser;
        TUserProtectionThreads::SidLookup SidLookup;
        std::function<uint32_t()> StartTray;  // process id, 0 on failure
    };
    explicit TUserSIDThreads(TSeams seams = {});
    ~TUserSIDThreads() override;

    uint32_t TrayProcessId() const { return trayPid_.load(); }
    bool Active() const { return active_.load(); }
    TUserProtectionThreads* UserProtection() const { return protection_.get(); }

    // Command 32: stops the per-user part and, if it ran, starts it again
    // (on this thread, at once).
    void RestartUserPart();

    // The SID the per-user guards work for; empty while none runs (or it is
    // still looking for the user).
    std::string ProtectedSid() const;
    // Per-user guards made so far, and polls of the console made so far.
    int ProtectionsMade() const { return protectionsMade_.load(); }
    int Polls() const { return polls_.load(); }

protected:
    void Execute() override;

private:
    // Between polls; a wake (command 32) cuts the wait short.
    static constexpr DWORD kPollMs = 1500;
    // False once the thread is told to stop.
    bool WaitForNextPoll();
    void Poll();
    bool StartUserPart();
    bool StopUserPart();
    bool PingTray();
    uint32_t AskTrayForItsId();
    uint32_t LaunchTray();
    // Until the tray's slot is there (present) or gone, timeoutMs at most. A
    // stop ends the wait (false) unless atStopMs is given: then a wait made
    // while stopping lasts atStopMs at most.
    bool WaitForTraySlot(bool present, DWORD timeoutMs, DWORD atStopMs = 0);
    void EndKeptTrayProcess();
    void RestartNow();

    bool ProtectsConsoleUser() const;

    TSeams seams_;
    mutable std::recursive_mutex lock_;  // the poll and command 32 never overlap
    std::string lastUser_;
    std::atomic<bool> active_{false};
    std::atomic<uint32_t> trayPid_{0};
    TTrayFileDigest trayDigest_;
    std::string lastLaunchProblem_;
    std::unique_ptr<TUserProtectionThreads> protection_;
    UniqueHandle wake_;
    std::atomic<bool> restartRequested_{false};
    std::atomic<int> protectionsMade_{0};
    std::atomic<int> polls_{0};
};

extern std::unique_ptr<TUserSIDThreads> gUserSIDThreads;
