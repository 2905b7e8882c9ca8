// The first run with the real service: a fresh install answers the tray's
// start-up check with Type 8, the tray's receiver opens the wizard, and its
// first choice writes the protection switches, after which the check finds
// no first run any more. The tray's receiver and hidden window run in this
// program; the service runs from a folder without the tray program, so it
// starts no tray of its own and adopts this one.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "TrayTestSupport.h"
#include "fmWizard.h"
#include "qvApplication.h"
#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"
#include "uMessThread.h"
#include "uTrayApplication.h"
#include "uTrayWindow.h"
#include "uWizardPlan.h"

using namespace traytest;

namespace {

constexpr DWORD kWaitMs = 20000;

HWND VisibleWizard()
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kWizardForm, nullptr)))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

DWORD SettingsValueCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Quorvane", 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return count;
}

// Asks the first-run check and waits until the service has handled it (a
// read sent after it is answered in order).
void AskFirstRun()
{
    SendToMailSlot(MakeRequest(13, 14), kServiceSlot);
    bool ignored = false;
    ReadBoolSetting("hosts_guard", ignored);
}

// The tray's receiver handles its slot in order: once it answered a request
// sent after the service's reply, a Type 8 would have opened the wizard.
bool TrayReceiverCaughtUp()
{
    std::atomic<bool> done{false};
    bool answered = false;
    std::thread ask([&] {
        TMSlotMessage request = MakeRequest(13, 18);
        answered = SendToMailSlotAndWait(kTraySlot, request);
        done = true;
    });
    PumpUntil([&] { return done.load(); }, kWaitMs + 20000);
    ask.join();
    return answered;
}

class FirstRun : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        harness::RemoveService();
        harness::ResetMachineState();
        ASSERT_TRUE(harness::InstallService(
            harness::StageServiceCopy(GetEnvVar("TEMP") + "\\qvsetup_service", "ServiceQuorvane.exe")));
        ASSERT_TRUE(harness::StartAndWaitRunning());
        SetCurrentLanguage("Russian.lng");
        RegisterStandIns();
        RegisterSetupForms();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
        ASSERT_NE(CreateTrayWindow(GetModuleHandleA(nullptr)), nullptr);
        receiver_ = std::make_unique<TThreadMess>();
        receiver_->Start();
        ASSERT_TRUE(PumpUntil([] { return receiver_->SlotActive(); }, 15000));
    }
    static void TearDownTestSuite()
    {
        if (receiver_) {
            receiver_->Terminate();
            PumpUntil([] { return receiver_->Finished(); }, 3000);
            receiver_.reset();
        }
        ResetOpened();
        if (TrayApp().Icon.Window) DestroyWindow(TrayApp().Icon.Window);
        TrayApp().Icon.Window = nullptr;
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
        UnregisterSetupForms();
        UnregisterStandIns();
        harness::RemoveService();
    }
    static std::unique_ptr<TThreadMess> receiver_;
};

std::unique_ptr<TThreadMess> FirstRun::receiver_;

}  // namespace

TEST_F(FirstRun, WizardOpensOnAFreshInstallAndItsFirstChoiceEndsTheFirstRun)
{
    const DWORD before = SettingsValueCount();
    EXPECT_LT(before, 30u);
    AskFirstRun();
    ASSERT_TRUE(PumpUntil([] { return VisibleWizard() != nullptr; }, kWaitMs)) << "Type 8 opens the wizard";
    auto* wizard = dynamic_cast<TfmWizard*>(gui::FindForm(kWizardForm));
    ASSERT_NE(nullptr, wizard);
    SendMessageA(wizard->StartButton()->Handle(), BM_CLICK, 0, 0);
    ASSERT_TRUE(PumpUntil([] { return VisibleWizard() == nullptr; }, kWaitMs));

    // Written in order: the last write is in once the service answers a read of it.
    ASSERT_TRUE(WaitUntil(
        [] {
            bool value = false;
            return ReadBoolSetting("arn_disable_cmd", value) && value;
        },
        kWaitMs));
    const DWORD after = SettingsValueCount();
    std::printf("settings values: %lu before the wizard, %lu after it\n", static_cast<unsigned long>(before),
                static_cast<unsigned long>(after));
    EXPECT_GE(after, 30u);
    for (const TSettingWrite& write : WizardStartWrites(kChooseAll, {}, false)) {
        if (write.Kind == TSettingWrite::Int) {
            int32_t value = -1;
            EXPECT_TRUE(ReadIntSetting(write.Name, value) && value == 0) << write.Name;
        } else if (write.Name != "kb_cross" && write.Name != "kb_F12") {
            bool value = false;
            EXPECT_TRUE(ReadBoolSetting(write.Name, value) && value) << write.Name;
        }
    }

    AskFirstRun();
    ASSERT_TRUE(TrayReceiverCaughtUp());
    EXPECT_EQ(nullptr, VisibleWizard()) << "no second first run";
}
