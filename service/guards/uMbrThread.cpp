#include "uMbrThread.h"

#include <windows.h>

#include <string>

#include "qvHandles.h"
#include "uDispatcherThread.h"
#include "uServiceUtils.h"

std::unique_ptr<TMbrThread> gMbrThread;

namespace {

std::string DrivePath(uint32_t drive) { return "\\\\.\\PhysicalDrive" + std::to_string(drive); }

bool SeekTo(HANDLE device, uint64_t offset)
{
    LARGE_INTEGER wanted;
    wanted.QuadPart = static_cast<LONGLONG>(offset);
    LARGE_INTEGER reached{};
    return SetFilePointerEx(device, wanted, &reached, FILE_BEGIN) && reached.QuadPart == wanted.QuadPart;
}

}  // namespace

TMbrThread::TMbrThread()
{
    ClearMbrBuffers();
    Start();
}

TMbrThread::~TMbrThread()
{
    // Execute uses this object's members: it must be over before they go.
    Terminate();
    WaitFor();
}

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

uint32_t TMbrThread::ReadDiskSectors(uint32_t drive, uint64_t startSector, uint32_t count, uint32_t sectorSize,
                                     uint8_t* buffer)
{
    ++reads_;
    Sleep(50);
    UniqueHandle device(CreateFileA(DrivePath(drive).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device) return 0;
    uint32_t result = 0;
    const DWORD wanted = count * sectorSize;
    DWORD done = 0;
    if (SeekTo(device.Get(), MulSectorOffset(startSector, sectorSize)) &&
        ReadFile(device.Get(), buffer, wanted, &done, nullptr))
        result = done;
    device.Reset();
    Sleep(300);
    return result;
}

uint32_t TMbrThread::WriteDiskSectors(uint32_t drive, uint64_t startSector, uint32_t count, uint32_t sectorSize,
                                      const uint8_t* buffer)
{
    UniqueHandle device(CreateFileA(DrivePath(drive).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!device) return 0;
    uint32_t result = 0;
    const DWORD wanted = count * sectorSize;
    DWORD done = 0;
    if (SeekTo(device.Get(), MulSectorOffset(startSector, sectorSize)) &&
        WriteFile(device.Get(), buffer, wanted, &done, nullptr))
        result = done;
    device.Reset();
    Sleep(500);
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
    Sleep(50);
    if (WriteDiskSectors(kDrive, kStartSector, kSectorCount, kSectorSize, saved_.data()) == kGuardBytes) {
        changed_ = false;
        RecordEvent(evkMbr, evmChange, "");
    }
}

void TMbrThread::Execute()
{
    // Without a readable, bootable reference there is nothing to guard for this run.
    if (ReadDiskSectors(kDrive, kStartSector, kSectorCount, kSectorSize, saved_.data()) != kGuardBytes ||
        !HasBootSignature())
        return;
    guarding_ = true;
    while (Pause(1000)) {
        if (!ReadSettingBool("mbr_guard")) continue;
        if (ReadDiskSectors(kDrive, kStartSector, kSectorCount, kSectorSize, current_.data()) != kGuardBytes) continue;
        MbrUnchanged();
        if (changed_) RestoreMbr();
    }
}
