#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <set>
#include <thread>

#include "CaughtLines.h"
#include "RegistryUtils.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "qvFaults.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"
#include "uServiceMessThread.h"

namespace {

// Each case starts from an empty report and queue.
class EventReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ForceDirectories(GetDataFolder());
        RemoveFile(ReportFilePath());
        ClearEventQueue();
    }
};

std::string ReportBytes() { return ReadTextFile(ReportFilePath()); }

int32_t Int32At(const std::string& bytes, size_t at)
{
    return static_cast<int32_t>(static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8 |
                                static_cast<uint8_t>(bytes[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 3])) << 24);
}

TEST_F(EventReport, RecordLayoutOnDisk)
{
    RecordEvent(evkWinlogonShell, evmChange, "C:\\locker.exe", "detail", "0123456789ABCDEF0123456789ABCDEF");
    std::string bytes = ReportBytes();
    ASSERT_EQ(bytes.size(), 432u);
    EXPECT_EQ(Int32At(bytes, 0), 101);
    EXPECT_EQ(Int32At(bytes, 4), 903);
    EXPECT_EQ(static_cast<uint8_t>(bytes[8]), 13);
    EXPECT_EQ(bytes.substr(9, 13), "C:\\locker.exe");
    EXPECT_EQ(bytes.substr(9 + 13, 255 - 13), std::string(255 - 13, ' ')) << "blanks behind the characters";
    EXPECT_EQ(static_cast<uint8_t>(bytes[264]), 6);
    EXPECT_EQ(bytes.substr(265, 6), "detail");
    EXPECT_EQ(bytes.substr(271, 93), std::string(93, ' '));
    EXPECT_EQ(static_cast<uint8_t>(bytes[364]), 32);
    EXPECT_EQ(bytes.substr(365, 32), "0123456789ABCDEF0123456789ABCDEF");
    double time;
    std::memcpy(&time, bytes.data() + 416, 8);
    EXPECT_NEAR(time, NowDateTime(), 1.0 / 24 / 60) << "days since 30 Dec 1899, now";
    EXPECT_EQ(bytes[424], 0) << "Flag is false";
}

TEST_F(EventReport, DateTimeEncoding)
{
    EXPECT_DOUBLE_EQ(EncodeDateTime(1899, 12, 30, 0, 0, 0, 0), 0.0);
    EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 1, 1, 12, 0, 0, 0), 36526.5);
    int y, mo, d, h, mi, s, ms;
    DecodeDateTime(EncodeDateTime(2026, 12, 9, 7, 5, 3, 42), y, mo, d, h, mi, s, ms);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}), std::vector<int>({2026, 12, 9, 7, 5, 3, 42}));
    DecodeDateTime(EncodeDateTime(2024, 2, 29, 23, 59, 59, 999), y, mo, d, h, mi, s, ms);
    EXPECT_EQ(std::vector<int>({y, mo, d, h, mi, s, ms}), std::vector<int>({2024, 2, 29, 23, 59, 59, 999}));
}

TEST_F(EventReport, TimesOutsideTheCalendarDecodeToNothing)
{
    int y, mo, d, h, mi, s, ms;
    ASSERT_TRUE(DecodeDateTime(EncodeDateTime(1601, 1, 1, 0, 0, 0, 0), y, mo, d, h, mi, s, ms));
    EXPECT_EQ(std::vector<int>({y, mo, d}), std::vector<int>({1601, 1, 1}));
    ASSERT_TRUE(DecodeDateTime(EncodeDateTime(9999, 12, 31, 23, 59, 59, 0), y, mo, d, h, mi, s, ms));
    EXPECT_EQ(std::vector<int>({y, mo, d, h}), std::vector<int>({9999, 12, 31, 23}));
    const double outside[] = {EncodeDateTime(1601, 1, 1, 0, 0, 0, 0) - 1.0, EncodeDateTime(10000, 1, 1, 0, 0, 0, 0),
                              1e300, -1e300, std::nan(""), HUGE_VAL, -HUGE_VAL, 9.3e18, -9.3e18};
    for (double t : outside) {
        EXPECT_FALSE(DecodeDateTime(t, y, mo, d, h, mi, s, ms)) << t;
        EXPECT_EQ(y, 0);
        EXPECT_EQ(FormatEventTime(t), "") << t;
    }
    EXPECT_NE(FormatEventTime(EncodeDateTime(2026, 12, 9, 7, 5, 3, 0)), "");
}

