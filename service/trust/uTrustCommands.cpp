#include "uTrustCommands.h"

#include "RegistryUtils.h"
#include "Trust.h"
#include "qvPlainFiles.h"
#include "qvProtocol.h"
#include "qvStrings.h"
#include "uServiceUtils.h"

namespace {

TRegEngine TrustListRef() { return SettingRef("trustList"); }

}  // namespace

void GoodListToAutorunCommand(const TMSlotMessage&)
{
    TStringList lines;
    if (!LoadPlainLines(GoodListPath(), lines) || lines.empty()) return;
    TMSlotMessage message = proto::Message(proto::kTrustedDigests);
    message.A = static_cast<int32_t>(lines.size());
    for (const auto& line : lines) {
        message.Data.Set(line);
        if (!SendToMailSlot(message, kAutorunSlot)) return;  // nobody takes the stream
    }
}

void AddGoodListCommand(const TMSlotMessage& request) { AddGoodListDigest(request.Mess1.Str()); }

void TrustListToTrayCommand(const TMSlotMessage&)
{
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (entries.empty()) {
        SendToMailSlot(proto::Message(proto::kNone), kTraySlot);
        return;
    }
    TMSlotMessage message = proto::Message(proto::kTrustList);
    message.D = static_cast<int32_t>(entries.size());
    for (const auto& entry : entries) {
        message.Data.Set(entry);
        if (!SendToMailSlot(message, kTraySlot)) return;  // nobody takes the stream
    }
}

void AddTrustListCommand(const TMSlotMessage& request)
{
    const std::string entry = request.Data.Str();
    // One string of the list: an empty one, or a NUL inside, would end the
    // list early for many readers.
    if (entry.empty() || entry.find('\0') != std::string::npos) return;
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (rec.Error != 0) return;  // never write back a list that was not read whole
    if (IndexOfText(entries, entry) >= 0) return;
    entries.push_back(entry);
    WriteRegMultiString(rec, entries);
}

void DeleteTrustListCommand(const TMSlotMessage& request)
{
    DumpMessage(request);
    const std::string entry = request.Data.Str();
    // One string of the list: an empty one, or a NUL inside, would end the
    // list early for many readers.
    if (entry.empty() || entry.find('\0') != std::string::npos) return;
    TRegEngine rec = TrustListRef();
    TStringList entries;
    ReadRegMultiString(rec, entries);
    if (rec.Error != 0) return;
    int at = IndexOfText(entries, entry);
    if (at < 0) return;
    entries.erase(entries.begin() + at);
    WriteRegMultiString(rec, entries);
}
