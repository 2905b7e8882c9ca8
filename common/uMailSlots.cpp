#include "uMailSlots.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "qvCaught.h"
#include "qvHandles.h"
#include "qvLateApi.h"
#include "uCommonUtils.h"
#include "uGetSecDesc.h"

namespace {

constexpr size_t kDataWireMax = 255;
constexpr size_t kMess1WireMax = 48;

void PutInt32(MSlotPacket& packet, size_t offset, int32_t value)
{
    uint32_t bits = static_cast<uint32_t>(value);
    for (size_t i = 0; i < 4; ++i) packet[offset + i] = static_cast<uint8_t>(bits >> (8 * i));
}

int32_t GetInt32(const MSlotPacket& packet, size_t offset)
{
    uint32_t bits = 0;
    for (size_t i = 0; i < 4; ++i) bits |= static_cast<uint32_t>(packet[offset + i]) << (8 * i);
    return static_cast<int32_t>(bits);
}

// Writes a string field (length byte, then characters) and returns the length
// written, never more than the field carries on the wire.
template <size_t N>
uint8_t PutString(MSlotPacket& packet, size_t offset, const ShortString<N>& text, size_t wireMax)
{
    size_t len = std::min<size_t>({text.Len, N, wireMax});
    packet[offset] = static_cast<uint8_t>(len);
    std::memcpy(packet.data() + offset + 1, text.Chars, len);
    return static_cast<uint8_t>(len);
}

// The header length decides how many characters are taken, capped at what the
// field carries, so a forged header never reaches into the next field.
template <size_t N>
void GetString(const MSlotPacket& packet, size_t offset, uint8_t headerLen, size_t wireMax, ShortString<N>& text)
{
    std::memset(text.Chars, ' ', N);
    size_t len = std::min<size_t>({headerLen, N, wireMax});
    std::memcpy(text.Chars, packet.data() + offset + 1, len);
    text.Len = static_cast<uint8_t>(len);
}

// Closes the reply slot of a request whichever way the request ends.
class ReplySlotCloser {
public:
    explicit ReplySlotCloser(TMSlot& slot) : slot_(slot) {}
    ~ReplySlotCloser() { CloseMailSlot(slot_); }
    ReplySlotCloser(const ReplySlotCloser&) = delete;
    ReplySlotCloser& operator=(const ReplySlotCloser&) = delete;

private:
    TMSlot& slot_;
};

}  // namespace

void InitMailSlot(TMSlot& slot)
{
    slot.Handle.Reset();
    slot.Active = false;
    slot.Name.clear();
    slot.Spare = 0;
    slot.Magic = kSlotMagic;
}

void CreateMailSlot(TMSlot& slot, bool defaultSecurity)
{
    slot.Active = false;
    if (slot.Magic != kSlotMagic || slot.Name.empty()) return;
    try {
        std::unique_ptr<TSecDesc> descriptor;
        SECURITY_ATTRIBUTES attributes{};
        attributes.nLength = sizeof(attributes);
        attributes.bInheritHandle = FALSE;
        if (!defaultSecurity) {
            descriptor = GetSecDesc();
            // without its descriptor the slot would refuse the other program
            if (!descriptor->Valid()) {
                ReportCaught("mail slot " + slot.Name, "no security descriptor for it, not made");
                return;
            }
            attributes.lpSecurityDescriptor = descriptor->Get();
        }
        std::string fullName = std::string(kMailslotPrefix) + slot.Name;
        slot.Handle.Reset(CreateMailslotA(fullName.c_str(), kPacketSize, MAILSLOT_WAIT_FOREVER,
                                          defaultSecurity ? nullptr : &attributes));
        slot.Active = slot.Handle.Valid();
    } catch (const std::exception& error) {
        ReportCaught("mail slot " + slot.Name + " not made", error);
    }
}

bool MailSlotHasMessage(TMSlot& slot)
{
    if (slot.Magic != kSlotMagic) return false;
    DWORD nextSize = MAILSLOT_NO_MESSAGE;
    DWORD count = 0;
    BOOL ok = GetMailslotInfo(slot.Handle.Get(), nullptr, &nextSize, &count, nullptr);
    slot.Active = ok != FALSE;
    return ok && nextSize != MAILSLOT_NO_MESSAGE;
}

void ReadMailSlot(TMSlot& slot, TMSlotMessage& message)
{
    if (slot.Magic != kSlotMagic) return;
    ClearMailSlotMessage(message);
    uint8_t buffer[kPacketSize];
    DWORD read = 0;
    if (ReadFile(slot.Handle.Get(), buffer, sizeof(buffer), &read, nullptr)) UnpackDatagram(buffer, read, message);
}

