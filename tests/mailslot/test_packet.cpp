#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "uMailSlots.h"

namespace {

TMSlotMessage Cleared()
{
    TMSlotMessage message;
    std::memset(&message, 0x5A, sizeof(message));  // stale bytes that must never travel
    ClearMailSlotMessage(message);
    return message;
}

MSlotPacket Pack(const TMSlotMessage& message)
{
    MSlotPacket packet;
    packet.fill(0xCC);
    PackMailSlotMessage(message, packet);
    return packet;
}

std::string Bytes(const MSlotPacket& packet, size_t offset, size_t count)
{
    return std::string(reinterpret_cast<const char*>(packet.data() + offset), count);
}

bool AllZero(const MSlotPacket& packet, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (packet[i] != 0) return false;
    return true;
}

void ExpectCleared(const TMSlotMessage& m)
{
    EXPECT_EQ(m.Type, 0);
    EXPECT_EQ(m.DataLen, 0);
    EXPECT_EQ(m.MessLen, 0);
    EXPECT_EQ(m.Mess1Len, 0);
    EXPECT_TRUE(m.Data.Empty());
    EXPECT_TRUE(m.Mess.Empty());
    EXPECT_TRUE(m.Mess1.Empty());
    EXPECT_EQ(m.A, 0);
    EXPECT_EQ(m.B, 0);
    EXPECT_EQ(m.C, 0);
    EXPECT_EQ(m.D, 0);
    EXPECT_FALSE(m.Bool);
}

TEST(MailSlotPacking, EveryFieldAtItsOffset)
{
    TMSlotMessage m = Cleared();
    m.Type = 33;
    m.Data.Set("C:\\Program Files\\x.exe");
    m.Mess.Set("hosts_guard");
    m.Mess1.Set("12-9-12-2026-5-10-33-125_77");
    m.A = 0x01020304;
    m.B = -2;
    m.C = INT_MIN;
    m.D = INT_MAX;
    m.Bool = true;
    MSlotPacket p = Pack(m);

    EXPECT_EQ(p[0], 33);
    EXPECT_EQ(p[1], 22);
    EXPECT_EQ(p[2], 11);
    EXPECT_EQ(p[3], 27);
    EXPECT_EQ(p[4], 22);
    EXPECT_EQ(Bytes(p, 5, 22), "C:\\Program Files\\x.exe");
    EXPECT_TRUE(AllZero(p, 5 + 22, 260)) << "bytes behind Data";
    EXPECT_EQ(p[260], 11);
    EXPECT_EQ(Bytes(p, 261, 11), "hosts_guard");
    EXPECT_TRUE(AllZero(p, 261 + 11, 359)) << "bytes behind Mess";
    EXPECT_EQ(p[359], 27);
    EXPECT_EQ(Bytes(p, 360, 27), "12-9-12-2026-5-10-33-125_77");
    EXPECT_TRUE(AllZero(p, 360 + 27, 408)) << "bytes behind Mess1";
    EXPECT_EQ(Bytes(p, 408, 4), std::string("\x04\x03\x02\x01", 4));
    EXPECT_EQ(Bytes(p, 412, 4), std::string("\xFE\xFF\xFF\xFF", 4));
    EXPECT_EQ(Bytes(p, 416, 4), std::string("\x00\x00\x00\x80", 4));
    EXPECT_EQ(Bytes(p, 420, 4), std::string("\xFF\xFF\xFF\x7F", 4));
    EXPECT_EQ(p[424], 0xFF);

    m.Bool = false;
    EXPECT_EQ(Pack(m)[424], 0x00);
}

TEST(MailSlotPacking, MessTravelsWithAtMost98Characters)
{
    std::string text99;
    for (int i = 0; i < 99; ++i) text99 += static_cast<char>('A' + i % 26);
    TMSlotMessage m = Cleared();
    m.Mess.Set(text99);
    ASSERT_EQ(m.Mess.Len, 99);
    MSlotPacket p = Pack(m);
    EXPECT_EQ(p[2], 98);
    EXPECT_EQ(p[260], 98);
    EXPECT_EQ(Bytes(p, 261, 98), text99.substr(0, 98));
    EXPECT_EQ(p[359], 0) << "the 99th character spilled into Mess1";

    TMSlotMessage back = Cleared();
    UnpackMailSlotMessage(p, back);
    EXPECT_EQ(back.Mess.Str(), text99.substr(0, 98));

    m.Mess.Set(text99.substr(0, 98));
    UnpackMailSlotMessage(Pack(m), back);
    EXPECT_EQ(back.Mess.Str(), text99.substr(0, 98));
    EXPECT_EQ(back.MessLen, 98);
}

TEST(MailSlotPacking, EmptyMess1KeepsLengthByteZero)
{
    TMSlotMessage m = Cleared();
    m.Data.Set("x");
    m.Mess.Set("y");
    MSlotPacket p = Pack(m);
    EXPECT_EQ(p[3], 0);
    EXPECT_EQ(p[359], 0);
    EXPECT_TRUE(AllZero(p, 359, 424));
}

TEST(MailSlotPacking, AnyNonZeroBoolByteReadsTrue)
{
    MSlotPacket p = Pack(Cleared());
    TMSlotMessage m = Cleared();
    for (uint8_t byte : {0x01, 0x80, 0xFE, 0xFF}) {
        p[424] = byte;
        m.Bool = false;
        UnpackMailSlotMessage(p, m);
        EXPECT_TRUE(m.Bool) << int(byte);
    }
    p[424] = 0;
    m.Bool = true;
    UnpackMailSlotMessage(p, m);
    EXPECT_FALSE(m.Bool);
}

TEST(MailSlotPacking, RoundTripOfEveryField)
{
    TMSlotMessage m = Cleared();
    m.Type = 255;
    m.Data.Set(std::string(255, '\xE0'));  // Cyrillic bytes, full capacity
    m.Mess.Set("Проверка");
    m.Mess1.Set(std::string(48, '7'));
    m.A = -1;
    m.B = 914;
    m.C = INT_MIN;
    m.D = INT_MAX;
    m.Bool = true;

    TMSlotMessage back = Cleared();
    UnpackMailSlotMessage(Pack(m), back);
    EXPECT_EQ(back.Type, 255);
    EXPECT_EQ(back.Data.Str(), m.Data.Str());
    EXPECT_EQ(back.Mess.Str(), m.Mess.Str());
    EXPECT_EQ(back.Mess1.Str(), m.Mess1.Str());
    EXPECT_EQ(back.DataLen, 255);
    EXPECT_EQ(back.MessLen, m.Mess.Len);
    EXPECT_EQ(back.Mess1Len, 48);
    EXPECT_EQ(back.A, -1);
    EXPECT_EQ(back.B, 914);
    EXPECT_EQ(back.C, INT_MIN);
    EXPECT_EQ(back.D, INT_MAX);
    EXPECT_TRUE(back.Bool);
}

TEST(MailSlotBadInput, DatagramsNot425BytesLeaveTheMessageCleared)
{
    TMSlotMessage full = Cleared();
    full.Type = 9;
    full.Data.Set("data");
    full.Mess1.Set("mess1");
    full.A = 5;
    full.Bool = true;
    MSlotPacket p = Pack(full);
    std::vector<uint8_t> bytes(p.begin(), p.end());
    bytes.resize(1000, 0x11);

    for (size_t size : {size_t(0), size_t(1), size_t(424), size_t(426), size_t(1000)}) {
        TMSlotMessage m = full;
        UnpackDatagram(bytes.data(), size, m);
        ExpectCleared(m);
    }
    TMSlotMessage m = full;
    UnpackDatagram(nullptr, kPacketSize, m);
    ExpectCleared(m);

    UnpackDatagram(bytes.data(), kPacketSize, m);
    EXPECT_EQ(m.Data.Str(), "data");
    EXPECT_TRUE(m.Bool);
}

TEST(MailSlotBadInput, HeaderLengthsAboveCapacityStayInsideTheirField)
{
    MSlotPacket p;
    p.fill(0);
    std::memset(p.data() + 261, 'm', 98);   // Mess characters
    std::memset(p.data() + 359, 'X', 49);   // Mess1 field, length byte included
    std::memset(p.data() + 408, 'N', 16);   // A..D
    p[1] = 255;
    p[2] = 200;
    p[3] = 255;
    p[4] = 3;    // embedded lengths disagree with the header
    p[260] = 1;

    TMSlotMessage m = Cleared();
    std::memset(m.Mess.Chars, 'z', sizeof(m.Mess.Chars));
    UnpackMailSlotMessage(p, m);
    EXPECT_EQ(m.DataLen, 255);
    EXPECT_EQ(m.MessLen, 200);
    EXPECT_EQ(m.Mess1Len, 255);
    EXPECT_EQ(m.Data.Len, 255);
    EXPECT_EQ(m.Mess.Str(), std::string(98, 'm'));
    EXPECT_EQ(m.Mess.Chars[98], ' ') << "storage behind Mess keeps no stale byte";
    EXPECT_EQ(m.Mess1.Str(), std::string(48, 'X'));
    EXPECT_EQ(m.A, 0x4E4E4E4E);
}

TEST(MailSlotNames, ReplySlotNameForm)
{
    for (int i = 0; i < 20; ++i) {
        std::string name = MakeReplySlotName();
        EXPECT_TRUE(IsReplySlotName(name)) << name;
        EXPECT_NE(name.find('_'), std::string::npos) << name;
    }
    EXPECT_NE(MakeReplySlotName(), MakeReplySlotName());
    EXPECT_TRUE(IsReplySlotName(std::string(48, '1')));
    EXPECT_FALSE(IsReplySlotName(std::string(49, '1')));
    EXPECT_FALSE(IsReplySlotName(""));
    EXPECT_FALSE(IsReplySlotName("Quorvane\\Service"));
    EXPECT_FALSE(IsReplySlotName("..\\x"));
    EXPECT_FALSE(IsReplySlotName("12 34"));
}

}  // namespace
