#pragma once
// The tree view and the report-style list view of the tray's windows (see
// qvControls.h for how controls are made and routed). Main thread only.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "qvControls.h"

namespace gui {

// A tree of text entries. An entry's index is its place in the order the
// entries were added (the tree's own order when entries go at the end).
class TTreeView : public TControl {
public:
    // Buttons and lines off: a flat list of entries, as the settings window shows.
    explicit TTreeView(TContainer& parent, bool buttonsAndLines = false);
    void Clear();
    // Adds an entry under `parentIndex` (-1: the top level); its index.
    int AddItem(const std::string& text, int parentIndex = -1);
    int Count() const { return static_cast<int>(items_.size()); }
    std::string ItemText(int index) const;
    HTREEITEM ItemHandle(int index) const;
    int SelectedIndex() const;  // -1 when none
    // Selects an entry; OnChange runs as when the user selects it.
    void Select(int index);
    void FullExpand();
    // False: entries never collapse.
    bool AllowCollapse = true;
    // The selected entry changed (by anyone); -1 when none is selected.
    std::function<void(int index)> OnChange;
    bool Notify(NMHDR& header, LRESULT& result) override;

private:
    int IndexOf(HTREEITEM item) const;
    std::vector<HTREEITEM> items_;
};

struct TListColumn {
    std::string Caption;
    int Width = 100;  // -1: fills what the other columns leave
};

// Report-style list view: columns, whole-row selection, grid lines, read-only.
// With owner data the rows come from OnData and only their count is kept;
// otherwise rows are added with AddItem. OnCustomDraw colours a cell.
class TListView : public TControl {
public:
    TListView(TContainer& parent, bool ownerData, bool gridLines = true);
    void SetColumns(const std::vector<TListColumn>& columns);
    void SetColumnCaption(int column, const std::string& caption);
    int ColumnCount() const { return static_cast<int>(columns_.size()); }

    // Rows of a list without owner data.
    int AddItem(const std::string& caption, const std::vector<std::string>& subItems = {}, LPARAM data = 0);
    std::string ItemText(int index, int column = 0) const;
    void Clear();

    // Rows of an owner-data list.
    void SetItemCount(int count);
    std::function<std::string(int item, int column)> OnData;

    int Count() const;
    int SelectedIndex() const;  // -1 when none
    void Select(int index);
    // Redraws the rows (owner data changed).
    void Refresh();

    // Colours of a cell; false: the defaults.
    std::function<bool(int item, int column, TColor& text, TColor& back)> OnCustomDraw;
    std::function<void()> OnSelect;  // the selected row changed
    bool Notify(NMHDR& header, LRESULT& result) override;

private:
    void FitLastColumn();
    bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool ownerData_;
    std::vector<TListColumn> columns_;
    std::string dataText_;  // the text handed out last through LVN_GETDISPINFO
    std::wstring dataWide_;
};

}  // namespace gui
