// Attacks through the transport and the service's own files: slots that are
// never read, floods, damaged report records, language-key floods. Each must
// leave the service answering and stoppable.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "qvHandles.h"
#include "uCommonUtils.h"
#include "uDispatcherThread.h"

using namespace harness;

namespace {

class TransportAttack : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        RemoveService();
        ResetMachineState();
        folder_ = GetEnvVar("TEMP") + "\\qvsvc_attack";
        exe_ = StageServiceCopy(folder_, "ServiceQuorvane.exe");
        ForceDirectories(folder_ + "\\language");
        ASSERT_TRUE(InstallService(exe_));
    }
    static void TearDownTestSuite() { RemoveService(); }
    void SetUp() override
    {
        if (State() != SERVICE_RUNNING) {
            ASSERT_TRUE(StartAndWaitRunning());
        }
    }

    static std::string LanguageFile() { return folder_ + "\\language\\English.lng"; }

    static std::string folder_;
    static std::string exe_;
};
std::string TransportAttack::folder_;
std::string TransportAttack::exe_;

// Fills a slot that the test holds and never reads until a send gives up.
int FillUntilRefused(const std::string& slot)
{
    for (int sent = 0; sent < 2000; ++sent)
        if (!SendToMailSlot(MakeRequest(0), slot)) return sent;
    return -1;
}

ULONGLONG ElapsedSince(ULONGLONG start) { return GetTickCount64() - start; }

bool AskVersion()
{
    TMSlotMessage m = Request(13, 20);
    return Ask(m) && m.Data.Str() == "2.6.9";
}

TEST_F(TransportAttack, ReplySlotThatNobodyReadsHoldsTheServiceOnlyBriefly)
{
    Listener held(MakeReplySlotName());
    ASSERT_TRUE(held.Active());
    const ULONGLONG fillStart = GetTickCount64();
    ASSERT_GT(FillUntilRefused(held.Name()), 0) << "the held slot never filled";
    EXPECT_LT(ElapsedSince(fillStart), 30000u);

    // The service's reply to it finds the slot full and is dropped.
    TMSlotMessage trap = Request(13, 20);
    trap.Mess1.Set(held.Name());
    ASSERT_TRUE(SendToMailSlot(trap, kServiceSlot));
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(AskVersion());
    EXPECT_LT(ElapsedSince(start), 2000u) << "a request behind the held reply";

    // A stop while replies to the held slot are still waiting in line.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(SendToMailSlot(trap, kServiceSlot));
    EXPECT_TRUE(StopAndWaitStopped(15000));
    EXPECT_EQ(State(), SERVICE_STOPPED);
}

// How long a request waits for its answer.
ULONGLONG TimedAskVersion(bool& answered)
{
    const ULONGLONG start = GetTickCount64();
    answered = AskVersion();
    return ElapsedSince(start);
}

