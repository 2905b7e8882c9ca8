// The splash and the browser window, opened through the form manager in the
// test program under Xvfb and looked at from their windows.
#include <gtest/gtest.h>

#include <algorithm>

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

TEST_F(ViewWindows, SplashIsRoundedFadesAndFreesItself)
{
    ShowSplash();
    auto* splash = dynamic_cast<TfmSplashForm*>(gui::FindForm(kSplashForm));
    ASSERT_NE(splash, nullptr);
    HWND window = splash->Handle();
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, kSplashWidth);
    EXPECT_EQ(client.bottom, kSplashHeight);
    EXPECT_EQ(GetWindowLongA(window, GWL_STYLE) & WS_CAPTION, 0);
    EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(window, region), ERROR);
    EXPECT_FALSE(PtInRegion(region, 0, 0)) << "the corners are cut";
    EXPECT_TRUE(PtInRegion(region, kSplashWidth / 2, 0));
    DeleteObject(region);
    EXPECT_EQ(splash->VersionText().rfind("Version ", 0), 0u);

    int highest = 0;
    bool sawFadeOut = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            if (!gui::FormExists(splash)) return true;
            BYTE alpha = 0;
            DWORD flags = 0;
            if (GetLayeredWindowAttributes(window, nullptr, &alpha, &flags)) highest = std::max<int>(highest, alpha);
            if (splash->Fade().Phase() == TSplashFade::TPhase::FadeOut) sawFadeOut = true;
            return false;
        },
        60000));
    EXPECT_GE(highest, 240);
    EXPECT_TRUE(sawFadeOut);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(ViewWindows, SplashClosedEarlyStopsFading)
{
    ShowSplash();
    auto* splash = dynamic_cast<TfmSplashForm*>(gui::FindForm(kSplashForm));
    ASSERT_NE(splash, nullptr);
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
