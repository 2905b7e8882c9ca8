// The splash closed while it fades, and the browser window, opened through
// the form manager in the test program under Xvfb.
#include <gtest/gtest.h>

#include "TrayTestSupport.h"
#include "fmBrowser.h"
#include "fmSplash.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uViewForms.h"

using namespace traytest;

namespace {

class ViewWindows : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        SetCurrentLanguage("English.lng");
        RegisterViewForms();
        ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
    }
    static void TearDownTestSuite()
    {
        gui::FreeAllForms();
        Pump(100);
        TakeQuit();
        gui::DoneApplication();
    }
};

SIZE WindowSize(HWND window)
{
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

}  // namespace

TEST_F(ViewWindows, SplashClosedEarlyStopsFading)
{
    ShowSplash();
    auto* splash = dynamic_cast<TfmSplashForm*>(gui::FindForm(kSplashForm));
    ASSERT_NE(splash, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return splash->Fade().Alpha() > 100; }, 10000)) << "fading in";
    splash->Close();
    EXPECT_EQ(splash->Fade().Phase(), TSplashFade::TPhase::Closed);
    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(splash); }, 5000));
}

TEST_F(ViewWindows, BrowserHostsTheControlInBothModes)
{
    const std::string address = "http://127.0.0.1:9/help.html";
    OpenBrowser(address, 1);
    auto* browser = dynamic_cast<TfmBrowser*>(gui::FindForm(kBrowserForm));
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(IsFormOpen(kBrowserForm));
    HWND window = browser->Handle();
    char caption[64] = {};
    GetWindowTextA(window, caption, sizeof(caption));
    EXPECT_STREQ(caption, "Quorvane browser...");
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    const SIZE normal = WindowSize(window);
    EXPECT_EQ(normal.cx, 800);
    EXPECT_EQ(normal.cy, 500);
    EXPECT_TRUE(browser->ControlActive()) << std::hex << browser->CreateResult();
    EXPECT_NE(GetWindow(window, GW_CHILD), nullptr) << "the control's window lies inside the form";
    EXPECT_EQ(browser->NavigatedAddress(), address);
    EXPECT_EQ(browser->ControlLocation(), address) << "the control took the address";

    OpenBrowser("http://127.0.0.1:9/other.html", 0);
    EXPECT_EQ(gui::FindForm(kBrowserForm), browser) << "an open browser is left as it is";
    EXPECT_EQ(browser->NavigatedAddress(), address);

    browser->Close();
    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(browser); }, 5000));
    EXPECT_FALSE(IsFormOpen(kBrowserForm));

    OpenBrowser(address, 0);
    browser = dynamic_cast<TfmBrowser*>(gui::FindForm(kBrowserForm));
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(IsZoomed(browser->Handle()));
    browser->Close();
    ASSERT_TRUE(PumpUntil([&] { return !gui::FormExists(browser); }, 5000));
}
