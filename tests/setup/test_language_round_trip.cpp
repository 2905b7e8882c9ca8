// The language change end to end with the real programs: the service starts
// the tray on a fresh install, the tray opens the first-run wizard, whose
// second choice opens the settings window; there the language page's button
// sends the new language and the restart order, and the service starts the
// tray again, which comes back in the new language (its wizard, still due on
// this unpopulated install, is captioned in English). Wine keeps a program's
// menus inside its process, so the new language is read from the caption of
// the window the restarted tray opens; both come from the same language file.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "ServiceHarness.h"
#include "TestSupport.h"
#include "qvFiles.h"
#include "uCommonUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"

namespace {

constexpr DWORD kWaitMs = 60000;

std::string InstallFolder() { return GetEnvVar("TEMP") + "\\qvlanguage_install"; }

HWND VisibleTopLevel(const char* className)
{
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, className, nullptr)))
        if (IsWindowVisible(window)) return window;
    return nullptr;
}

std::string WindowText(HWND window)
{
    char text[512] = {};
    GetWindowTextA(window, text, sizeof(text));
    return text;
}

std::vector<HWND> VisibleChildren(HWND parent, const char* className)
{
    struct Search {
        const char* ClassName;
        std::vector<HWND> Found;
    } search{className, {}};
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            char name[64] = {};
            GetClassNameA(child, name, sizeof(name));
            if (lstrcmpiA(name, s->ClassName) == 0 && IsWindowVisible(child)) s->Found.push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

HWND ButtonWithText(HWND parent, const std::string& text)
{
    for (HWND button : VisibleChildren(parent, "Button"))
        if (WindowText(button) == text) return button;
    return nullptr;
}

HWND RadioButton(HWND parent, int index)
{
    int seen = 0;
    for (HWND button : VisibleChildren(parent, "Button")) {
        const LONG type = GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK;
        if (type != BS_AUTORADIOBUTTON && type != BS_RADIOBUTTON) continue;
        if (seen++ == index) return button;
    }
    return nullptr;
}

DWORD TrayProcess()
{
    HWND tray = FindWindowA("Quorvane", "Quorvane");
    DWORD pid = 0;
    if (tray) GetWindowThreadProcessId(tray, &pid);
    return pid;
}

std::string LangText(const char* language, const char* key)
{
    SetCurrentLanguage(language);
    return GetLangText(kLangGui, key);
}

class LanguageRoundTrip : public ::testing::Test {
protected:
    static void TearDownTestSuite()
    {
        SendToMailSlot(MakeMessage(13, 1), kTraySlot);
        harness::RemoveService();
    }
};

}  // namespace

TEST_F(LanguageRoundTrip, TheRestartedTrayComesBackInTheChosenLanguage)
{
    harness::RemoveService();
    harness::ResetMachineState();
    const std::string folder = InstallFolder();
    const std::string service = harness::StageServiceCopy(folder, "ServiceQuorvane.exe");
    for (const char* file : {"QuorvaneTray.exe", "Russian.lng", "English.lng"})
        ASSERT_TRUE(CopyFileA((ModuleFolder() + file).c_str(), (folder + "\\" + file).c_str(), FALSE)) << file;
    ASSERT_TRUE(harness::InstallService(service));
    ASSERT_TRUE(harness::StartAndWaitRunning());

    // The fresh install: the tray the service starts opens the wizard in Russian.
    HWND wizard = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (wizard = VisibleTopLevel("TfmWizard")) != nullptr; }, kWaitMs));
    EXPECT_EQ(LangText("Russian.lng", "w_mcap"), WindowText(wizard));
    const DWORD firstTray = TrayProcess();
    ASSERT_NE(0u, firstTray);

    // Its second choice: the settings window.
    HWND second = RadioButton(wizard, 1);
    HWND start = ButtonWithText(wizard, LangText("Russian.lng", "w_bs"));
    ASSERT_TRUE(second && start);
    PostMessageA(second, BM_CLICK, 0, 0);
    PostMessageA(start, BM_CLICK, 0, 0);
    HWND settings = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (settings = VisibleTopLevel("TfmSetting")) != nullptr; }, kWaitMs));

    // The language page: the tree's seventh entry.
    std::vector<HWND> trees;
    ASSERT_TRUE(WaitUntil([&] { return !(trees = VisibleChildren(settings, WC_TREEVIEWA)).empty(); }, kWaitMs));
    auto item = reinterpret_cast<HTREEITEM>(SendMessageA(trees[0], TVM_GETNEXTITEM, TVGN_ROOT, 0));
    for (int n = 0; n < 6 && item; ++n)
        item = reinterpret_cast<HTREEITEM>(SendMessageA(trees[0], TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)));
    ASSERT_NE(nullptr, item);
    SendMessageA(trees[0], TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    std::vector<HWND> boxes;
    ASSERT_TRUE(WaitUntil([&] { return (boxes = VisibleChildren(settings, "ComboBox")).size() == 1; }, kWaitMs));

    // The list holds the files beside the tray, the current language first.
    TStringList languages = ListLanguageFiles(IncludeTrailingBackslash(folder));
    PutLanguageFirst(languages, "Russian.lng");
    const int english = IndexOfText(languages, "English.lng");
    ASSERT_GT(english, 0);
    SendMessageA(boxes[0], CB_SETCURSEL, english, 0);
    HWND apply = ButtonWithText(settings, LangText("Russian.lng", "l_bc"));
    ASSERT_NE(nullptr, apply);
    PostMessageA(apply, BM_CLICK, 0, 0);

    // Command 32: the service ends the tray and starts it again, in English.
    ASSERT_TRUE(WaitUntil(
        [&] {
            const DWORD pid = TrayProcess();
            return pid != 0 && pid != firstTray;
        },
        kWaitMs))
        << "the tray was started again";
    ASSERT_TRUE(WaitUntil(
        [&] {
            HWND again = VisibleTopLevel("TfmWizard");
            return again && WindowText(again) == LangText("English.lng", "w_mcap");
        },
        kWaitMs))
        << "the restarted tray speaks English";
    std::string language;
    EXPECT_TRUE(ReadStrSetting("language", language));
    EXPECT_EQ("English.lng", language);
}