bool ReceiveMailSlot(TMSlot& slot, TMSlotMessage& message, DWORD waitMs)
{
    ClearMailSlotMessage(message);
    if (slot.Magic != kSlotMagic || !slot.Active) return false;
    // The slot's read time-out does the waiting: the read returns the moment a
    // datagram arrives, and costs nothing while none does.
    if (!SetMailslotInfo(slot.Handle.Get(), waitMs)) return false;
    uint8_t buffer[kPacketSize];
    DWORD read = 0;
    if (!ReadFile(slot.Handle.Get(), buffer, sizeof(buffer), &read, nullptr)) {
        // A datagram larger than a packet is taken out of the slot all the same
        // (more data): it reads as junk, like any other wrong size.
        // So is a datagram of no bytes, which Wine reads as a broken pipe.
        const DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA && error != ERROR_BROKEN_PIPE) return false;
        read = 0;
    }
    UnpackDatagram(buffer, read, message);
    return true;
}

void CloseMailSlot(TMSlot& slot)
{
    if (slot.Magic != kSlotMagic || !slot.Active) return;
    // Active stays as it is; the handle is gone, so a second close does nothing.
    slot.Handle.Reset();
}

void ClearMailSlotMessage(TMSlotMessage& message)
{
    message.Type = 0;
    message.DataLen = 0;
    message.MessLen = 0;
    message.Mess1Len = 0;
    message.Data.Clear();
    message.Mess.Clear();
    message.Mess1.Clear();
    message.A = 0;
    message.B = 0;
    message.C = 0;
    message.D = 0;
    message.Bool = false;
}

// Byte copies within fixed bounds: nothing here can fail or throw.
void PackMailSlotMessage(const TMSlotMessage& message, MSlotPacket& packet)
{
    packet.fill(0);
    packet[packet::kType] = message.Type;
    packet[packet::kDataLen] = PutString(packet, packet::kData, message.Data, kDataWireMax);
    packet[packet::kMessLen] = PutString(packet, packet::kMess, message.Mess, packet::kMessWireMax);
    packet[packet::kMess1Len] = PutString(packet, packet::kMess1, message.Mess1, kMess1WireMax);
    PutInt32(packet, packet::kA, message.A);
    PutInt32(packet, packet::kB, message.B);
    PutInt32(packet, packet::kC, message.C);
    PutInt32(packet, packet::kD, message.D);
    packet[packet::kBool] = message.Bool ? 0xFF : 0x00;
}

void UnpackMailSlotMessage(const MSlotPacket& packet, TMSlotMessage& message)
{
    message.Type = packet[packet::kType];
    message.DataLen = packet[packet::kDataLen];
    message.MessLen = packet[packet::kMessLen];
    message.Mess1Len = packet[packet::kMess1Len];
    GetString(packet, packet::kData, message.DataLen, kDataWireMax, message.Data);
    GetString(packet, packet::kMess, message.MessLen, packet::kMessWireMax, message.Mess);
    GetString(packet, packet::kMess1, message.Mess1Len, kMess1WireMax, message.Mess1);
    message.A = GetInt32(packet, packet::kA);
    message.B = GetInt32(packet, packet::kB);
    message.C = GetInt32(packet, packet::kC);
    message.D = GetInt32(packet, packet::kD);
    message.Bool = packet[packet::kBool] != 0;
}

void UnpackDatagram(const uint8_t* bytes, size_t size, TMSlotMessage& message)
{
    ClearMailSlotMessage(message);
    if (bytes == nullptr || size != kPacketSize) return;
    MSlotPacket packet;
    std::memcpy(packet.data(), bytes, kPacketSize);
    UnpackMailSlotMessage(packet, message);
}

namespace {

// Writes one packet, waiting at most waitMs for room: a slot whose reader has
// stopped reading (or never reads) blocks a plain write once it is full.
bool WritePacketWithin(HANDLE slot, const MSlotPacket& packet, DWORD waitMs)
{
    UniqueHandle done(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!done) return false;
    OVERLAPPED overlapped{};
    overlapped.hEvent = done.Get();
    DWORD written = 0;
    if (!WriteFile(slot, packet.data(), kPacketSize, &written, &overlapped)) {
        if (GetLastError() != ERROR_IO_PENDING) return false;
        if (WaitForSingleObject(done.Get(), waitMs) != WAIT_OBJECT_0) CancelThreadIo(slot, &overlapped);
        // Waits for the cancel to land: the system writes into `overlapped`.
        if (!GetOverlappedResult(slot, &overlapped, &written, TRUE)) return false;
    } else if (!GetOverlappedResult(slot, &overlapped, &written, FALSE)) {
        return false;
    }
    // a datagram that did not go out whole was not delivered
    return written == kPacketSize;
}

}  // namespace

namespace {

HANDLE OpenSlotForWriting(const std::string& slotName)
{
    std::string fullName = std::string(kMailslotPrefix) + slotName;
    // Write sharing too: several senders may hold the slot open at the same
    // moment, and with read sharing alone all but the first fail with a
    // sharing violation and their datagram is lost.
    return CreateFileA(fullName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OVERLAPPED, nullptr);
}

}  // namespace