// Amplification: held reply slots and empty datagrams, each timed beside a
// quiet request (the figures are printed).
TEST_F(TransportAttack, FloodsCostTheServiceOneWaitAtMost)
{
    bool answered = false;
    const ULONGLONG quiet = TimedAskVersion(answered);
    Listener held(MakeReplySlotName());
    ASSERT_TRUE(held.Active());
    ASSERT_GT(FillUntilRefused(held.Name()), 0);
    TMSlotMessage trap = Request(13, 20);
    trap.Mess1.Set(held.Name());
    for (int i = 0; i < 30; ++i) ASSERT_TRUE(SendToMailSlot(trap, kServiceSlot));
    ULONGLONG delayed = TimedAskVersion(answered);
    std::printf("30 replies to a held slot: next request %llu ms (quiet %llu ms)\n", delayed, quiet);
    EXPECT_TRUE(answered);
    EXPECT_LT(delayed, 10000u) << "every reply to the held slot waited for room";

    UniqueHandle slot(CreateFileA((std::string(kMailslotPrefix) + kServiceSlot).c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(slot.Valid());
    DWORD wrote = 0;
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(WriteFile(slot.Get(), "", 0, &wrote, nullptr));  // fewer than a slot holds
    delayed = TimedAskVersion(answered);
    std::printf("200 empty datagrams: next request %llu ms (quiet %llu ms)\n", delayed, quiet);
    EXPECT_TRUE(answered);
    EXPECT_LT(delayed, 1000u) << "empty datagrams were taken one per pause";
}

TEST_F(TransportAttack, FullTraySlotHoldsNeitherEventsNorTheirRecorders)
{
    ASSERT_TRUE(StopAndWaitStopped());  // this case plays the service's event side itself
    Listener tray(kTraySlot);
    ASSERT_TRUE(tray.Active());
    ASSERT_GT(FillUntilRefused(kTraySlot), 0);
    ForceDirectories(GetDataFolder());
    ClearEventQueue();
    auto dispatcher = std::make_unique<TDispatcherThread>();

    std::atomic<int> recorded{0};
    std::thread guard([&] {
        for (int i = 0; i < 3; ++i) {
            RecordEvent(171, 915, "C:\\locker" + std::to_string(i) + ".exe");
            ++recorded;
        }
    });
    const bool allRecorded = WaitUntil([&] { return recorded.load() == 3; }, 15000);
    EXPECT_TRUE(allRecorded) << "recording an event waited for the full tray slot";
    if (!allRecorded) {  // stuck for good: leave the threads to the process's end
        guard.detach();
        (void)dispatcher.release();
        return;
    }
    guard.join();

    // Once the tray reads again, every event arrives.
    std::vector<std::string> paths;
    ASSERT_TRUE(WaitUntil(
        [&] {
            TMSlotMessage m;
            while (tray.Next(m, 50))
                if (m.Type == 9) paths.push_back(m.Data.Str());
            return QueuedEventCount() == 0 && paths.size() >= 3;
        },
        20000));
    // each once; the order depends on which send was under way when room came
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (std::vector<std::string>{"C:\\locker0.exe", "C:\\locker1.exe", "C:\\locker2.exe"}));
    StopAndFree(dispatcher);
}

void WriteReport(const std::vector<TReportEvent>& events, const std::string& tail = {})
{
    std::string bytes;
    for (const auto& e : events) bytes.append(reinterpret_cast<const char*>(&e), sizeof(e));
    ForceDirectories(GetDataFolder());
    ASSERT_TRUE(WriteTextFile(ReportFilePath(), bytes + tail));
}

TReportEvent EventAt(double time, int32_t kind, const std::string& path)
{
    TReportEvent e;
    std::memset(&e, 0, sizeof(e));
    InitReportEvent(e);
    e.Source = kind;
    e.Event = 903;
    e.Path.Set(path);
    e.Time = time;
    return e;
}

std::vector<TMSlotMessage> DumpReport(Listener& tray, size_t expected)
{
    std::vector<TMSlotMessage> rows;
    if (!SendToMailSlot(Request(17), kServiceSlot)) return rows;
    TMSlotMessage m;
    while (rows.size() < expected && tray.NextOfType(17, m, 10000)) rows.push_back(m);
    return rows;
}

TEST_F(TransportAttack, ReportTimesOutsideTheCalendarGiveEmptyTimeTexts)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<double> bad = {1e300, -1e300, nan, inf, -inf, 3e6, -110000.0};
    std::vector<TReportEvent> events;
    for (double t : bad) events.push_back(EventAt(t, 101, "bad"));
    events.push_back(EventAt(EncodeDateTime(2026, 12, 9, 10, 30, 0, 0), 102, "good"));
    WriteReport(events);

    Listener tray(kTraySlot);
    auto rows = DumpReport(tray, events.size());
    ASSERT_EQ(rows.size(), events.size()) << "the dump stopped";
    for (size_t i = 0; i < bad.size(); ++i) EXPECT_EQ(rows[i].Mess1.Str(), "") << "time " << bad[i];
    EXPECT_EQ(rows.back().Data.Str(), "good");
    EXPECT_NE(rows.back().Mess1.Str(), "");
    EXPECT_TRUE(AskVersion()) << "the service still answers";
}

TEST_F(TransportAttack, TornReportIsCompletedBeforeTheNextRecord)
{
    const TReportEvent first = EventAt(EncodeDateTime(2026, 1, 2, 3, 4, 5, 0), 101, "C:\\first");
    const std::string torn(100, '\x7F');
    WriteReport({first}, torn);
    const std::string before = ReadTextFile(ReportFilePath());

    RecordEvent(111, 903, "C:\\after", "hosts");
    const std::string after = ReadTextFile(ReportFilePath());
    ASSERT_EQ(after.size(), 3 * sizeof(TReportEvent)) << "whole records only";
    EXPECT_EQ(after.compare(0, before.size(), before), 0) << "nothing already there was changed";
    EXPECT_EQ(after.substr(before.size(), sizeof(TReportEvent) - torn.size()),
              std::string(sizeof(TReportEvent) - torn.size(), '\0'));

    Listener tray(kTraySlot);
    auto rows = DumpReport(tray, 3);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Data.Str(), "C:\\first");
    EXPECT_EQ(rows[2].Data.Str(), "C:\\after") << "the new record is read whole, at its place";
    EXPECT_EQ(rows[2].A, 111);
    EXPECT_EQ(rows[2].Mess.Str(), "hosts");
    EXPECT_EQ(rows[2].D, 3);
    ClearEventQueue();
}