TEST_F(EventReport, QueuedEventsDrainNewestFirstOncePerRound)
{
    RecordEvent(171, 915, "one");
    RecordEvent(172, 915, "two");
    RecordEvent(173, 915, "three");
    EXPECT_FALSE(SendQueuedEvent()) << "no tray slot: nothing leaves";
    EXPECT_EQ(QueuedEventCount(), 3u);

    SlotListener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    std::vector<std::string> order;
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(SendQueuedEvent());
        TMSlotMessage m;
        ASSERT_TRUE(tray.Next(m));
        EXPECT_EQ(m.Type, 9);
        order.push_back(m.Data.Str());
        EXPECT_EQ(QueuedEventCount(), 2u - round) << "one event per round";
    }
    EXPECT_EQ(order, (std::vector<std::string>{"three", "two", "one"}));
}

TEST_F(EventReport, DeliveredFieldsAndTheirWireLimits)
{
    SlotListener tray(kTraySlot);
    std::string detail(99, 'd');
    std::string md5(48, 'M');
    std::string path(255, 'p');
    RecordEvent(108, 914, path, detail, md5);
    ASSERT_TRUE(SendQueuedEvent());
    TMSlotMessage m;
    ASSERT_TRUE(tray.Next(m));
    EXPECT_EQ(m.Data.Str(), path);
    EXPECT_EQ(m.Mess.Str(), detail.substr(0, 98)) << "the wire carries 98 characters of Mess";
    EXPECT_EQ(m.Mess1.Str(), md5);
    EXPECT_EQ(m.A, 108);
    EXPECT_EQ(m.B, 914);
}

TEST_F(EventReport, DispatcherThreadDeliversWhenTheTrayAppears)
{
    TDispatcherThread dispatcher;
    RecordEvent(101, 901, "a");
    RecordEvent(101, 902, "b");
    RecordEvent(101, 903, "c");
    Sleep(300);
    EXPECT_EQ(QueuedEventCount(), 3u);
    SlotListener tray(kTraySlot);
    std::vector<int32_t> ids;
    TMSlotMessage m;
    while (ids.size() < 3 && tray.Next(m, 2000)) ids.push_back(m.B);
    EXPECT_EQ(ids, (std::vector<int32_t>{903, 902, 901}));
    dispatcher.Terminate();
    EXPECT_EQ(dispatcher.WaitFor(2000), WAIT_OBJECT_0);
}

TEST_F(EventReport, DispatcherGoesOnAfterAFailedRound)
{
    CaughtLines caught;
    SlotListener tray(kTraySlot);
    ArmFault("dispatcher.send");
    TDispatcherThread dispatcher;
    RecordEvent(101, 904, "after the error");
    TMSlotMessage m;
    ASSERT_TRUE(tray.Next(m, 5000)) << "the event still reaches the tray";
    EXPECT_EQ(m.B, 904);
    EXPECT_EQ(ArmedFaults("dispatcher.send"), 0);
    EXPECT_TRUE(caught.Has({"event sender", "fault injected"}));
}

TEST_F(EventReport, ExistingReportIsNeverTruncated)
{
    RecordEvent(101, 901, "first");
    // another reader holds the report open: the next event still appends
    HANDLE reader = CreateFileA(ReportFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    RecordEvent(101, 902, "second");
    CloseHandle(reader);
    EXPECT_EQ(ReportBytes().size(), 864u);
}

TEST_F(EventReport, ManyThreadsStoreAndDeliverEveryEventExactlyOnce)
{
    constexpr int kThreads = 16, kPerThread = 625;
    SlotListener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    std::atomic<bool> logging{true};
    std::set<std::string> delivered;
    int duplicates = 0;
    std::thread reader([&] {
        TMSlotMessage m;
        while (tray.Next(m, logging ? 5000 : 1000)) {
            if (!delivered.insert(m.Data.Str()).second) ++duplicates;
        }
    });
    std::thread sender([&] {
        while (logging || QueuedEventCount() > 0) SendQueuedEvent();
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t)
        writers.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) RecordEvent(171, 915, "t" + std::to_string(t) + "-" + std::to_string(i));
        });
    for (auto& w : writers) w.join();
    logging = false;
    sender.join();
    reader.join();

    std::string bytes = ReportBytes();
    ASSERT_EQ(bytes.size(), 10000u * 432);
    std::set<std::string> stored;
    for (size_t i = 0; i < 10000; ++i) {
        TReportEvent event;
        std::memcpy(&event, bytes.data() + i * 432, 432);
        ASSERT_EQ(event.Source, 171);
        ASSERT_EQ(event.Event, 915);
        stored.insert(event.Path.Str());
    }
    EXPECT_EQ(stored.size(), 10000u) << "every record whole and distinct";
    EXPECT_EQ(delivered.size(), 10000u);
    EXPECT_EQ(duplicates, 0);
}

}  // namespace