bool WriteToMailSlot(const std::string& slotName, TMSlotMessage message)
{
    UniqueHandle slot(OpenSlotForWriting(slotName));
    if (!slot) return false;
    MSlotPacket packet;
    PackMailSlotMessage(message, packet);
    return WritePacketWithin(slot.Get(), packet, kSendWaitMs);
}

TMailSlotWriter::TMailSlotWriter(const std::string& slotName) : slot_(OpenSlotForWriting(slotName)) {}

bool TMailSlotWriter::Send(const TMSlotMessage& message)
{
    if (!slot_) return false;
    MSlotPacket packet;
    PackMailSlotMessage(message, packet);
    return WritePacketWithin(slot_.Get(), packet, kSendWaitMs);
}

bool SendToMailSlot(TMSlotMessage message, const std::string& slotName) { return WriteToMailSlot(slotName, message); }

namespace {

// Reply slots that refused a send, with the tick until which they get nothing.
class TRefusedSlots {
public:
    bool Refused(const std::string& name, uint64_t now)
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto found = until_.find(name);
        if (found == until_.end()) return false;
        if (now < found->second) return true;
        until_.erase(found);
        return false;
    }
    void Remember(const std::string& name, uint64_t now)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (until_.size() >= kMaxRemembered) {
            for (auto it = until_.begin(); it != until_.end();) it = now >= it->second ? until_.erase(it) : std::next(it);
            if (until_.size() >= kMaxRemembered) return;  // bounded: a slot too many is waited on once more
        }
        until_[name] = now + kRefusedReplySlotMs;
    }

private:
    static constexpr size_t kMaxRemembered = 4096;
    std::mutex lock_;
    std::map<std::string, uint64_t> until_;
};

TRefusedSlots& RefusedReplySlots()
{
    static TRefusedSlots slots;
    return slots;
}

}  // namespace

bool SendReply(const TMSlotMessage& message, const std::string& slotName)
{
    TRefusedSlots& refused = RefusedReplySlots();
    if (refused.Refused(LowerCase(slotName), TickCount64())) return false;
    UniqueHandle slot(OpenSlotForWriting(slotName));
    if (!slot) return false;  // absent: that costs nothing
    MSlotPacket packet;
    PackMailSlotMessage(message, packet);
    if (WritePacketWithin(slot.Get(), packet, kSendWaitMs)) return true;
    refused.Remember(LowerCase(slotName), TickCount64());
    return false;
}

bool SendToMailSlotAndWait(const std::string& slotName, TMSlotMessage& message)
{
    return SendToMailSlotAndWait(slotName, message, nullptr);
}

bool SendToMailSlotAndWait(const std::string& slotName, TMSlotMessage& message, HANDLE cancelEvent)
{
    TMSlot reply;
    InitMailSlot(reply);
    reply.Name = MakeReplySlotName();
    CreateMailSlot(reply, false);
    if (!reply.Active) return false;
    ReplySlotCloser closer(reply);

    message.Mess1.Set(reply.Name);
    if (!WriteToMailSlot(slotName, message)) return false;

    // Waits by the clock, not by a count of sleeps: on a loaded machine short
    // sleeps last longer, and a count would stretch the wait with them. With a
    // cancel event the wait goes in short slices so the event is seen soon.
    constexpr DWORD kCancelSliceMs = 20;
    const uint64_t deadline = TickCount64() + kReplyWaitMs;
    TMSlotMessage received;
    bool answered = false;
    for (;;) {
        const uint64_t now = TickCount64();
        if (now >= deadline) break;
        DWORD wait = static_cast<DWORD>(deadline - now);
        if (cancelEvent) wait = std::min(wait, kCancelSliceMs);
        if (ReceiveMailSlot(reply, received, wait)) {
            answered = true;
            break;
        }
        // a read that failed at once (not for time) must not spin the loop
        const bool timedOut = GetLastError() == ERROR_SEM_TIMEOUT;
        if (cancelEvent && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0) break;
        if (!timedOut) Sleep(1);
    }

    ClearMailSlotMessage(message);
    if (answered) message = received;
    return answered;
}

bool IsReplySlotName(std::string_view name)
{
    if (name.empty() || name.size() > 48) return false;
    return std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '_'; });
}

std::string MakeReplySlotName()
{
    std::string name = std::to_string(RandomInt(999999)) + GetTimeStamp() + std::to_string(RandomInt(999999));
    return name.substr(0, 48);
}

TMSlotMessage MakeMessage(uint8_t type, int32_t a)
{
    TMSlotMessage message;
    ClearMailSlotMessage(message);
    message.Type = type;
    message.A = a;
    return message;
}

std::string MessageRecordText(const TMSlotMessage& m)
{
    return "Структура - Type: " + std::to_string(m.Type) + " Data: " + m.Data.Str() + " Mess: " + m.Mess.Str() +
           " Mess1: " + m.Mess1.Str() + " A:" + std::to_string(m.A) + " B:" + std::to_string(m.B) +
           " C:" + std::to_string(m.C) + " D:" + std::to_string(m.D) + " Bool:" + (m.Bool ? "true" : "false");
}
