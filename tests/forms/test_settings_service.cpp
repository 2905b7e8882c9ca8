// The protection pages against the real service: every switch the user
// changes is stored by the service, and a new window shows what was stored.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "TrayTestSupport.h"
#include "fmSetting.h"
#include "frSwitchPage.h"
#include "qvApplication.h"
#include "uFormUtils.h"
#include "uGuiUtils.h"
#include "uLangUtils.h"

namespace {

constexpr int kProtectionPages[] = {kPageShell, kPageAdmin, kPageAutoruns, kPageChangeFile};

// The boxes of a page the user can reach (the hidden system-files group is not).
std::vector<gui::TCheckBox*> ReachableBoxes(gui::TContainer& container)
{
    std::vector<gui::TCheckBox*> boxes;
    for (const auto& control : container.Controls()) {
        if (auto* box = dynamic_cast<gui::TCheckBox*>(control.get())) boxes.push_back(box);
        auto* inner = dynamic_cast<gui::TContainer*>(control.get());
        if (inner && (control->Visible() || dynamic_cast<gui::TTabSheet*>(control.get()))) {
            auto more = ReachableBoxes(*inner);
            boxes.insert(boxes.end(), more.begin(), more.end());
        }
    }
    return boxes;
}

bool StoredSwitch(const std::string& name, bool& value)
{
    value = false;
    return ReadBoolSetting(name, value);
}

TfmSetting* OpenAt(int page)
{
    OpenSettings(0);
    auto* window = dynamic_cast<TfmSetting*>(gui::FindForm(kSettingsForm));
    if (window)
        SendMessageA(window->tvSetting->Handle(), TVM_SELECTITEM, TVGN_CARET,
                     reinterpret_cast<LPARAM>(window->tvSetting->ItemHandle(page)));
    return window;
}

}  // namespace

TEST(SettingsWithService, EverySwitchTheUserChangesIsStoredAndShownAgain)
{
    ASSERT_TRUE(traytest::ServiceUp());
    SetCurrentLanguage("English.lng");
    ASSERT_TRUE(gui::InitApplication(GetModuleHandleA(nullptr)));
    RegisterSettingsForm();
    ASSERT_TRUE(WriteStrSetting("password", ""));

    for (bool wanted : {true, false}) {
        size_t changed = 0;
        for (int page : kProtectionPages) {
            TfmSetting* window = OpenAt(page);
            ASSERT_NE(window, nullptr);
            auto* switches = dynamic_cast<TSwitchPage*>(window->Page(page));
            // The task manager's hijack box rests while every hijack goes: from the
            // last box to the first (it comes before that of every hijack), twice.
            auto boxes = ReachableBoxes(*switches);
            std::reverse(boxes.begin(), boxes.end());
            for (int round = 0; round < 2; ++round)
                for (gui::TCheckBox* box : boxes) {
                    const std::string name = switches->SettingOf(box);
                    if (box->Checked() == wanted || !IsWindowEnabled(box->Handle())) continue;
                    SendMessageA(box->Handle(), BM_CLICK, 0, 0);
                    bool stored = !wanted;
                    const DWORD start = GetTickCount();
                    while ((!StoredSwitch(name, stored) || stored != wanted) && GetTickCount() - start < 15000)
                        gui::ProcessMessages();
                    EXPECT_EQ(stored, wanted) << name;
                    ++changed;
                }
            gui::FreeForm(window);

            // A new window reads what the service stored.
            window = OpenAt(page);
            switches = dynamic_cast<TSwitchPage*>(window->Page(page));
            for (gui::TCheckBox* box : ReachableBoxes(*switches))
                EXPECT_EQ(box->Checked(), wanted) << switches->SettingOf(box);
            gui::FreeForm(window);
        }
        EXPECT_EQ(changed, 32u);  // 36 switches on four pages, the four system-files ones hidden
    }
    gui::UnregisterFormClass(kSettingsForm);
    gui::DoneApplication();
}
