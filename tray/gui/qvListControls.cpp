#include "qvListControls.h"

#include <algorithm>

namespace gui {

// --- tree view --------------------------------------------------------------

TTreeView::TTreeView(TContainer& parent, bool buttonsAndLines) : TControl(parent)
{
    DWORD style = WS_TABSTOP | TVS_SHOWSELALWAYS;
    if (buttonsAndLines) style |= TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT;
    CreateHandle(WC_TREEVIEWA, style, WS_EX_CLIENTEDGE);
}

void TTreeView::Clear()
{
    items_.clear();
    if (Handle()) TreeView_DeleteAllItems(Handle());
}

int TTreeView::AddItem(const std::string& text, int parentIndex)
{
    if (!Handle()) return -1;
    TVINSERTSTRUCTA insert{};
    insert.hParent = parentIndex >= 0 && parentIndex < Count() ? items_[static_cast<size_t>(parentIndex)] : TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char*>(text.c_str());
    HTREEITEM item = reinterpret_cast<HTREEITEM>(
        SendMessageA(Handle(), TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert)));
    if (!item) return -1;
    items_.push_back(item);
    return Count() - 1;
}

std::string TTreeView::ItemText(int index) const
{
    HTREEITEM item = ItemHandle(index);
    if (!item) return {};
    char buffer[260] = {};
    TVITEMA data{};
    data.mask = TVIF_TEXT;
    data.hItem = item;
    data.pszText = buffer;
    data.cchTextMax = sizeof(buffer);
    SendMessageA(Handle(), TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&data));
    return buffer;
}

HTREEITEM TTreeView::ItemHandle(int index) const
{
    return index >= 0 && index < Count() ? items_[static_cast<size_t>(index)] : nullptr;
}

