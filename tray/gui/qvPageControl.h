#pragma once
// Page (tab) control with its sheets, and the status bar (see qvControls.h
// for how controls are made and routed). Main thread only.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "qvControls.h"

namespace gui {

// One page of a page control: a panel that shows while its tab is chosen.
class TTabSheet : public TPanel {
public:
    explicit TTabSheet(TContainer& parent) : TPanel(parent) {}
};

class TPageControl : public TCustomControl, public TContainer {
public:
    explicit TPageControl(TContainer& parent, bool multiLine = false);
    ~TPageControl() override;

    TTabSheet* AddPage(const std::string& caption);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet* Page(int index) const;
    void SetPageCaption(TTabSheet* page, const std::string& caption);
    // A sheet whose tab is hidden is never shown.
    void SetTabVisible(TTabSheet* page, bool visible);
    TTabSheet* ActivePage() const;
    void SetActivePage(TTabSheet* page);  // no OnChange
    HWND TabHandle() const { return tab_; }
    // The user chose another tab.
    std::function<void()> OnChange;

    HWND ContainerHandle() override { return Handle(); }
    HFONT ContainerFont() override { return Font(); }
    TColor ContainerColor() override { return Color(); }
    bool ContainerEnabled() override { return EffectiveEnabled(); }
    void Realign() override;
    void UpdateEnabled() override;
    bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    struct PageEntry {
        TTabSheet* Sheet;
        std::string Caption;
        bool TabVisible;
    };
    void RebuildTabs();
    int TabOf(const TTabSheet* sheet) const;  // its tab's index, -1 when hidden
    void ShowActive();
    HWND tab_ = nullptr;
    std::vector<PageEntry> pages_;
    TTabSheet* active_ = nullptr;
};

// Status bar at the bottom of its form, with panels of fixed widths.
class TStatusBar : public TControl {
public:
    explicit TStatusBar(TContainer& parent);
    // Adds a panel; its index.
    int AddPanel(int width, TAlignment alignment = TAlignment::Left);
    void SetPanelText(int index, const std::string& text);
    std::string PanelText(int index) const;
    int PanelCount() const { return static_cast<int>(panels_.size()); }

private:
    struct Panel {
        int Width;
        TAlignment Alignment;
        std::string Text;
    };
    void ApplyPanels();
    std::vector<Panel> panels_;
};

}  // namespace gui
