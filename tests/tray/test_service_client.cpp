#include <gtest/gtest.h>

#include <thread>

#include "RegistryUtils.h"
#include "ServiceHarness.h"
#include "SlotListener.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"

namespace {

template <typename Read>
bool Eventually(Read read) { return WaitUntil(read, 5000); }

TEST(ServiceClient, SettingsRoundTripThroughTheService)
{
    ASSERT_TRUE(traytest::ServiceUp());
    ASSERT_TRUE(WriteBoolSetting("view_mess", true));
    ASSERT_TRUE(WriteIntSetting("hosts_delete", -7));
    ASSERT_TRUE(WriteStrSetting("OEMinfo", "Защита"));

    bool flag = false;
    EXPECT_TRUE(Eventually([&] { return ReadBoolSetting("view_mess", flag) && flag; }));
    int32_t number = 0;
    EXPECT_TRUE(Eventually([&] { return ReadIntSetting("hosts_delete", number) && number == -7; }));
    std::string text;
    EXPECT_TRUE(Eventually([&] { return ReadStrSetting("OEMinfo", text) && text == "Защита"; }));

    ASSERT_TRUE(WriteBoolSetting("view_mess", false));
    EXPECT_TRUE(Eventually([&] { return ReadBoolSetting("view_mess", flag) && !flag; }));

    // missing values are answered, as false, -1 and empty
    flag = true;
    EXPECT_TRUE(ReadBoolSetting("tray_test_missing", flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(ReadIntSetting("tray_test_missing", number));
    EXPECT_EQ(number, -1);
    text = "stale";
    EXPECT_TRUE(ReadStrSetting("tray_test_missing", text));
    EXPECT_EQ(text, "");
}

TEST(ServiceClient, LongSettingNamesAreCut)
{
    const std::string longName = "long_" + std::string(115, 'n');
    TMSlotMessage request = SettingRequest(proto::kWriteBool, longName, std::string(300, 'd'));
    EXPECT_EQ(request.Mess.Str(), longName.substr(0, 99));
    EXPECT_EQ(request.Data.Str().size(), 255u);

    ASSERT_TRUE(traytest::ServiceUp());
    // what the service looks up is the name as the wire carries it (such a
    // name is never written through the service: it is none of its settings)
    TRegEngine value = SettingRef(longName.substr(0, 98));
    WriteRegBool(value, true);
    bool flag = false;
    EXPECT_TRUE(ReadBoolSetting(longName, flag) && flag);
    DeleteRegValue(value);
}

TEST(ServiceClient, GuiLogLinesReachTheServiceLog)
{
    ASSERT_TRUE(traytest::ServiceUp());
    const std::string line = "tray log line " + std::to_string(GetTickCount());
    WriteGuiLog(line);
    TMSlotMessage record;
    ClearMailSlotMessage(record);
    record.Type = 24;
    record.Data.Set("C:\\x.exe");
    record.Mess.Set("m");
    record.A = 1;
    record.D = -4;
    record.Bool = true;
    EXPECT_EQ(MessageRecordText(record),
              "Структура - Type: 24 Data: C:\\x.exe Mess: m Mess1:  A:1 B:0 C:0 D:-4 Bool:true");
    LogMessageRecord(record);
    const std::string log = harness::DataFolder() + "gui.log";
    EXPECT_TRUE(WaitUntil(
        [&] {
            std::string text = ReadTextFile(log);
            return text.find(line) != std::string::npos && text.find(MessageRecordText(record)) != std::string::npos;
        },
        5000));
}

// Stands in for the service's slot and answers each host-list request with
// Bool = (Data is "known@1.2.3.4"), recording what came.
class HostListStandIn {
public:
    HostListStandIn() : slot_(kServiceSlot)
    {
        worker_ = std::thread([this] {
            TMSlotMessage m;
            while (!stop_) {
                if (!slot_.Next(m, 100)) continue;
                seen_.push_back(m);
                m.Bool = m.Data.Str() == "known@1.2.3.4";
                if (IsReplySlotName(m.Mess1.Str())) SendToMailSlot(m, m.Mess1.Str());
            }
        });
    }
    ~HostListStandIn()
    {
        stop_ = true;
        worker_.join();
    }
    bool Active() const { return slot_.Active(); }
    std::vector<TMSlotMessage> seen_;

private:
    SlotListener slot_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

TEST(ServiceClient, HostListRequestsCarryTheEntryAndTakeTheAnswer)
{
    ASSERT_TRUE(traytest::ServiceDown());
    std::vector<TMSlotMessage> seen;
    {
        HostListStandIn service;
        ASSERT_TRUE(service.Active());
        EXPECT_TRUE(HostListContains("known@1.2.3.4"));
        EXPECT_FALSE(HostListContains("other@1.2.3.4"));
        EXPECT_TRUE(HostListAdd("known@1.2.3.4"));
        EXPECT_TRUE(HostListDelete("known@1.2.3.4"));
        EXPECT_FALSE(HostListDelete("gone@1.1.1.1"));
        Sleep(200);
        seen = service.seen_;
    }
    ASSERT_EQ(seen.size(), 5u);
    const uint8_t types[] = {43, 43, 44, 45, 45};
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i].Type, types[i]) << i;
    EXPECT_EQ(seen[1].Data.Str(), "other@1.2.3.4");
    EXPECT_TRUE(seen[0].Mess.Empty());
}

TEST(ServiceClient, StoppedServiceFailsEveryCallAtOnce)
{
    ASSERT_TRUE(traytest::ServiceDown());
    bool flag = true;
    int32_t number = 5;
    std::string text = "stale";
    const DWORD start = GetTickCount();
    EXPECT_FALSE(ReadBoolSetting("show_tray_icon", flag));
    EXPECT_FALSE(ReadIntSetting("hosts_change", number));
    EXPECT_FALSE(ReadStrSetting("language", text));
    EXPECT_FALSE(HostListContains("localhost@127.0.0.1"));
    EXPECT_FALSE(HostListAdd("a@1.1.1.1"));
    EXPECT_FALSE(HostListDelete("a@1.1.1.1"));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_LT(elapsed, 5000u) << "no slot, no wait";
    EXPECT_FALSE(flag);
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(WriteBoolSetting("kb_F12", true));
    EXPECT_FALSE(WriteIntSetting("hosts_change", 1));
    EXPECT_FALSE(WriteStrSetting("password", ""));
    std::printf("six reads against a stopped service took %lu ms\n", static_cast<unsigned long>(elapsed));
    ASSERT_TRUE(traytest::ServiceUp());
}

}  // namespace
