#include "uUserSIDThreads.h"

#include <windows.h>

#include "cryptograph.h"
#include "md5.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "qvProtocol.h"
#include "uCommonUtils.h"
#include "uKillerUtils.h"
#include "uLogThread.h"
#include "uMailSlots.h"
#include "uPIDProcessing.h"
#include "uRunFileFromSrv.h"
#include "uServiceUtils.h"
#include "uThreadPass.h"

std::unique_ptr<TUserSIDThreads> gUserSIDThreads;

namespace {

// "QuorvaneTray.exe" in digit form.
const char kTrayProgramDigits[] =
    "85230465033765456558571363354632277383560518486327567558071401230147078207576258615226072311562742787110273607"
    "236171568605746765";

bool TraySlotExists()
{
    UniqueHandle slot(CreateFileA((std::string(kMailslotPrefix) + kTraySlot).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    return slot.Valid();
}

bool LooksLikePeImage(const std::string& path)
{
    std::string bytes;
    if (!ReadFileBytes(path, bytes) || bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0) return false;
    uint32_t peOffset = static_cast<uint8_t>(bytes[0x3C]) | static_cast<uint8_t>(bytes[0x3D]) << 8 |
                        static_cast<uint8_t>(bytes[0x3E]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[0x3F])) << 24;
    return peOffset + 4 <= bytes.size() && bytes.compare(peOffset, 4, std::string("PE\0\0", 4)) == 0;
}

}  // namespace

std::string TrayProgramFileName() { return UnscrambleText(kTrayProgramDigits); }

std::string TrayProgramPath() { return ModuleFolder() + TrayProgramFileName(); }

bool TrayProgramIntact(const std::string& path, const std::string& recordedDigest, std::string& why)
{
    if (!FileExists(path)) {
        why = "the tray program " + path + " is missing";
        return false;
    }
    if (!LooksLikePeImage(path)) {
        why = "the tray program " + path + " is not a program file";
        return false;
    }
    if (recordedDigest.empty() || GetFileMD5(path) != recordedDigest) {
        why = "the tray program " + path + " is not the file whose digest was taken";
        return false;
    }
    return true;
}

const std::string& TTrayFileDigest::Of(const std::string& path)
{
    const TFileStamp now = FileStampOf(path);
    if (!(now == stamp_) || digest_.empty()) {
        stamp_ = now;
        digest_ = GetFileMD5(path);
    }
    return digest_;
}

bool IsOurTrayProcess(uint32_t pid)
{
    if (pid == 0 || !ProcessIdExists(pid)) return false;
    return SameText(NormalizeCommandPath(GetProcessImagePath(pid)), TrayProgramPath()) ||
           SameText(GetProcessImagePath(pid), TrayProgramPath());
}

TUserSIDThreads::TUserSIDThreads(TSeams seams) : seams_(std::move(seams)), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    if (!seams_.ConsoleUser) seams_.ConsoleUser = [] { return GetConsoleUserName(); };
    if (!seams_.SidLookup)
        seams_.SidLookup = [](std::string& sid, std::string& name) { return GetConsoleUserSidAndName(sid, name); };
    if (!seams_.StartTray) seams_.StartTray = [this] { return LaunchTray(); };
    trayDigest_.Of(TrayProgramPath());
    Start();
}

TUserSIDThreads::~TUserSIDThreads()
{
    Terminate();
    WaitFor();
}

std::string TUserSIDThreads::ProtectedSid() const
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    return protection_ && !protection_->Finished() ? protection_->Sid() : std::string();
}

void TUserSIDThreads::Execute()
{
    gTrayPingOk = true;
    trayPid_ = 0;
    lastUser_.clear();
    active_ = false;
    // A failed poll is logged and the next one comes after the usual wait:
    // the tray and the per-user guards are looked after again then.
    do {
        RunLoggedPass("console user poll", [this] {
            if (restartRequested_.exchange(false)) RestartNow();
            Poll();
        });
    } while (WaitForNextPoll());
    RunLoggedPass("console user: stop of the per-user part", [this] {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        StopUserPart();
    });
}

bool TUserSIDThreads::WaitForNextPoll()
{
    HANDLE waits[2] = {StopEvent(), wake_.Get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, kPollMs);
    // without its wake event the wait fails at once: the polls keep their pace
    if (woke == WAIT_FAILED) return Pause(kPollMs);
    return woke != WAIT_OBJECT_0 && !Terminated();
}

void TUserSIDThreads::Poll()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    FaultPoint("usersid.poll");
    const std::string current = seams_.ConsoleUser();
    ++polls_;
    if (current.empty()) {
        // Also the guards of a user whose tray never started: nobody's keys
        // are watched once the user has logged off.
        if (active_ || protection_) StopUserPart();
        lastUser_.clear();
    } else if (SameText(current, lastUser_)) {
        if (active_) {
            if (!PingTray()) {
                gTrayPingOk = false;
                if (StopUserPart()) StartUserPart();
            }
        } else {
            // a start that found no tray is tried again
            StartUserPart();
        }
    } else if (!lastUser_.empty()) {
        if (StopUserPart()) StartUserPart();
    } else {
        if (StartUserPart()) lastUser_ = current;
    }
}

