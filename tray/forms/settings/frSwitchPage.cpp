#include "frSwitchPage.h"

#include "uGuiUtils.h"
#include "uLangUtils.h"

namespace {

constexpr int kMargin = 8;
constexpr int kBodyWidth = 487;  // the page area right of the settings tree

}  // namespace

TSwitchPage::TSwitchPage(gui::TContainer& host) : TSettingsPage(host) {}

gui::TGroupBox* TSwitchPage::AddGroup(gui::TContainer& host, const char* textKey, int top, int rows, int extra)
{
    auto* group = host.Make<gui::TGroupBox>();
    group->SetBounds(kMargin, top, kBodyWidth - 2 * kMargin - 4, GroupHeight(rows, extra));
    if (textKey) AddText(textKey, [group](const std::string& text) { group->SetCaption(text); });
    return group;
}

gui::TCheckBox* TSwitchPage::AddSwitch(gui::TGroupBox& group, int place, const char* textKey, const char* setting)
{
    auto* box = group.Make<gui::TCheckBox>();
    box->SetBounds(12, kGroupCaption + (place - 1) * kRowHeight, group.Width() - 24, kRowHeight - 2);
    box->Name = setting;
    box->OnClick = [this, box] { BoxClicked(box); };
    rows_.push_back(Row{box, setting});
    AddText(textKey, [box](const std::string& text) { box->SetCaption(text); });
    return box;
}

void TSwitchPage::AddText(const char* textKey, std::function<void(const std::string&)> apply)
{
    texts_.push_back(Text{textKey, std::move(apply)});
}

void TSwitchPage::LoadTexts()
{
    for (const Text& text : texts_) text.Apply(GetLangText(kLangGui, text.Key));
}

void TSwitchPage::LoadPage()
{
    LoadTexts();
    for (const Row& row : rows_) ReadSwitch(row.Box);
}

void TSwitchPage::ReadSwitch(gui::TCheckBox* box)
{
    bool value = false;
    if (!ReadBoolSetting(SettingOf(box), value)) value = false;
    box->SetChecked(value);
}

std::string TSwitchPage::SettingOf(const gui::TCheckBox* box) const
{
    for (const Row& row : rows_)
        if (row.Box == box) return row.Setting;
    return {};
}

void TSwitchPage::BoxClicked(gui::TCheckBox* box)
{
    const std::string setting = SettingOf(box);
    if (setting.empty()) return;
    if (OnSwitchChanged) OnSwitchChanged(box);
    if (WriteBoolSetting(setting, box->Checked())) return;
    // Not delivered: the box must not show a state the service does not have.
    box->SetChecked(!box->Checked());
    if (OnSwitchChanged) OnSwitchChanged(box);
}
