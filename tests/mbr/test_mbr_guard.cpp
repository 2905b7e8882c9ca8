// The MBR guard against the disk image of this test's own prefix: before any
// case runs, the suite proves that \\.\PhysicalDrive0 is that image file in
// the build folder, so no write can reach a real disk.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <random>

#include "CaughtLines.h"
#include "RegistryUtils.h"
#include "TestSupport.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uMbrThread.h"

namespace {

constexpr uint64_t kImageBytes = 1024 * 1024;
constexpr uint64_t kSector3 = 3 * 512;

std::string gImage;  // Z:\...\build\wine\prefixes\<name>.img
bool gDriveIsImage = false;  // no case starts a guard without the proof below

std::string UnixToWine(const std::string& unixPath)
{
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

bool ReadAt(const std::string& path, uint64_t offset, void* bytes, DWORD count)
{
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    return file && SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
           ReadFile(file.Get(), bytes, count, &done, nullptr) && done == count;
}

// Only ever called with the image's own path.
bool WriteImage(uint64_t offset, const std::string& bytes)
{
    UniqueHandle file(CreateFileA(gImage.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    DWORD done = 0;
    return file && SetFilePointerEx(file.Get(), at, nullptr, FILE_BEGIN) &&
           WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
           done == bytes.size();
}

std::string ImageBytes(uint64_t offset, DWORD count)
{
    std::string bytes(count, '\0');
    if (!ReadAt(gImage, offset, bytes.data(), count)) return {};
    return bytes;
}

// Sectors 0-5 as the prefix script makes them: zeros and the boot signature.
std::string PristineStart()
{
    std::string bytes(TMbrThread::kGuardBytes, '\0');
    bytes[510] = '\x55';
    bytes[511] = '\xAA';
    return bytes;
}

bool StartIsPristine() { return ImageBytes(0, TMbrThread::kGuardBytes) == PristineStart(); }

void SetGuard(bool on)
{
    TRegEngine rec = SettingRef("mbr_guard");
    if (on)
        WriteRegBool(rec, true);
    else
        DeleteRegValue(rec);
}

int MbrEvents()
{
    int n = 0;
    for (const TReportQueueEntry& entry : QueueSnapshot())
        if (entry.Event.Source == evkMbr && entry.Event.Event == evmChange && entry.Event.Path.Empty()) ++n;
    return n;
}

class MbrGuard : public ::testing::Test {
protected:
    // The safety check: the prefix lies in this build folder, its image is a
    // 1 MiB file there, the device resolves to that very file, and bytes put
    // into the image come back when the device is read.
    static void SetUpTestSuite()
    {
        const std::string prefix = GetEnvVar("WINEPREFIX");
        ASSERT_FALSE(prefix.empty()) << "WINEPREFIX is not passed through";
        ASSERT_EQ(prefix[0], '/');
        const std::string prefixes = UnixToWine(prefix.substr(0, prefix.rfind('/')));
        ASSERT_TRUE(EndsWith(prefixes, "\\wine\\prefixes")) << prefixes;
        const std::string build = prefixes.substr(0, prefixes.size() - std::string("\\wine\\prefixes").size());
        ASSERT_TRUE(StartsText(build + "\\", ModuleFileName())) << "the prefix is not in this build folder";
        gImage = UnixToWine(prefix) + ".img";
        ASSERT_TRUE(FileExists(gImage));
        ASSERT_EQ(FileSizeOf(gImage), static_cast<int64_t>(kImageBytes));

        UniqueHandle device(CreateFileA("\\\\.\\PhysicalDrive0", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(device.Valid());
        char final[MAX_PATH * 2] = {};
        DWORD n = GetFinalPathNameByHandleA(device.Get(), final, sizeof(final), 0);
        ASSERT_GT(n, 0u);
        std::string resolved = final;
        if (StartsWith(resolved, "\\\\?\\")) resolved.erase(0, 4);
        ASSERT_TRUE(SameText(resolved, gImage)) << "PhysicalDrive0 is " << resolved;
        device.Reset();

        std::mt19937 random(GetTickCount());
        std::string marker(512, '\0');
        for (char& c : marker) c = static_cast<char>(random());
        const uint64_t at = 1000 * 512;
        ASSERT_TRUE(WriteImage(at, marker));
        std::string seen(512, '\0');
        ASSERT_TRUE(ReadAt("\\\\.\\PhysicalDrive0", at, seen.data(), 512));
        ASSERT_EQ(seen, marker) << "the device does not read the image";
        ASSERT_TRUE(WriteImage(at, std::string(512, '\0')));
        gDriveIsImage = true;
    }

    void SetUp() override
    {
        ASSERT_TRUE(gDriveIsImage) << "PhysicalDrive0 was not shown to be this prefix's image";
        ASSERT_TRUE(WriteImage(0, PristineStart()));
        ForceDirectories(GetDataFolder());
        ClearEventQueue();
        SetGuard(false);
    }
    void TearDown() override
    {
        SetGuard(false);
        WriteImage(0, PristineStart());
    }
};

TEST_F(MbrGuard, OffsetsAreSixtyFourBit)
{
    EXPECT_EQ(TMbrThread::MulSectorOffset(3, 512), 1536u);
    EXPECT_EQ(TMbrThread::MulSectorOffset(0x10000000ull, 512), 0x2000000000ull);
}

TEST_F(MbrGuard, NoBootSignatureMeansNoGuard)
{
    ASSERT_TRUE(WriteImage(511, std::string(1, '\x00')));
    SetGuard(true);
    TMbrThread thread;
    ASSERT_TRUE(WaitUntil([&] { return thread.Finished(); }, 15000)) << "the thread ends after the first read";
    EXPECT_FALSE(thread.Guarding());
    EXPECT_EQ(thread.ReadCount(), 1);
    EXPECT_EQ(MbrEvents(), 0);
}

TEST_F(MbrGuard, ChangesInTheGuardedSectorsAreWrittenBackAndLoggedOnce)
{
    SetGuard(true);
    TMbrThread thread;
    ASSERT_TRUE(WaitUntil([&] { return thread.Guarding(); }, 15000));

    ASSERT_TRUE(WriteImage(kSector3 + 7, "LOCKED"));
    DWORD start = GetTickCount();
    ASSERT_TRUE(WaitUntil(StartIsPristine, 15000)) << "sector 3 was not written back";
    std::printf("sector 3 written back after %lu ms\n", static_cast<unsigned long>(GetTickCount() - start));
    ASSERT_TRUE(WaitUntil([] { return MbrEvents() == 1; }, 15000));
    Sleep(1500);
    EXPECT_EQ(MbrEvents(), 1) << "one write-back, one event";
    EXPECT_FALSE(thread.Changed());

    // The last guarded byte counts; the first byte after the six sectors does not.
    ASSERT_TRUE(WriteImage(TMbrThread::kGuardBytes, "outside"));
    ASSERT_TRUE(WriteImage(TMbrThread::kGuardBytes - 1, "X"));
    ASSERT_TRUE(WaitUntil(StartIsPristine, 15000));
    ASSERT_TRUE(WaitUntil([] { return MbrEvents() == 2; }, 15000));
    Sleep(1200);
    EXPECT_EQ(ImageBytes(TMbrThread::kGuardBytes, 7), "outside");
    EXPECT_EQ(MbrEvents(), 2);
    WriteImage(TMbrThread::kGuardBytes, std::string(7, '\0'));
}

TEST_F(MbrGuard, NothingIsReadWhileTheSettingIsOff)
{
    TMbrThread thread;
    ASSERT_TRUE(WaitUntil([&] { return thread.Guarding(); }, 15000));
    EXPECT_EQ(thread.ReadCount(), 1) << "the reference";
    ASSERT_TRUE(WriteImage(kSector3, "BOOTKIT"));
    Sleep(2500);
    EXPECT_EQ(thread.ReadCount(), 1);
    EXPECT_EQ(ImageBytes(kSector3, 7), "BOOTKIT");
    EXPECT_EQ(MbrEvents(), 0);

    SetGuard(true);
    EXPECT_TRUE(WaitUntil(StartIsPristine, 15000)) << "reverted once the guard is on";
    EXPECT_TRUE(WaitUntil([] { return MbrEvents() == 1; }, 15000));
}

// A write-back that fails (the image held open by a reader that shares only
// reading, so the guard can read but not write; a read-only attribute does
// not stop root, which runs Wine here) logs nothing and leaves the difference
// pending; once the disk matches again, the next cycle still writes and logs.
TEST_F(MbrGuard, FailedWriteLogsNothingAndIsRetried)
{
    TMbrThread thread;
    ASSERT_TRUE(WaitUntil([&] { return thread.Guarding(); }, 15000));
    ASSERT_TRUE(WriteImage(kSector3, "BOOTKIT"));
    UniqueHandle lock(CreateFileA(gImage.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.Valid());

    SetGuard(true);
    ASSERT_TRUE(WaitUntil([&] { return thread.Changed(); }, 15000));
    Sleep(2500);  // at least one more failed write
    EXPECT_TRUE(thread.Changed());
    EXPECT_EQ(ImageBytes(kSector3, 7), "BOOTKIT");
    EXPECT_EQ(MbrEvents(), 0);

    SetGuard(false);
    Sleep(2000);  // lets a cycle in flight finish
    lock.Reset();
    ASSERT_TRUE(WriteImage(0, PristineStart()));
    SetGuard(true);
    EXPECT_TRUE(WaitUntil([] { return MbrEvents() == 1; }, 3500)) << "the pending write-back still runs";
    EXPECT_FALSE(thread.Changed());
    EXPECT_TRUE(StartIsPristine());
}

TEST_F(MbrGuard, AFailedPassIsLoggedAndTheNextStillWritesBack)
{
    CaughtLines caught;
    SetGuard(true);
    TMbrThread thread;
    ASSERT_TRUE(WaitUntil([&] { return thread.Guarding(); }, 15000));
    ArmFault("mbr guard pass");
    ASSERT_TRUE(WaitUntil([] { return ArmedFaults("mbr guard pass") == 0; }, 15000));
    ASSERT_TRUE(WriteImage(kSector3, "BOOTKIT"));
    EXPECT_TRUE(WaitUntil(StartIsPristine, 15000)) << "the guard ended with the failed pass";
    EXPECT_TRUE(caught.Has("fault injected at mbr guard pass")) << caught.All();
}

// A device that never answers (a pipe nobody writes to) holds the guard in its
// read: the stop still reaches it there. No disk is involved.
TEST(MbrGuardStop, AStopEndsAReadTheDeviceNeverAnswers)
{
    const std::string name = "\\\\.\\pipe\\qv-mbr-silent-" + std::to_string(GetCurrentProcessId());
    UniqueHandle pipe(CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1,
                                       4096, 4096, 0, nullptr));
    ASSERT_TRUE(pipe.Valid());
    UniqueHandle connected(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    OVERLAPPED connecting{};
    connecting.hEvent = connected.Get();
    ASSERT_FALSE(ConnectNamedPipe(pipe.Get(), &connecting));
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_IO_PENDING));

    TMbrThread thread(name);
    // connected: the guard's next step is the read of its reference
    ASSERT_EQ(WaitForSingleObject(connected.Get(), 15000), WAIT_OBJECT_0);
    thread.Terminate();
    if (thread.WaitFor(60000) != WAIT_OBJECT_0) {
        // ends the read, so the guard's destructor does not wait for ever
        DisconnectNamedPipe(pipe.Get());
        pipe.Reset();
        FAIL() << "the read did not see the stop";
    }
}

}  // namespace
