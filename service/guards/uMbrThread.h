#pragma once
// The MBR guard: keeps the first six sectors of the first physical disk as
// read at service start and writes them back whenever they change while the
// setting "mbr_guard" is on. A look that fails is logged and the next one
// comes a second later; a disk read or write waits on the stop event too.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "qvThread.h"

class TMbrThread : public TThread {
public:
    static constexpr uint32_t kDrive = 0;
    static constexpr uint64_t kStartSector = 0;
    static constexpr uint32_t kSectorCount = 6;
    static constexpr uint32_t kSectorSize = 512;
    static constexpr uint32_t kGuardBytes = kSectorCount * kSectorSize;
    using TSectors = std::array<uint8_t, kGuardBytes>;

    // "\\.\PhysicalDrive<n>"
    static std::string DrivePath(uint32_t drive);

    // Created running, on the first physical disk; tests give another device.
    explicit TMbrThread(std::string device = DrivePath(kDrive));
    ~TMbrThread() override;

    // Byte offset of a sector, computed in 64 bits so large disks do not wrap.
    static uint64_t MulSectorOffset(uint64_t sector, uint32_t sectorSize);

    // Bytes read / written, 0 on any failure and when the thread is told to
    // stop (a read or write in progress is cancelled). The device is opened
    // and closed for every call.
    uint32_t ReadDiskSectors(uint64_t startSector, uint32_t count, uint32_t sectorSize, uint8_t* buffer);
    uint32_t WriteDiskSectors(uint64_t startSector, uint32_t count, uint32_t sectorSize, const uint8_t* buffer);

    bool HasBootSignature() const;  // 0x55 0xAA at bytes 510-511 of the reference
    bool MbrUnchanged();            // sets Changed at the first difference
    void RestoreMbr();
    void ClearMbrBuffers();

    // State for the owner and the tests.
    bool Changed() const { return changed_.load(); }
    bool Guarding() const { return guarding_.load(); }  // a valid reference was read
    int ReadCount() const { return reads_.load(); }

protected:
    void Execute() override;

private:
    // One look at the disk; false when there is nothing to guard this run.
    bool GuardOnce();
    // False when the reference was read and is not bootable.
    bool ReadReference();
    // One read or write through an overlapped handle, waited for together
    // with the stop event.
    uint32_t Transfer(HANDLE device, bool write, uint64_t offset, uint8_t* bytes, uint32_t count);

    std::string device_;
    TSectors saved_{};
    TSectors current_{};
    std::atomic<bool> writing_{false};
    std::atomic<bool> changed_{false};
    std::atomic<bool> guarding_{false};
    std::atomic<int> reads_{0};
};

// Created last by the service start-up and stopped last.
extern std::unique_ptr<TMbrThread> gMbrThread;
