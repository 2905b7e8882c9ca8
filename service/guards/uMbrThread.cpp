#include "uMbrThread.h"

#include <windows.h>

#include <exception>
#include <string>

#include "qvCaught.h"
#include "qvFaults.h"
#include "qvHandles.h"
#include "qvLateApi.h"
#include "uDispatcherThread.h"
#include "uServiceUtils.h"
#include "uThreadPass.h"

std::unique_ptr<TMbrThread> gMbrThread;

TMbrThread::TMbrThread(std::string device) : device_(std::move(device))
{
    ClearMbrBuffers();
    Start();
}

TMbrThread::~TMbrThread()
{
    // Execute uses this object's members: it must be over before they go.
    StopAndJoin();
}

std::string TMbrThread::DrivePath(uint32_t drive) { return "\\\\.\\PhysicalDrive" + std::to_string(drive); }

uint64_t TMbrThread::MulSectorOffset(uint64_t sector, uint32_t sectorSize)
{
    return sector * static_cast<uint64_t>(sectorSize);
}

void TMbrThread::ClearMbrBuffers()
{
    saved_.fill(0);
    current_.fill(0);
    writing_ = false;
    changed_ = false;
}

uint32_t TMbrThread::Transfer(HANDLE device, bool write, uint64_t offset, uint8_t* bytes, uint32_t count)
{
    UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done) return 0;
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    overlapped.hEvent = done.Get();
    const BOOL finished = write ? WriteFile(device, bytes, count, nullptr, &overlapped)
                                : ReadFile(device, bytes, count, nullptr, &overlapped);
    if (!finished) {
        if (GetLastError() != ERROR_IO_PENDING) return 0;
        // No time limit of its own: the disk stack fails a request the disk
        // does not answer; a stop cancels it at once.
        HANDLE waits[2] = {done.Get(), StopEvent()};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) CancelThreadIo(device, &overlapped);
    }
    // Also waits for a cancel to land: until then the system writes into
    // `overlapped` and the buffer.
    DWORD transferred = 0;
    return GetOverlappedResult(device, &overlapped, &transferred, TRUE) ? transferred : 0;
}

uint32_t TMbrThread::ReadDiskSectors(uint64_t startSector, uint32_t count, uint32_t sectorSize, uint8_t* buffer)
{
    ++reads_;
    if (!Pause(50)) return 0;
    UniqueHandle device(CreateFileA(device_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!device) return 0;
    const uint32_t result =
        Transfer(device.Get(), false, MulSectorOffset(startSector, sectorSize), buffer, count * sectorSize);
    device.Reset();
    Pause(300);
    return result;
}

uint32_t TMbrThread::WriteDiskSectors(uint64_t startSector, uint32_t count, uint32_t sectorSize,
                                      const uint8_t* buffer)
{
    UniqueHandle device(CreateFileA(device_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OVERLAPPED, nullptr));
    if (!device) return 0;
    const uint32_t result = Transfer(device.Get(), true, MulSectorOffset(startSector, sectorSize),
                                     const_cast<uint8_t*>(buffer), count * sectorSize);
    device.Reset();
    Pause(500);
    return result;
}

bool TMbrThread::HasBootSignature() const { return saved_[510] == 0x55 && saved_[511] == 0xAA; }

bool TMbrThread::MbrUnchanged()
{
    if (writing_) return true;
    for (size_t i = 0; i < kGuardBytes; ++i) {
        if (current_[i] != saved_[i]) {
            changed_ = true;
            break;
        }
    }
    // An equal cycle does not clear a difference that is still waiting to be written.
    return !changed_;
}

void TMbrThread::RestoreMbr()
{
    if (writing_) return;
    writing_ = true;
    struct WritingReset {
        std::atomic<bool>& flag;
        ~WritingReset() { flag = false; }
    } reset{writing_};
    if (!Pause(50)) return;
    if (WriteDiskSectors(kStartSector, kSectorCount, kSectorSize, saved_.data()) == kGuardBytes) {
        changed_ = false;
        RecordEvent(evkMbr, evmChange, "");
    }
}

bool TMbrThread::ReadReference()
{
    // A reference that could not be read is read again at the next look.
    if (ReadDiskSectors(kStartSector, kSectorCount, kSectorSize, saved_.data()) != kGuardBytes) return true;
    if (!HasBootSignature()) return false;
    guarding_ = true;
    return true;
}

bool TMbrThread::GuardOnce()
{
    FaultPoint("mbr guard pass");
    if (!guarding_) return ReadReference();
    if (!ReadSettingBool("mbr_guard")) return true;
    if (ReadDiskSectors(kStartSector, kSectorCount, kSectorSize, current_.data()) != kGuardBytes) return true;
    MbrUnchanged();
    if (changed_) RestoreMbr();
    return true;
}

void TMbrThread::Execute()
{
    // Without a bootable reference there is nothing to guard for this run.
    while (!Terminated()) {
        bool goOn = true;
        RunLoggedPass("MBR guard", [&] { goOn = GuardOnce(); });
        if (!goOn || !Pause(1000)) break;
    }
}
