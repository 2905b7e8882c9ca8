#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "TestSupport.h"
#include "qvHandles.h"
#include "uMailSlots.h"

namespace {

// Whether a slot of that name exists (opening a client end sends nothing).
bool SlotExists(const std::string& name)
{
    UniqueHandle h(CreateFileA((kMailslotPrefix + name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr));
    return h.Valid();
}

double MillisecondsSince(LARGE_INTEGER start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// A server slot owned by the test, closed at the end.
struct ServerSlot {
    TMSlot slot;
    explicit ServerSlot(const std::string& name)
    {
        InitMailSlot(slot);
        slot.Name = name;
        CreateMailSlot(slot, false);
    }
    ~ServerSlot() { CloseMailSlot(slot); }
    bool Next(TMSlotMessage& message, DWORD timeoutMs)
    {
        if (!WaitUntil([this] { return MailSlotHasMessage(slot); }, timeoutMs)) return false;
        ReadMailSlot(slot, message);
        return true;
    }
};

TMSlotMessage Request(const std::string& data, int a)
{
    TMSlotMessage m;
    ClearMailSlotMessage(m);
    m.Type = 33;
    m.Data.Set(data);
    m.Mess.Set("ask");
    m.A = a;
    return m;
}

TEST(MailSlotTransport, SendToAbsentSlotFailsAtOnce)
{
    LARGE_INTEGER start = Now();
    EXPECT_FALSE(SendToMailSlot(Request("x", 1), "QvTest\\absent"));
    EXPECT_FALSE(WriteToMailSlot("QvTest\\absent", Request("x", 1)));
    EXPECT_LT(MillisecondsSince(start), 500.0);
}

TEST(MailSlotTransport, RequestToAbsentSlotFailsWithoutPolling)
{
    TMSlotMessage m = Request("payload", 7);
    LARGE_INTEGER start = Now();
    EXPECT_FALSE(SendToMailSlotAndWait("QvTest\\absent", m));
    EXPECT_LT(MillisecondsSince(start), 500.0);
    // not cleared as after a wait: the request stays, with its reply slot's name
    EXPECT_EQ(m.Type, 33);
    EXPECT_EQ(m.Data.Str(), "payload");
    EXPECT_EQ(m.A, 7);
    ASSERT_TRUE(IsReplySlotName(m.Mess1.Str())) << m.Mess1.Str();
    EXPECT_FALSE(SlotExists(m.Mess1.Str())) << "reply slot left open";
}

TEST(MailSlotTransport, RequestAnsweredBySecondProcess)
{
    const std::string name = "QvTest\\echo";
    ChildProcess echo;
    ASSERT_TRUE(echo.Start(HelperPath("qv_slot_echo.exe"), name));
    ASSERT_TRUE(WaitUntil([&] { return SlotExists(name); }, 10000));

    for (int round = 0; round < 3; ++round) {
        TMSlotMessage m = Request("Файл " + std::to_string(round), 40 + round);
        ASSERT_TRUE(SendToMailSlotAndWait(name, m)) << round;
        EXPECT_EQ(m.Type, 33);
        EXPECT_EQ(m.Data.Str(), "echo:Файл " + std::to_string(round));
        EXPECT_EQ(m.Mess.Str(), "ask");
        EXPECT_EQ(m.A, 40 + round);
        EXPECT_EQ(m.B, 41 + round);
        EXPECT_TRUE(m.Bool);
        ASSERT_TRUE(IsReplySlotName(m.Mess1.Str()));
        // the name lives on until the answering side has closed its end too
        EXPECT_TRUE(WaitUntil([&] { return !SlotExists(m.Mess1.Str()); }, 10000)) << "reply slot left open";
    }
}

TEST(MailSlotTransport, UnansweredRequestTimesOutCleared)
{
    ServerSlot target("QvTest\\silent");
    ASSERT_TRUE(target.slot.Active);
    TMSlotMessage m = Request("nobody answers", 3);
    m.Bool = true;
    LARGE_INTEGER start = Now();
    EXPECT_FALSE(SendToMailSlotAndWait("QvTest\\silent", m));
    double elapsed = MillisecondsSince(start);
    // The wait is kept by the clock: never cut short, and on a loaded machine
    // late by no more than the scheduling of a few wake-ups.
    EXPECT_GE(elapsed, kReplyWaitMs - 100.0);
    EXPECT_LT(elapsed, kReplyWaitMs + 30000.0);
    EXPECT_EQ(m.Type, 0);
    EXPECT_TRUE(m.Data.Empty() && m.Mess.Empty() && m.Mess1.Empty());
    EXPECT_EQ(m.A, 0);
    EXPECT_FALSE(m.Bool);

    TMSlotMessage request;
    ASSERT_TRUE(target.Next(request, 1000)) << "the request never arrived";
    EXPECT_EQ(request.Data.Str(), "nobody answers");
    ASSERT_TRUE(IsReplySlotName(request.Mess1.Str()));
    EXPECT_FALSE(SlotExists(request.Mess1.Str())) << "reply slot left open";
}

TEST(MailSlotTransport, SendToASlotNobodyReadsGivesUpInsteadOfBlocking)
{
    ServerSlot held("QvTest\\held");
    ASSERT_TRUE(held.slot.Active);
    int accepted = 0;
    double refusedAfter = -1;
    for (int i = 0; i < 2000 && refusedAfter < 0; ++i) {
        LARGE_INTEGER start = Now();
        if (SendToMailSlot(Request("fill", i), "QvTest\\held"))
            ++accepted;
        else
            refusedAfter = MillisecondsSince(start);
    }
    ASSERT_GE(refusedAfter, 0.0) << "the slot never filled";
    EXPECT_GT(accepted, 0);
    EXPECT_GE(refusedAfter, kSendWaitMs - 100.0) << "gave up before waiting for room";
    EXPECT_LT(refusedAfter, kSendWaitMs + 20000.0);

    // Once the reader takes one, there is room again; what was accepted is whole.
    TMSlotMessage first;
    ASSERT_TRUE(held.Next(first, 1000));
    EXPECT_EQ(first.Data.Str(), "fill");
    EXPECT_EQ(first.A, 0);
    EXPECT_TRUE(SendToMailSlot(Request("room", -1), "QvTest\\held"));
}

TEST(MailSlotTransport, ReceiveTakesAMessageAsItArrivesAndTimesOutEmpty)
{
    ServerSlot server("QvTest\\receive");
    ASSERT_TRUE(server.slot.Active);
    TMSlotMessage m = Request("stale", 9);
    LARGE_INTEGER start = Now();
    EXPECT_FALSE(ReceiveMailSlot(server.slot, m, 100));
    EXPECT_GE(MillisecondsSince(start), 90.0);
    EXPECT_EQ(m.Type, 0) << "cleared when nothing came";

    std::thread late([] {
        Sleep(200);  // the sender is late on purpose; the receiver must be waiting already
        SendToMailSlot(Request("late", 5), "QvTest\\receive");
    });
    EXPECT_TRUE(ReceiveMailSlot(server.slot, m, 60000));
    late.join();
    EXPECT_EQ(m.Data.Str(), "late");
    EXPECT_EQ(m.A, 5);

    TMSlot never;
    InitMailSlot(never);
    EXPECT_FALSE(ReceiveMailSlot(never, m, 10)) << "a slot that was never created";
}

TEST(MailSlotTransport, CancelledRequestEndsEarly)
{
    ServerSlot target("QvTest\\cancel");
    ASSERT_TRUE(target.slot.Active);
    UniqueHandle cancel(CreateEventA(nullptr, TRUE, TRUE, nullptr));
    TMSlotMessage m = Request("x", 1);
    LARGE_INTEGER start = Now();
    EXPECT_FALSE(SendToMailSlotAndWait("QvTest\\cancel", m, cancel.Get()));
    EXPECT_LT(MillisecondsSince(start), kReplyWaitMs / 2.0);
    EXPECT_EQ(m.Type, 0);
}

TEST(MailSlotTransport, DatagramsFromSeveralWritersArriveWholeAndInOrder)
{
    ServerSlot server("QvTest\\many");
    ASSERT_TRUE(server.slot.Active);
    const int writers = 4, perWriter = 25;
    std::vector<std::thread> threads;
    std::vector<int> failures(writers, 0);
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([w, &failures] {
            for (int i = 0; i < perWriter; ++i) {
                TMSlotMessage m = Request(std::string(i * 10, char('a' + w)), w);
                m.B = i;
                m.Mess.Set(std::string(98, char('0' + w)));
                m.Mess1.Set(std::string(i % 49, 'q'));
                m.D = -i;
                if (!SendToMailSlot(m, "QvTest\\many")) ++failures[w];
            }
        });
    }
    std::vector<int> next(writers, 0);
    int received = 0;
    TMSlotMessage m;
    while (received < writers * perWriter && server.Next(m, 5000)) {
        ++received;
        if (m.A < 0 || m.A >= writers) {
            ADD_FAILURE() << "unknown writer " << m.A;
            break;
        }
        int w = m.A, i = next[w]++;
        EXPECT_EQ(m.B, i) << "writer " << w << " out of order";
        EXPECT_EQ(m.Data.Str(), std::string(i * 10, char('a' + w)));
        EXPECT_EQ(m.Mess.Str(), std::string(98, char('0' + w)));
        EXPECT_EQ(m.Mess1.Str(), std::string(i % 49, 'q'));
        EXPECT_EQ(m.D, -i);
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(received, writers * perWriter);
    for (int w = 0; w < writers; ++w) EXPECT_EQ(failures[w], 0) << "writer " << w;
    EXPECT_FALSE(MailSlotHasMessage(server.slot));
}

TEST(MailSlotBadInput, ShortDatagramOnTheWireReadsCleared)
{
    ServerSlot server("QvTest\\short");
    ASSERT_TRUE(server.slot.Active);
    UniqueHandle client(CreateFileA((std::string(kMailslotPrefix) + "QvTest\\short").c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(client.Valid());
    MSlotPacket packet;
    TMSlotMessage sent = Request("short", 1);
    PackMailSlotMessage(sent, packet);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(client.Get(), packet.data(), 100, &written, nullptr));
    TMSlotMessage m = sent;
    ASSERT_TRUE(server.Next(m, 2000));
    EXPECT_EQ(m.Type, 0);
    EXPECT_TRUE(m.Data.Empty());
    EXPECT_EQ(m.A, 0);
}

TEST(MailSlotTransport, CreateNeedsNameAndInitialisedRecord)
{
    TMSlot unnamed;
    InitMailSlot(unnamed);
    CreateMailSlot(unnamed, false);
    EXPECT_FALSE(unnamed.Active);
    EXPECT_FALSE(MailSlotHasMessage(unnamed));

    TMSlot raw;  // never initialised: Magic is not the mark
    raw.Handle.Reset();
    raw.Active = true;
    raw.Name = "QvTest\\raw";
    raw.Spare = 0;
    raw.Magic = 0;
    CreateMailSlot(raw, false);
    EXPECT_FALSE(raw.Active);
    EXPECT_FALSE(SlotExists("QvTest\\raw"));
    raw.Magic = 0x0F;
    CreateMailSlot(raw, true);
    EXPECT_FALSE(raw.Active);
    EXPECT_FALSE(SlotExists("QvTest\\raw"));
}

}  // namespace