int TTreeView::IndexOf(HTREEITEM item) const
{
    auto it = std::find(items_.begin(), items_.end(), item);
    return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

int TTreeView::SelectedIndex() const { return Handle() ? IndexOf(TreeView_GetSelection(Handle())) : -1; }

void TTreeView::Select(int index)
{
    if (HTREEITEM item = ItemHandle(index)) TreeView_SelectItem(Handle(), item);
}

void TTreeView::FullExpand()
{
    for (HTREEITEM item : items_) TreeView_Expand(Handle(), item, TVE_EXPAND);
}

bool TTreeView::Notify(NMHDR& header, LRESULT& result)
{
    switch (header.code) {
    case TVN_SELCHANGEDA:
    case TVN_SELCHANGEDW: {
        // The A and W records agree up to the new item's handle.
        const auto& change = reinterpret_cast<NMTREEVIEWA&>(header);
        if (OnChange) OnChange(IndexOf(change.itemNew.hItem));
        result = 0;
        return true;
    }
    case TVN_ITEMEXPANDINGA:
    case TVN_ITEMEXPANDINGW: {
        const auto& expand = reinterpret_cast<NMTREEVIEWA&>(header);
        result = (!AllowCollapse && (expand.action & TVE_COLLAPSE)) ? TRUE : FALSE;
        return true;
    }
    case TVN_ITEMEXPANDEDA:
    case TVN_ITEMEXPANDEDW: {
        // Some tree views collapse whatever the answer above: open it again.
        const auto& expand = reinterpret_cast<NMTREEVIEWA&>(header);
        if (!AllowCollapse && (expand.action & TVE_COLLAPSE)) TreeView_Expand(Handle(), expand.itemNew.hItem, TVE_EXPAND);
        result = 0;
        return true;
    }
    default: return false;
    }
}

// --- list view --------------------------------------------------------------

TListView::TListView(TContainer& parent, bool ownerData, bool gridLines) : TControl(parent), ownerData_(ownerData)
{
    DWORD style = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
    if (ownerData) style |= LVS_OWNERDATA;
    CreateHandle(WC_LISTVIEWA, style, WS_EX_CLIENTEDGE);
    if (!Handle()) return;
    DWORD extended = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER;
    if (gridLines) extended |= LVS_EX_GRIDLINES;
    ListView_SetExtendedListViewStyle(Handle(), extended);
}

void TListView::SetColumns(const std::vector<TListColumn>& columns)
{
    if (!Handle()) return;
    while (ListView_DeleteColumn(Handle(), 0)) {
    }
    columns_ = columns;
    for (size_t i = 0; i < columns_.size(); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(columns_[i].Caption.c_str());
        column.cx = columns_[i].Width > 0 ? columns_[i].Width : 50;
        column.iSubItem = static_cast<int>(i);
        SendMessageA(Handle(), LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    FitLastColumn();
}

void TListView::SetColumnCaption(int column, const std::string& caption)
{
    if (!Handle() || column < 0 || column >= ColumnCount()) return;
    columns_[static_cast<size_t>(column)].Caption = caption;
    LVCOLUMNA data{};
    data.mask = LVCF_TEXT;
    data.pszText = const_cast<char*>(caption.c_str());
    SendMessageA(Handle(), LVM_SETCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&data));
}

void TListView::FitLastColumn()
{
    for (size_t i = 0; i < columns_.size(); ++i)
        if (columns_[i].Width < 0) ListView_SetColumnWidth(Handle(), static_cast<int>(i), LVSCW_AUTOSIZE_USEHEADER);
}

int TListView::AddItem(const std::string& caption, const std::vector<std::string>& subItems, LPARAM data)
{
    if (!Handle() || ownerData_) return -1;
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = const_cast<char*>(caption.c_str());
    item.lParam = data;
    const int index = static_cast<int>(SendMessageA(Handle(), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (index < 0) return -1;
    for (size_t i = 0; i < subItems.size(); ++i) {
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(i) + 1;
        sub.pszText = const_cast<char*>(subItems[i].c_str());
        SendMessageA(Handle(), LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
    }
    return index;
}

std::string TListView::ItemText(int index, int column) const
{
    if (!Handle() || index < 0 || index >= Count()) return {};
    if (ownerData_) return OnData ? OnData(index, column) : std::string();
    char buffer[1024] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = sizeof(buffer);
    SendMessageA(Handle(), LVM_GETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

void TListView::Clear()
{
    if (!Handle()) return;
    if (ownerData_) SetItemCount(0);
    else ListView_DeleteAllItems(Handle());
}

void TListView::SetItemCount(int count)
{
    if (Handle() && ownerData_) ListView_SetItemCountEx(Handle(), std::max(count, 0), LVSICF_NOSCROLL);
}

int TListView::Count() const { return Handle() ? ListView_GetItemCount(Handle()) : 0; }

int TListView::SelectedIndex() const { return Handle() ? ListView_GetNextItem(Handle(), -1, LVNI_SELECTED) : -1; }

void TListView::Select(int index)
{
    if (!Handle()) return;
    ListView_SetItemState(Handle(), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (index < 0 || index >= Count()) return;
    ListView_SetItemState(Handle(), index, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(Handle(), index, FALSE);
}

void TListView::Refresh()
{
    if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
}

bool TListView::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SIZE) FitLastColumn();
    return TControl::WindowMessage(message, wParam, lParam, result);
}

bool TListView::Notify(NMHDR& header, LRESULT& result)
{
    switch (header.code) {
    case LVN_GETDISPINFOA: {
        auto& info = reinterpret_cast<NMLVDISPINFOA&>(header);
        if (!(info.item.mask & LVIF_TEXT) || !OnData) return false;
        dataText_ = OnData(info.item.iItem, info.item.iSubItem);
        lstrcpynA(info.item.pszText, dataText_.c_str(), info.item.cchTextMax);
        return true;
    }
    case LVN_GETDISPINFOW: {
        auto& info = reinterpret_cast<NMLVDISPINFOW&>(header);
        if (!(info.item.mask & LVIF_TEXT) || !OnData) return false;
        dataText_ = OnData(info.item.iItem, info.item.iSubItem);
        const int length = MultiByteToWideChar(CP_ACP, 0, dataText_.c_str(), -1, nullptr, 0);
        dataWide_.assign(static_cast<size_t>(std::max(length, 1)), L'\0');
        MultiByteToWideChar(CP_ACP, 0, dataText_.c_str(), -1, dataWide_.data(), length);
        lstrcpynW(info.item.pszText, dataWide_.c_str(), info.item.cchTextMax);
        return true;
    }
    case NM_CUSTOMDRAW: {
        if (!OnCustomDraw) return false;
        auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
        switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT: result = CDRF_NOTIFYITEMDRAW; return true;
        case CDDS_ITEMPREPAINT: result = CDRF_NOTIFYSUBITEMDRAW; return true;
        case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
            TColor text = draw.clrText;
            TColor back = draw.clrTextBk;
            if (OnCustomDraw(static_cast<int>(draw.nmcd.dwItemSpec), draw.iSubItem, text, back)) {
                draw.clrText = text;
                draw.clrTextBk = back;
                result = CDRF_NEWFONT;
            } else {
                result = CDRF_DODEFAULT;
            }
            return true;
        }
        default: result = CDRF_DODEFAULT; return true;
        }
    }
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<NMLISTVIEW&>(header);
        if ((change.uChanged & LVIF_STATE) && ((change.uNewState ^ change.uOldState) & LVIS_SELECTED) && OnSelect)
            OnSelect();
        return false;
    }
    case NM_DBLCLK:
        if (OnDblClick) OnDblClick();
        return true;
    case NM_CLICK:
        if (OnClick) OnClick();
        return true;
    default: return false;
    }
}

}  // namespace gui
