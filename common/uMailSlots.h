#pragma once
// Mailslot messaging between the service, the tray and the autorun manager:
// fixed 425-byte datagrams, server slots polled by their owner, senders that
// open the target per message, and request/reply over a temporary reply slot.
#include <windows.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "qvHandles.h"
#include "qvShortString.h"

struct TMSlotMessage {
    uint8_t Type;
    ShortString<255> Data;
    ShortString<99> Mess;   // only 98 characters travel
    ShortString<48> Mess1;  // the reply slot's name on a request
    int32_t A;
    int32_t B;
    int32_t C;
    int32_t D;
    bool Bool;
    uint8_t DataLen;   // the three lengths as they came in the packet header
    uint8_t MessLen;
    uint8_t Mess1Len;
};
static_assert(sizeof(TMSlotMessage) == 428, "the message record is 428 bytes");

constexpr size_t kPacketSize = 425;
using MSlotPacket = std::array<uint8_t, kPacketSize>;

// Offsets of the wire form.
namespace packet {
constexpr size_t kType = 0, kDataLen = 1, kMessLen = 2, kMess1Len = 3;
constexpr size_t kData = 4, kMess = 260, kMess1 = 359;
constexpr size_t kA = 408, kB = 412, kC = 416, kD = 420, kBool = 424;
constexpr size_t kMessWireMax = 98;
}  // namespace packet

struct TMSlot {
    UniqueHandle Handle;  // closed by CloseMailSlot, or when the record goes
    bool Active;
    std::string Name;  // behind "\\.\mailslot\"
    uint8_t Spare;
    uint8_t Magic;     // 0xF0 once InitMailSlot ran
};

constexpr uint8_t kSlotMagic = 0xF0;
constexpr const char* kMailslotPrefix = "\\\\.\\mailslot\\";
constexpr const char* kServiceSlot = "Quorvane\\Service";
constexpr const char* kTraySlot = "Quorvane\\tray";
constexpr const char* kAutorunSlot = "Quorvane\\autorun";
constexpr const char* kGuiLogSlot = "Quorvane\\GuiLog";
// How long a requester waits for its reply.
constexpr DWORD kReplyWaitMs = 15000;
// How long a send may wait for room in a full slot before the datagram is
// dropped: a slot that nobody reads must not hold its sender for good.
constexpr DWORD kSendWaitMs = 1000;

void InitMailSlot(TMSlot& slot);
void CreateMailSlot(TMSlot& slot, bool defaultSecurity);
bool MailSlotHasMessage(TMSlot& slot);
void ReadMailSlot(TMSlot& slot, TMSlotMessage& message);
// Waits up to waitMs for the next datagram and reads it (a datagram of the
// wrong size reads as a cleared message). True when one was taken; a message
// is taken as soon as it arrives, and no time is spent while none comes.
bool ReceiveMailSlot(TMSlot& slot, TMSlotMessage& message, DWORD waitMs);
void CloseMailSlot(TMSlot& slot);

void ClearMailSlotMessage(TMSlotMessage& message);
// A cleared message of the given Type (and A): how every command starts.
TMSlotMessage MakeMessage(uint8_t type, int32_t a = 0);
// "Структура - Type: ... Bool:true": one line describing a message, for the logs.
std::string MessageRecordText(const TMSlotMessage& message);
void PackMailSlotMessage(const TMSlotMessage& message, MSlotPacket& packet);
void UnpackMailSlotMessage(const MSlotPacket& packet, TMSlotMessage& message);
// A received datagram of any size: only exactly 425 bytes unpack; anything else
// leaves the message cleared.
void UnpackDatagram(const uint8_t* bytes, size_t size, TMSlotMessage& message);

// True only when the slot was opened and all 425 bytes were written. A slot
// that stays full for kSendWaitMs gets nothing, as if it did not exist.
bool WriteToMailSlot(const std::string& slotName, TMSlotMessage message);
bool SendToMailSlot(TMSlotMessage message, const std::string& slotName);

// How long a reply slot that once refused a send (it stayed full for
// kSendWaitMs) is not waited on again.
constexpr DWORD kRefusedReplySlotMs = 30000;
// A reply to the slot a requester named. Anyone can name a slot they hold and
// never read: each reply to it would cost the answering thread a whole send
// wait. So a slot that refused a reply gets none for kRefusedReplySlotMs:
// later replies to it are dropped at once (false).
bool SendReply(const TMSlotMessage& message, const std::string& slotName);

// A stream of messages to one slot (a report dump, a list): the slot is opened
// once, not for every message. Each Send has the same bounded wait as
// WriteToMailSlot; a stream that could not open the slot sends nothing.
class TMailSlotWriter {
public:
    explicit TMailSlotWriter(const std::string& slotName);
    bool Opened() const { return static_cast<bool>(slot_); }
    bool Send(const TMSlotMessage& message);

private:
    UniqueHandle slot_;
};
// Request and reply: the message is the request on entry and the reply (or a
// cleared record after kReplyWaitMs) on return.
bool SendToMailSlotAndWait(const std::string& slotName, TMSlotMessage& message);
// The same, given up at once (false, cleared record) when cancelEvent is set:
// a thread that is told to stop does not sit out the whole wait.
bool SendToMailSlotAndWait(const std::string& slotName, TMSlotMessage& message, HANDLE cancelEvent);

// A reply-slot name as SendToMailSlotAndWait builds it: decimal digits, "-"
// and "_" only, 1 to 48 characters. Answering sides reply only to such names.
bool IsReplySlotName(std::string_view name);
std::string MakeReplySlotName();
