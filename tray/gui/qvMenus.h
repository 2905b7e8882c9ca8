#pragma once
// Menus of the tray's windows: a main menu (the bar of a form) and pop-up
// menus (context menus of controls). Items carry their click handler; a main
// menu item's WM_COMMAND reaches it through the form. Main thread only.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace gui {

class TMenuItem {
public:
    TMenuItem(HMENU menu, const std::string& caption);
    ~TMenuItem();
    TMenuItem(const TMenuItem&) = delete;
    TMenuItem& operator=(const TMenuItem&) = delete;

    UINT Id() const { return id_; }
    void SetCaption(const std::string& caption);
    std::string Caption() const { return caption_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    void Click();  // as the user would: nothing while disabled
    std::function<void()> OnClick;

private:
    HMENU menu_;
    UINT id_;
    std::string caption_;
    bool enabled_ = true;
};

class TMenu {
public:
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;
    virtual ~TMenu();
    HMENU Handle() const { return menu_; }
    TMenuItem* Add(const std::string& caption, std::function<void()> onClick = {});
    const std::vector<std::unique_ptr<TMenuItem>>& Items() const { return items_; }

protected:
    explicit TMenu(HMENU menu) : menu_(menu) {}
    HMENU menu_;

private:
    std::vector<std::unique_ptr<TMenuItem>> items_;
};

// The menu bar of a form: items at the top level.
class TMainMenu : public TMenu {
public:
    TMainMenu();
    ~TMainMenu() override;
    void AttachTo(HWND form);

private:
    HWND form_ = nullptr;
};

class TPopupMenu : public TMenu {
public:
    TPopupMenu();
    // Shows the menu at a screen point and runs the chosen item's handler.
    void Popup(HWND owner, int x, int y);
    // Runs just before the menu shows (to enable items).
    std::function<void()> OnPopup;
};

// The item of a WM_COMMAND id from a menu; false when no item has it.
bool DispatchMenuCommand(UINT id);

}  // namespace gui
