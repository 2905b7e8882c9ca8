#include "TrayTestSupport.h"

#include <gtest/gtest.h>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "uFormUtils.h"

namespace traytest {

namespace {

std::vector<Opened> gOpened;
bool gQuitSeen = false;

class StandIn : public gui::TForm, public TPopupWindow {
public:
    using TForm::TForm;
    void Present(const TNotifyRecord& record, TPopupCallbacks callbacks) override
    {
        values_ = record;
        callbacks_ = std::move(callbacks);
    }

protected:
    void CreateParams(gui::TCreateParams& params) override
    {
        params.Style = WS_POPUP;
        params.ExStyle = WS_EX_TOOLWINDOW;
        // not activated: under Wine without a window manager an activated
        // window takes two seconds to go away
        params.ShowCommand = SW_SHOWNA;
        params.Width = 10;
        params.Height = 10;
    }
    void OnCreate() override { gOpened.push_back({ClassName(), Tag, HelpContext, values_, callbacks_}); }

private:
    TNotifyRecord values_ = {nsInformation, {}, {}, {}, {}, 0, 0, false, -1};
    TPopupCallbacks callbacks_;
};

const char* const kStandInClasses[] = {kMessageForm,      kStatusForm,   kSettingsForm,      kWizardForm, kReportForm,
                                       kHostsManagerForm, kTrustListForm, kAutorunDialogForm, kSplashForm};

bool gInstalled = false;

// The service goes when the test program ends.
class ServiceCleanup : public ::testing::Environment {
public:
    void TearDown() override { RemoveServiceAtEnd(); }
};
const auto* const kServiceCleanup = ::testing::AddGlobalTestEnvironment(new ServiceCleanup);

}  // namespace

bool ServiceUp()
{
    if (!gInstalled) {
        harness::RemoveService();
        if (!harness::InstallService(harness::BuiltServiceExe())) return false;
        gInstalled = true;
    }
    if (harness::State() == SERVICE_RUNNING) return true;
    return harness::StartAndWaitRunning();
}

bool ServiceDown() { return harness::StopAndWaitStopped(); }

void RemoveServiceAtEnd()
{
    if (gInstalled) harness::RemoveService();
    gInstalled = false;
}

void PumpOnce()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            gQuitSeen = true;
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool TakeQuit()
{
    bool seen = gQuitSeen;
    gQuitSeen = false;
    return seen;
}

void Pump(DWORD ms)
{
    PumpUntil([] { return false; }, ms);
}

void RegisterStandIns()
{
    for (const char* name : kStandInClasses)
        gui::RegisterFormClass(name, [name] { return std::make_unique<StandIn>(name); });
}

void UnregisterStandIns()
{
    for (const char* name : kStandInClasses) gui::UnregisterFormClass(name);
}

std::vector<Opened> OpenedForms() { return gOpened; }

std::vector<Opened> OpenedOf(const std::string& className)
{
    std::vector<Opened> list;
    for (const Opened& o : gOpened)
        if (o.ClassName == className) list.push_back(o);
    return list;
}

void ResetOpened()
{
    gui::FreeAllForms();
    gOpened.clear();
}

}  // namespace traytest