TEST_F(TransportAttack, ReportStreamToATraySlotNobodyReadsIsAbandoned)
{
    std::vector<TReportEvent> events;
    for (int i = 0; i < 200; ++i) events.push_back(EventAt(EncodeDateTime(2026, 1, 1, 0, 0, 0, 0), 101, "row"));
    WriteReport(events);
    Listener tray(kTraySlot);  // held by someone who never reads
    ASSERT_TRUE(tray.Active());
    ASSERT_GT(FillUntilRefused(kTraySlot), 0);

    ASSERT_TRUE(SendToMailSlot(Request(17), kServiceSlot));
    ASSERT_TRUE(SendToMailSlot(Request(21), kServiceSlot));
    // A send wait per row would hold the command thread for minutes.
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(AskVersion());
    EXPECT_LT(ElapsedSince(start), 10000u);
}

TEST_F(TransportAttack, JunkFloodDoesNotDelayTheNextRequest)
{
    const std::string slotPath = std::string(kMailslotPrefix) + kServiceSlot;
    for (int i = 0; i < 500; ++i) {
        if (i % 5 == 0) {  // wrong sizes
            UniqueHandle slot(CreateFileA(slotPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(slot.Valid());
            const std::string junk(static_cast<size_t>(i % 400), '\xEE');
            DWORD wrote = 0;
            WriteFile(slot.Get(), junk.data(), static_cast<DWORD>(junk.size()), &wrote, nullptr);
            continue;
        }
        TMSlotMessage junk = Request(static_cast<uint8_t>(i % 2 ? 250 : 33), 0, "show_tray_icon");
        junk.Mess1.Set("4242-" + std::to_string(i));  // a reply slot that does not exist
        ASSERT_TRUE(SendToMailSlot(junk, kServiceSlot)) << i;
    }
    // Taken one per 10 ms, the datagrams still waiting would hold it for seconds.
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(AskVersion());
    std::printf("500 junk datagrams: next request %llu ms\n", ElapsedSince(start));
    EXPECT_LT(ElapsedSince(start), 1000u);
}

TEST_F(TransportAttack, LanguageKeyFloodAddsOnlyKeysTheProgramsUse)
{
    const std::string text = "[info]\r\nname=English\r\n[gui]\r\ntray_exit=Exit\r\n[global]\r\nev_delete=deleted\r\n";
    ASSERT_TRUE(WriteTextFile(LanguageFile(), text));
    TRegEngine language = SettingRef("language");
    WriteRegString(language, "English.lng");

    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(SendToMailSlot(Request(31, i % 4, "flood_key_" + std::to_string(i)), kServiceSlot));
    ASSERT_TRUE(AskVersion());
    EXPECT_EQ(ReadTextFile(LanguageFile()), text) << "keys no program uses were written";

    for (int i = 0; i < 3; ++i) {
        TMSlotMessage m = Request(31, 1, "mes_kilend");
        ASSERT_TRUE(Ask(m));
        EXPECT_EQ(m.Data.Str(), "");
    }
    const std::string grown = ReadTextFile(LanguageFile());
    EXPECT_EQ(grown.size(), text.size() + std::strlen("mes_kilend=\r\n")) << "added once";
    EXPECT_NE(grown.find("[gui]\r\nmes_kilend=\r\n"), std::string::npos);

    // A damaged file is only ever added to.
    std::string garbage;
    for (int i = 0; i < 3000; ++i) garbage += static_cast<char>((i * 37 + 11) % 251);
    ASSERT_TRUE(WriteTextFile(LanguageFile(), garbage));
    TMSlotMessage m = Request(31, 3, "ev_add");
    ASSERT_TRUE(Ask(m));
    const std::string after = ReadTextFile(LanguageFile());
    EXPECT_GE(after.size(), garbage.size());
    EXPECT_EQ(after.compare(0, garbage.size(), garbage), 0) << "the file's bytes were rewritten";
}

TEST_F(TransportAttack, GuiLogFloodKeepsTheLogsBounded)
{
    // What the previous run logged is what a flood would want gone.
    ASSERT_TRUE(StopAndWaitStopped());
    ASSERT_TRUE(WriteTextFile(DataFolder() + "gui.log", "previous run\r\n"));
    ASSERT_TRUE(StartAndWaitRunning());
    const std::string line(250, 'g');
    for (int i = 0; i < 5000; ++i) ASSERT_TRUE(SendToMailSlot(Request(12, 0, {}, line), kServiceSlot)) << i;
    ASSERT_TRUE(AskVersion());  // every line before it was written
    const int64_t limit = 1024 * 1024, slack = 1024;
    const int64_t current = FileSizeOf(DataFolder() + "gui.log");
    const int64_t rolled = FileSizeOf(DataFolder() + "gui_1.log");
    EXPECT_GT(current, 0);
    EXPECT_LT(current, limit + slack);
    EXPECT_GE(rolled, limit) << "the full log moved aside";
    EXPECT_LT(rolled, limit + slack);
    EXPECT_TRUE(ReadTextFile(DataFolder() + "gui_old.log") == "previous run\r\n") << "the previous run's log was replaced";
}

}  // namespace
