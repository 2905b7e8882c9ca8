// The trust list's answers as the receiver takes them, with a stand-in
// service: each answer is told from the next by the mark behind it, so a
// lost answer costs only its window; and only whole records are records.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "FakeService.h"
#include "TrayTestSupport.h"
#include "fmTrustList.h"
#include "qvApplication.h"
#include "qvHandles.h"
#include "uFormUtils.h"
#include "uMessThread.h"

using namespace traytest;

namespace {

// Answers every request for the trust list but the first, whose answer is lost.
class LosingService : public FakeService {
public:
    std::atomic<int> Requests{0};

protected:
    void Handle(TMSlotMessage& message) override
    {
        if (message.Type == 21 && ++Requests > 1) {
            TMSlotMessage row = MakeMessage(21);
            row.D = 2;
            for (const char* entry : {"C:\\a.exe|AA", "C:\\b.exe|BB"}) {
                row.Data.Set(entry);
                SendToMailSlot(row, kTraySlot);
            }
        }
        FakeService::Handle(message);
    }
};

}  // namespace

TEST(TrustAnswers, ALostAnswerCostsOnlyTheWindowThatAsked)
{
    LosingService service;
    ASSERT_TRUE(service.Active());
    ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
    RegisterTrustListForm();
    TThreadMess receiver;
    receiver.Start();
    ASSERT_TRUE(PumpUntil([&] { return receiver.SlotActive(); }, 15000));

    const TMSlotMessage empty = MakeMessage(0);
    for (int window = 1; window <= 3; ++window) {
        OpenTrustList(empty);
        auto* w = dynamic_cast<TfmTrustList*>(gui::FindForm(kTrustListForm));
        ASSERT_NE(w, nullptr);
        if (window == 1) {
            ASSERT_TRUE(PumpUntil([&] { return service.Requests == 1; }, 15000));
        } else {
            ASSERT_TRUE(PumpUntil([&] { return w->Loaded(); }, 30000)) << "window " << window;
            ASSERT_EQ(w->lbTrust->Count(), 2) << "window " << window;
            EXPECT_EQ(w->lbTrust->Item(1), "C:\\b.exe|BB");
        }
        w->Close();
        ASSERT_TRUE(PumpUntil([w] { return !gui::FormExists(w); }, 5000));
    }
    receiver.Terminate();
    PumpUntil([&] { return receiver.Finished(); }, 3000);
    gui::UnregisterFormClass(kTrustListForm);
    gui::DoneApplication();
}

TEST(TrustAnswers, OnlyWholeRecordsAreRecords)
{
    TMSlot slot;
    InitMailSlot(slot);
    slot.Name = "qv_test\\whole_records";
    CreateMailSlot(slot, true);
    ASSERT_TRUE(slot.Active);
    UniqueHandle writer(CreateFileA((std::string(kMailslotPrefix) + slot.Name).c_str(), GENERIC_WRITE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer);
    const char shortDatagram[10] = {};
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer.Get(), shortDatagram, sizeof(shortDatagram), &written, nullptr));
    TMSlotMessage whole = MakeMessage(21);
    whole.D = 1;
    ASSERT_TRUE(SendToMailSlot(whole, slot.Name));

    TMSlotMessage record;
    EXPECT_NE(ReadTrayRecord(slot, record), TSlotRead::Record) << "a short datagram read as a cleared record";
    ASSERT_EQ(ReadTrayRecord(slot, record), TSlotRead::Record);
    EXPECT_EQ(record.Type, 21);
    CloseMailSlot(slot);
}
