#include "qvMenus.h"

#include "qvFrame.h"

namespace gui {

namespace {

UINT NewMenuId()
{
    UINT& next = Frame().NextMenuId;
    for (UINT tries = 0; tries <= kLastMenuId - kFirstMenuId; ++tries) {
        const UINT id = next;
        next = next >= kLastMenuId ? kFirstMenuId : next + 1;
        if (!Frame().MenuItems.count(id)) return id;
    }
    return 0;
}

}  // namespace

TMenuItem::TMenuItem(HMENU menu, const std::string& caption) : menu_(menu), id_(NewMenuId()), caption_(caption)
{
    Frame().MenuItems[id_] = this;
    AppendMenuA(menu_, MF_STRING, id_, caption_.c_str());
}

TMenuItem::~TMenuItem() { Frame().MenuItems.erase(id_); }

void TMenuItem::SetCaption(const std::string& caption)
{
    caption_ = caption;
    ModifyMenuA(menu_, id_, MF_BYCOMMAND | MF_STRING, id_, caption_.c_str());
}

void TMenuItem::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    EnableMenuItem(menu_, id_, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void TMenuItem::Click()
{
    if (enabled_ && OnClick) OnClick();
}

TMenu::~TMenu()
{
    items_.clear();
    if (menu_) DestroyMenu(menu_);
}

TMenuItem* TMenu::Add(const std::string& caption, std::function<void()> onClick)
{
    items_.push_back(std::make_unique<TMenuItem>(menu_, caption));
    items_.back()->OnClick = std::move(onClick);
    return items_.back().get();
}


TMainMenu::TMainMenu() : TMenu(CreateMenu()) {}

TMainMenu::~TMainMenu()
{
    if (!form_) return;
    // An attached menu goes with its window: detach it from a living one, and
    // leave one that went with its window alone (its handle may be another's now).
    if (IsWindow(form_) && GetMenu(form_) == menu_) SetMenu(form_, nullptr);
    else menu_ = nullptr;
}

void TMainMenu::AttachTo(HWND form)
{
    form_ = form;
    SetMenu(form, menu_);
    DrawMenuBar(form);
}

TPopupMenu::TPopupMenu() : TMenu(CreatePopupMenu()) {}

void TPopupMenu::Popup(HWND owner, int x, int y)
{
    if (OnPopup) OnPopup();
    SetForegroundWindow(owner);  // or the menu would not close when the user clicks elsewhere
    const UINT chosen = TrackPopupMenu(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    PostMessageA(owner, WM_NULL, 0, 0);
    if (chosen) DispatchMenuCommand(chosen);
}

bool DispatchMenuCommand(UINT id)
{
    auto it = Frame().MenuItems.find(id);
    if (it == Frame().MenuItems.end()) return false;
    it->second->Click();
    return true;
}

}  // namespace gui