bool TUserSIDThreads::PingTray() { return SendToMailSlot(proto::ToTray(proto::kPing), kTraySlot); }

uint32_t TUserSIDThreads::AskTrayForItsId()
{
    TMSlotMessage request = proto::ToTray(proto::kProcessIdAsk);
    if (!SendToMailSlotAndWait(kTraySlot, request, StopEvent())) return 0;
    return request.B > 0 ? static_cast<uint32_t>(request.B) : 0;
}

bool TUserSIDThreads::WaitForTraySlot(bool present, DWORD timeoutMs, DWORD atStopMs)
{
    // Pause no longer waits once the service stops; with atStopMs the stop
    // still ends with the tray it told to quit gone, within its own limit.
    const bool waitsAtStop = atStopMs != 0;
    const DWORD limitMs = waitsAtStop && Terminated() ? atStopMs : timeoutMs;
    for (DWORD waited = 0; waited < limitMs; waited += 100) {
        if (TraySlotExists() == present) return true;
        if (waitsAtStop && Terminated()) Sleep(100);
        else if (!Pause(100)) return false;
    }
    return TraySlotExists() == present;
}

uint32_t TUserSIDThreads::LaunchTray()
{
    const std::string path = TrayProgramPath();
    for (int attempt = 0; attempt < 3 && !Terminated(); ++attempt) {
        std::string why;
        if (!TrayProgramIntact(path, trayDigest_.Of(path), why)) {
            if (why != lastLaunchProblem_) WriteServiceLog("Трей не запущен: " + why);  // once per reason
            lastLaunchProblem_ = why;
            continue;
        }
        lastLaunchProblem_.clear();
        uint32_t pid = RunFileAsConsoleUser(path, "", HIGH_PRIORITY_CLASS);
        if (pid) return pid;
    }
    return 0;
}

bool TUserSIDThreads::StartUserPart()
{
    if (active_) return false;
    // At most one per-user part: one left by a start that found no tray is
    // reused, but only while it guards the user now at the console.
    if (protection_ && !ProtectsConsoleUser()) StopAndFree(protection_);
    if (!protection_) {
        protection_ = std::make_unique<TUserProtectionThreads>(seams_.SidLookup);
        ++protectionsMade_;
    }
    uint32_t pid = AskTrayForItsId();
    if (!pid) {
        pid = seams_.StartTray();
        // The tray we start starts a fresh copy of itself: give that copy time
        // to open its slot, so the next ping does not take it for gone, and
        // learn its own id.
        if (pid && WaitForTraySlot(true, 15000)) {
            uint32_t answered = AskTrayForItsId();
            if (answered) pid = answered;
        }
    }
    trayPid_ = pid;
    Sleep(100);
    active_ = pid != 0;
    const std::string found = protection_->UserName();
    lastUser_ = found.empty() ? seams_.ConsoleUser() : found;
    return active_;
}

bool TUserSIDThreads::ProtectsConsoleUser() const
{
    if (protection_->Finished()) return false;  // gave up on the SID
    const std::string guarded = protection_->Sid();
    if (guarded.empty()) return true;  // still looking up the user at the console
    std::string sid, name;
    seams_.SidLookup(sid, name);
    return !sid.empty() && SameText(sid, guarded);
}

void TUserSIDThreads::EndKeptTrayProcess()
{
    uint32_t pid = trayPid_;
    if (IsOurTrayProcess(pid)) TerminateTrayProcess(pid);
}

bool TUserSIDThreads::StopUserPart()
{
    if (!active_) {
        EndKeptTrayProcess();
        lastUser_.clear();
        if (protection_) StopAndFree(protection_);
        return false;
    }
    // The tray is told to quit; its slot going away tells that it did, so a
    // start that follows never takes the leaving tray for a running one.
    if (SendToMailSlot(proto::ToTray(proto::kQuit), kTraySlot)) WaitForTraySlot(false, 5000, kTrayGoneAtStopMs);
    if (protection_) StopAndFree(protection_);
    active_ = false;
    if (!ProcessIdExists(trayPid_)) lastUser_.clear();
    trayPid_ = 0;
    return true;
}

void TUserSIDThreads::RestartUserPart()
{
    // Done on this thread, not the caller's: the command thread must stay free
    // to answer the requests of the tray that the restart brings back.
    restartRequested_ = true;
    SetEvent(wake_.Get());
}

void TUserSIDThreads::RestartNow()
{
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (lastUser_.empty() && !active_) return;  // no console user known
    if (StopUserPart()) StartUserPart();
}
