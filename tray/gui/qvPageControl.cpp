#include "qvPageControl.h"

#include <commctrl.h>

#include <algorithm>

#include "qvApplication.h"

namespace gui {

TPageControl::TPageControl(TContainer& parent, bool multiLine)
    : TCustomControl(parent, WS_TABSTOP, WS_EX_CONTROLPARENT)
{
    if (!Handle()) return;
    // The tab strip is the page control's own child; the sheets lie over its display area.
    tab_ = CreateWindowExA(0, WC_TABCONTROLA, "",
                           WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | (multiLine ? TCS_MULTILINE : 0), 0,
                           0, 0, 0, Handle(), nullptr, Instance(), nullptr);
    if (tab_) SendMessageA(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), FALSE);
}

TPageControl::~TPageControl()
{
    if (HWND window = Handle()) {
        Detach();
        DestroyWindow(window);
    }
    DestroyControls();
}

TTabSheet* TPageControl::AddPage(const std::string& caption)
{
    TTabSheet* sheet = Make<TTabSheet>();
    sheet->SetVisible(false);
    pages_.push_back(PageEntry{sheet, caption, true});
    RebuildTabs();
    if (!active_) active_ = sheet;
    ShowActive();
    return sheet;
}

TTabSheet* TPageControl::Page(int index) const
{
    return index >= 0 && index < PageCount() ? pages_[static_cast<size_t>(index)].Sheet : nullptr;
}

void TPageControl::SetPageCaption(TTabSheet* page, const std::string& caption)
{
    for (auto& p : pages_) {
        if (p.Sheet != page || p.Caption == caption) continue;
        p.Caption = caption;
        // Only this tab's text: rebuilding the strip would lose the chosen tab.
        const int tab = TabOf(page);
        if (!tab_ || tab < 0) continue;
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(p.Caption.c_str());
        SendMessageA(tab_, TCM_SETITEMA, static_cast<WPARAM>(tab), reinterpret_cast<LPARAM>(&item));
        Realign();  // the rows of tabs may have changed
    }
}

void TPageControl::SetTabVisible(TTabSheet* page, bool visible)
{
    for (auto& p : pages_)
        if (p.Sheet == page) p.TabVisible = visible;
    if (!visible && active_ == page) {
        active_ = nullptr;
        for (auto& p : pages_)
            if (p.TabVisible && !active_) active_ = p.Sheet;
    }
    RebuildTabs();
    ShowActive();
}

TTabSheet* TPageControl::ActivePage() const { return active_; }

void TPageControl::SetActivePage(TTabSheet* page)
{
    if (TabOf(page) < 0) return;
    active_ = page;
    ShowActive();
}

int TPageControl::TabOf(const TTabSheet* sheet) const
{
    int tab = 0;
    for (const auto& p : pages_) {
        if (!p.TabVisible) continue;
        if (p.Sheet == sheet) return tab;
        ++tab;
    }
    return -1;
}

void TPageControl::RebuildTabs()
{
    if (!tab_) return;
    TabCtrl_DeleteAllItems(tab_);
    int tab = 0;
    for (const auto& p : pages_) {
        if (!p.TabVisible) continue;
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(p.Caption.c_str());
        SendMessageA(tab_, TCM_INSERTITEMA, static_cast<WPARAM>(tab++), reinterpret_cast<LPARAM>(&item));
    }
    // The tab shown chosen is the sheet shown.
    TabCtrl_SetCurSel(tab_, TabOf(active_));
    Realign();
}

void TPageControl::ShowActive()
{
    if (tab_) TabCtrl_SetCurSel(tab_, TabOf(active_));
    for (const auto& p : pages_) p.Sheet->SetVisible(p.Sheet == active_);
    Realign();
}

void TPageControl::Realign()
{
    if (!Handle() || !tab_) return;
    RECT client;
    GetClientRect(Handle(), &client);
    SetWindowPos(tab_, HWND_BOTTOM, 0, 0, client.right, client.bottom, SWP_NOACTIVATE);
    RECT display = client;
    TabCtrl_AdjustRect(tab_, FALSE, &display);
    for (const auto& p : pages_)
        SetWindowPos(p.Sheet->Handle(), HWND_TOP, display.left, display.top, std::max(0L, display.right - display.left),
                     std::max(0L, display.bottom - display.top), SWP_NOACTIVATE);
}

void TPageControl::UpdateEnabled()
{
    TControl::UpdateEnabled();
    if (tab_) EnableWindow(tab_, EffectiveEnabled() ? TRUE : FALSE);
    UpdateChildrenEnabled();
}

bool TPageControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_NOTIFY) {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        if (header && header->hwndFrom == tab_ && header->code == TCN_SELCHANGE) {
            const int tab = TabCtrl_GetCurSel(tab_);
            for (const auto& p : pages_)
                if (TabOf(p.Sheet) == tab) active_ = p.Sheet;
            ShowActive();
            if (OnChange) OnChange();
            result = 0;
            return true;
        }
    }
    if (RouteControlMessage(message, wParam, lParam, result)) return true;
    if (message == WM_SIZE) {
        Realign();
        return false;
    }
    return TCustomControl::WindowMessage(message, wParam, lParam, result);
}

// --- status bar -------------------------------------------------------------

TStatusBar::TStatusBar(TContainer& parent) : TControl(parent)
{
    CreateHandle(STATUSCLASSNAMEA, 0);
    if (Handle()) SendMessageA(Handle(), WM_SIZE, 0, 0);  // takes its natural height
    SetAlign(TAlign::Bottom);
}

int TStatusBar::AddPanel(int width, TAlignment alignment)
{
    panels_.push_back(Panel{width, alignment, {}});
    ApplyPanels();
    return PanelCount() - 1;
}

void TStatusBar::SetPanelText(int index, const std::string& text)
{
    if (index < 0 || index >= PanelCount() || !Handle()) return;
    Panel& panel = panels_[static_cast<size_t>(index)];
    panel.Text = text;
    // A tab before the text centres it, two right-align it.
    const std::string shown = (panel.Alignment == TAlignment::Center  ? "\t"
                               : panel.Alignment == TAlignment::Right ? "\t\t"
                                                                      : "") +
                              text;
    SendMessageA(Handle(), SB_SETTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(shown.c_str()));
}

std::string TStatusBar::PanelText(int index) const
{
    return index >= 0 && index < PanelCount() ? panels_[static_cast<size_t>(index)].Text : std::string();
}

void TStatusBar::ApplyPanels()
{
    if (!Handle()) return;
    std::vector<int> edges;
    int right = 0;
    for (const auto& panel : panels_) edges.push_back(right += panel.Width);
    SendMessageA(Handle(), SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
    for (int i = 0; i < PanelCount(); ++i) SetPanelText(i, panels_[static_cast<size_t>(i)].Text);
}

}  // namespace gui
