#pragma once
// A settings page made of yes/no switches: each check box stands for one
// setting of the service, shows it as the service answers (a read without
// an answer shows it off) and writes the new state the moment the user
// changes the box (command 38); when the write cannot be delivered the box
// goes back to what it showed. Texts come from the "gui" section.
#include <functional>
#include <string>
#include <vector>

#include "frSettingsPage.h"

class TSwitchPage : public TSettingsPage {
public:
    explicit TSwitchPage(gui::TContainer& host);
    // Every text, then every switch in the order they were added.
    void LoadPage() override;
    // The setting a box stands for ("" when none).
    std::string SettingOf(const gui::TCheckBox* box) const;

protected:
    static constexpr int kRowHeight = 22;
    static constexpr int kGroupCaption = 20;  // from the group's top to its first row

    // A group box at `top` of `host`, tall enough for `rows` switches (and
    // `extra` pixels more), as wide as the body allows.
    gui::TGroupBox* AddGroup(gui::TContainer& host, const char* textKey, int top, int rows, int extra = 0);
    // The switch at row `place` (1 from the top) of a group.
    gui::TCheckBox* AddSwitch(gui::TGroupBox& group, int place, const char* textKey, const char* setting);
    // A text of the page that the load sets.
    void AddText(const char* textKey, std::function<void(const std::string&)> apply);
    void LoadTexts();
    // Reads the box's setting into it (no write follows).
    void ReadSwitch(gui::TCheckBox* box);
    // Runs when the user changed a box, before its setting is written, and
    // again when the box went back (controls that depend on it).
    std::function<void(gui::TCheckBox* box)> OnSwitchChanged;

    static int GroupHeight(int rows, int extra = 0) { return kGroupCaption + rows * kRowHeight + 8 + extra; }

private:
    struct Row {
        gui::TCheckBox* Box;
        std::string Setting;
    };
    struct Text {
        std::string Key;
        std::function<void(const std::string&)> Apply;
    };
    void BoxClicked(gui::TCheckBox* box);
    std::vector<Row> rows_;
    std::vector<Text> texts_;
};
