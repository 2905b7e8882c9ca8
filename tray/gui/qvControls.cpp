#include "qvControls.h"

#include <commctrl.h>

#include <algorithm>

#include "qvApplication.h"
#include "qvForms.h"
#include "qvFrame.h"
#include "qvMenus.h"

namespace gui {

LRESULT CALLBACK DrawnControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

namespace {

constexpr const char* kControlProperty = "QvControl";
constexpr const char* kDrawnClass = "TQvControl";

int NewControlId()
{
    int& next = Frame().NextControlId;
    const int id = next;
    next = next >= kLastControlId ? kFirstControlId : next + 1;
    return id;
}

bool RegisterDrawnClass()
{
    bool& registered = Frame().DrawnClassRegistered;
    if (registered) return true;
    WNDCLASSEXA windowClass{sizeof(windowClass)};
    windowClass.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = DrawnControlProc;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kDrawnClass;
    registered = RegisterClassExA(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

SIZE TextExtent(HFONT font, const std::string& text, bool singleLine, int wrapWidth = 0)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    RECT rect{0, 0, wrapWidth > 0 ? wrapWidth : 0, 0};
    UINT format = DT_CALCRECT | DT_NOPREFIX | (singleLine ? DT_SINGLELINE : 0) | (wrapWidth > 0 ? DT_WORDBREAK : 0);
    DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &rect, format);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void FillWith(HDC dc, const RECT& rect, TColor color)
{
    UniqueGdiObject brush = MakeSolidBrush(color);
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

}  // namespace

int TextLineHeight(HFONT font)
{
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight;
}

// --- containers -------------------------------------------------------------

TContainer::~TContainer() { DestroyControls(); }

void TContainer::DestroyControls()
{
    while (!children_.empty()) {
        std::unique_ptr<TControl> last = std::move(children_.back());
        children_.pop_back();
    }
}

void TContainer::Adopt(std::unique_ptr<TControl> control) { children_.push_back(std::move(control)); }

void TContainer::Destroy(TControl* child)
{
    auto it = std::find_if(children_.begin(), children_.end(), [child](const auto& c) { return c.get() == child; });
    if (it == children_.end()) return;
    std::unique_ptr<TControl> owned = std::move(*it);
    children_.erase(it);
    const bool aligned = owned->Align() != TAlign::None;
    owned.reset();
    if (aligned) Realign();
}

RECT TContainer::AlignArea()
{
    RECT area{};
    if (HWND window = ContainerHandle()) GetClientRect(window, &area);
    return area;
}

void TContainer::Realign()
{
    if (!ContainerHandle()) return;
    RECT area = AlignArea();
    for (auto& child : children_)
        if (child->Align() == TAlign::None) child->FollowAnchors(area);
    auto place = [](TControl& control, int left, int top, int width, int height) {
        SetWindowPos(control.Handle(), nullptr, left, top, std::max(width, 0), std::max(height, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (TAlign pass : {TAlign::Top, TAlign::Bottom, TAlign::Left, TAlign::Right, TAlign::Client}) {
        for (auto& child : children_) {
            if (child->Align() != pass || !child->Visible() || !child->Handle()) continue;
            const int width = area.right - area.left;
            const int height = area.bottom - area.top;
            switch (pass) {
            case TAlign::Top: {
                const int h = child->Height();
                place(*child, area.left, area.top, width, h);
                area.top += h;
                break;
            }
            case TAlign::Bottom: {
                const int h = child->Height();
                place(*child, area.left, area.bottom - h, width, h);
                area.bottom -= h;
                break;
            }
            case TAlign::Left: {
                const int w = child->Width();
                place(*child, area.left, area.top, w, height);
                area.left += w;
                break;
            }
            case TAlign::Right: {
                const int w = child->Width();
                place(*child, area.right - w, area.top, w, height);
                area.right -= w;
                break;
            }
            default: place(*child, area.left, area.top, width, height); break;
            }
        }
    }
}

void TContainer::UpdateChildrenEnabled()
{
    for (auto& child : children_) child->UpdateEnabled();
}

HBRUSH TContainer::ContainerBrush()
{
    const TColor color = ContainerColor();
    if (!brush_ || brushColor_ != color) {
        brush_ = MakeSolidBrush(color);
        brushColor_ = color;
    }
    return static_cast<HBRUSH>(brush_.Get());
}

bool RouteControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_COMMAND: {
        if (lParam == 0) {
            if (HIWORD(wParam) != 0) return false;  // accelerators: none here
            result = 0;
            return DispatchMenuCommand(LOWORD(wParam));
        }
        TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam));
        result = 0;
        return control && control->Command(HIWORD(wParam));
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        TControl* control = header ? TControl::FromHandle(header->hwndFrom) : nullptr;
        result = 0;
        return control && control->Notify(*header, result);
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT: {
        TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam));
        if (!control) return false;
        HBRUSH brush = control->ColorBrush(reinterpret_cast<HDC>(wParam));
        if (!brush) return false;
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    }
    default: return false;
    }
}

// --- the control base -------------------------------------------------------

LRESULT CALLBACK ControlSubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                     DWORD_PTR data)
{
    auto* control = reinterpret_cast<TControl*>(data);
    if (message == WM_NCDESTROY) {
        control->Detach();
        return DefSubclassProc(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (control->WindowMessage(message, wParam, lParam, result)) return result;
    return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT CALLBACK DrawnControlProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* control = static_cast<TControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        control->window_ = window;
        SetPropA(window, kControlProperty, control);
    }
    TControl* control = TControl::FromHandle(window);
    if (!control) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        control->Detach();
        return DefWindowProcA(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    if (control->WindowMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcA(window, message, wParam, lParam);
}

TControl::TControl(TContainer& parent) : parent_(parent), id_(NewControlId()) {}

TControl::~TControl()
{
    if (!window_) return;
    HWND window = window_;
    Detach();  // the object is going: its window may not call it any more
    DestroyWindow(window);
}

TControl* TControl::FromHandle(HWND window)
{
    return window ? static_cast<TControl*>(GetPropA(window, kControlProperty)) : nullptr;
}

void TControl::CreateHandle(const char* windowClass, DWORD style, DWORD exStyle)
{
    style |= WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0);
    HWND window = CreateWindowExA(exStyle, windowClass, "", style, 0, 0, 0, 0, parent_.ContainerHandle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (window) Attach(window);
}

void TControl::CreateDrawnHandle(DWORD style, DWORD exStyle)
{
    drawn_ = true;
    if (!RegisterDrawnClass()) return;
    style |= WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | (visible_ ? WS_VISIBLE : 0);
    HWND window = CreateWindowExA(exStyle, kDrawnClass, "", style, 0, 0, 0, 0, parent_.ContainerHandle(),
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), this);
    if (window) Attach(window);
}

void TControl::Attach(HWND window)
{
    window_ = window;
    SetPropA(window, kControlProperty, this);
    if (!drawn_) SetWindowSubclass(window, ControlSubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    ApplyFont();
    if (!parent_.ContainerEnabled()) UpdateEnabled();
}

void TControl::Detach()
{
    if (!window_) return;
    RemovePropA(window_, kControlProperty);
    if (!drawn_) RemoveWindowSubclass(window_, ControlSubclassProc, 1);
    window_ = nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height)
{
    if (!window_) return;
    MoveWindow(window_, left, top, width, height, TRUE);
    if (align_ != TAlign::None) parent_.Realign();
}

RECT TControl::Bounds() const
{
    RECT rect{};
    if (!window_) return rect;
    GetWindowRect(window_, &rect);
    MapWindowPoints(nullptr, GetParent(window_), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

int TControl::Width() const
{
    const RECT rect = Bounds();
    return rect.right - rect.left;
}

int TControl::Height() const
{
    const RECT rect = Bounds();
    return rect.bottom - rect.top;
}

void TControl::SetAlign(TAlign align)
{
    align_ = align;
    parent_.Realign();
}

void TControl::SetAnchors(unsigned anchors)
{
    anchors_ = anchors;
    const RECT area = parent_.AlignArea();
    const RECT bounds = Bounds();
    anchorMargins_ = RECT{bounds.left - area.left, bounds.top - area.top, area.right - bounds.right,
                          area.bottom - bounds.bottom};
}

void TControl::FollowAnchors(const RECT& area)
{
    if (!window_ || anchors_ == (akLeft | akTop)) return;
    RECT bounds = Bounds();
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    if (anchors_ & akRight) {
        bounds.right = area.right - anchorMargins_.right;
        bounds.left = (anchors_ & akLeft) ? area.left + anchorMargins_.left : bounds.right - width;
    }
    if (anchors_ & akBottom) {
        bounds.bottom = area.bottom - anchorMargins_.bottom;
        bounds.top = (anchors_ & akTop) ? area.top + anchorMargins_.top : bounds.bottom - height;
    }
    SetWindowPos(window_, nullptr, bounds.left, bounds.top, std::max(0L, bounds.right - bounds.left),
                 std::max(0L, bounds.bottom - bounds.top), SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::SetVisible(bool visible)
{
    visible_ = visible;
    if (window_) ShowWindow(window_, visible ? SW_SHOWNA : SW_HIDE);
    if (align_ != TAlign::None) parent_.Realign();
}

void TControl::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    UpdateEnabled();
}

bool TControl::EffectiveEnabled() { return enabled_ && parent_.ContainerEnabled(); }

void TControl::UpdateEnabled()
{
    if (window_) EnableWindow(window_, EffectiveEnabled() ? TRUE : FALSE);
}

void TControl::SetCaption(const std::string& caption)
{
    if (window_) SetWindowTextA(window_, caption.c_str());
}

std::string TControl::Caption() const
{
    if (!window_) return {};
    std::string text(static_cast<size_t>(GetWindowTextLengthA(window_)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(window_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void TControl::SetFont(const TFontDesc& font)
{
    font_ = MakeFont(font);
    ApplyFont();
}

HFONT TControl::Font() { return font_ ? static_cast<HFONT>(font_.Get()) : parent_.ContainerFont(); }

void TControl::ApplyFont()
{
    if (window_) SendMessageA(window_, WM_SETFONT, reinterpret_cast<WPARAM>(Font()), TRUE);
}

void TControl::SetColor(TColor color)
{
    color_ = color;
    brush_.Reset();
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

TColor TControl::Color() { return color_ != clDefault ? color_ : parent_.ContainerColor(); }

void TControl::SetFontColor(TColor color)
{
    fontColor_ = color;
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

TColor TControl::FontColor() const { return fontColor_ != clDefault ? fontColor_ : GetSysColor(COLOR_BTNTEXT); }

void TControl::SetFocus()
{
    if (window_) ::SetFocus(window_);
}

bool TControl::Focused() const
{
    HWND focus = GetFocus();
    return window_ && (focus == window_ || IsChild(window_, focus));
}

TForm* TControl::Form()
{
    if (auto* form = dynamic_cast<TForm*>(&parent_)) return form;
    if (auto* control = dynamic_cast<TControl*>(&parent_)) return control->Form();
    return nullptr;
}

HBRUSH TControl::ColorBrush(HDC dc)
{
    SetTextColor(dc, EffectiveEnabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
    SetBkColor(dc, Color());
    if (color_ == clDefault) return parent_.ContainerBrush();
    if (!brush_) brush_ = MakeSolidBrush(color_);
    return static_cast<HBRUSH>(brush_.Get());
}

bool TControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_SETCURSOR:
        if (cursor_ && LOWORD(lParam) == HTCLIENT) {
            ::SetCursor(LoadCursor(nullptr, cursor_));
            result = TRUE;
            return true;
        }
        return false;
    case WM_CONTEXTMENU:
        if (!popupMenu_) return false;
        {
            POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            if (lParam == -1) {  // from the keyboard: at the control's corner
                at = POINT{0, 0};
                ClientToScreen(window_, &at);
            }
            TForm* form = Form();
            popupMenu_->Popup(form ? form->Handle() : window_, at.x, at.y);
        }
        result = 0;
        return true;
    case WM_KEYDOWN:
        if (OnKeyDown) OnKeyDown(static_cast<WORD>(wParam));
        return false;
    default: return false;
    }
}

// --- simple controls --------------------------------------------------------

TLabel::TLabel(TContainer& parent, const std::string& caption) : TControl(parent)
{
    CreateHandle("STATIC", SS_NOTIFY | SS_NOPREFIX | SS_LEFTNOWORDWRAP);
    SetCaption(caption);
}

void TLabel::SetCaption(const std::string& caption)
{
    TControl::SetCaption(caption);
    FitToCaption();
}

void TLabel::SetAutoSize(bool autoSize)
{
    autoSize_ = autoSize;
    FitToCaption();
}

void TLabel::SetAlignment(TAlignment alignment)
{
    if (!Handle()) return;
    LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    style |= alignment == TAlignment::Center ? SS_CENTER : alignment == TAlignment::Right ? SS_RIGHT : SS_LEFT;
    SetWindowLongPtrA(Handle(), GWL_STYLE, style);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TLabel::SetWordWrap(bool wrap)
{
    if (!Handle()) return;
    LONG_PTR style = GetWindowLongPtrA(Handle(), GWL_STYLE) & ~static_cast<LONG_PTR>(SS_TYPEMASK);
    SetWindowLongPtrA(Handle(), GWL_STYLE, style | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP));
    autoSize_ = autoSize_ && !wrap;  // a wrapped label keeps the width it was given
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TLabel::FitToCaption()
{
    if (!autoSize_ || !Handle()) return;
    const std::string caption = Caption();
    const SIZE size = TextExtent(Font(), caption, caption.find('\n') == std::string::npos);
    SetWindowPos(Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool TLabel::Command(WORD code)
{
    if (code == STN_CLICKED && OnClick) OnClick();
    else if (code == STN_DBLCLK && OnDblClick) OnDblClick();
    else return false;
    return true;
}

TButton::TButton(TContainer& parent, const std::string& caption) : TControl(parent)
{
    CreateHandle("BUTTON", WS_TABSTOP | BS_PUSHBUTTON);
    SetCaption(caption);
}

void TButton::Click()
{
    if (EffectiveEnabled() && Visible()) Command(BN_CLICKED);
}

bool TButton::Command(WORD code)
{
    if (code != BN_CLICKED) return false;
    if (ModalResult != 0)
        if (TForm* form = Form()) form->ModalResult = ModalResult;
    if (OnClick) OnClick();
    return true;
}

TSpeedButton::TSpeedButton(TContainer& parent, const std::string& caption) : TButton(parent, caption)
{
    if (Handle()) SetWindowLongPtrA(Handle(), GWL_STYLE, GetWindowLongPtrA(Handle(), GWL_STYLE) & ~WS_TABSTOP);
}

bool TSpeedButton::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message == WM_SETFOCUS) {
        // A click must not take the focus from where the user types.
        HWND previous = reinterpret_cast<HWND>(wParam);
        if (previous && IsWindow(previous) && previous != Handle()) ::SetFocus(previous);
        result = 0;
        return true;
    }
    return TButton::WindowMessage(message, wParam, lParam, result);
}

TCheckBox::TCheckBox(TContainer& parent, const std::string& caption) : TControl(parent)
{
    CreateHandle("BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX);
    SetCaption(caption);
}

bool TCheckBox::Checked() const
{
    return Handle() && SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked)
{
    if (Handle()) SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool TCheckBox::Command(WORD code)
{
    if (code != BN_CLICKED) return false;
    if (OnClick) OnClick();
    return true;
}

// --- drawn controls ---------------------------------------------------------

TCustomControl::TCustomControl(TContainer& parent, DWORD style, DWORD exStyle) : TControl(parent)
{
    CreateDrawnHandle(style, exStyle);
}

bool TCustomControl::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(Handle(), &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, ColorBrush(reinterpret_cast<HDC>(wParam)));
        result = 1;
        return true;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Handle(), &paint);
        RECT client;
        GetClientRect(Handle(), &client);
        Paint(dc, client);
        EndPaint(Handle(), &paint);
        result = 0;
        return true;
    }
    case WM_LBUTTONUP:
        if (OnClick) OnClick();
        result = 0;
        return true;
    case WM_LBUTTONDBLCLK:
        if (OnDblClick) OnDblClick();
        result = 0;
        return true;
    default: return TControl::WindowMessage(message, wParam, lParam, result);
    }
}

TPanel::TPanel(TContainer& parent) : TCustomControl(parent, 0, WS_EX_CONTROLPARENT) {}

TPanel::~TPanel()
{
    // The children's windows go with the panel's, while every object still lives.
    if (HWND window = Handle()) {
        Detach();
        DestroyWindow(window);
    }
    DestroyControls();
}

void TPanel::SetBevel(TBevel bevel, int width)
{
    bevel_ = bevel;
    bevelWidth_ = std::max(width, 1);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
    Realign();
}

void TPanel::SetCaption(const std::string& caption)
{
    TControl::SetCaption(caption);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

RECT TPanel::AlignArea()
{
    RECT area = TContainer::AlignArea();
    if (bevel_ != TBevel::None) InflateRect(&area, -bevelWidth_, -bevelWidth_);
    return area;
}

void TPanel::UpdateEnabled()
{
    TControl::UpdateEnabled();
    UpdateChildrenEnabled();
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

bool TPanel::WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (RouteControlMessage(message, wParam, lParam, result)) return true;
    if (message == WM_SIZE) {
        Realign();
        return false;
    }
    return TCustomControl::WindowMessage(message, wParam, lParam, result);
}

void TPanel::Paint(HDC dc, const RECT& client)
{
    RECT rect = client;
    if (bevel_ != TBevel::None) {
        const UINT edge = bevel_ == TBevel::Lowered ? BDR_SUNKENOUTER : BDR_RAISEDINNER;
        for (int i = 0; i < bevelWidth_; ++i) {
            DrawEdge(dc, &rect, edge, BF_RECT);
            InflateRect(&rect, -1, -1);
        }
    }
    const std::string caption = Caption();
    if (!showCaption_ || caption.empty()) return;
    HGDIOBJ old = SelectObject(dc, Font());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, EffectiveEnabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
    const UINT align = alignment_ == TAlignment::Center ? DT_CENTER : alignment_ == TAlignment::Right ? DT_RIGHT : DT_LEFT;
    InflateRect(&rect, -2, 0);
    DrawTextA(dc, caption.c_str(), -1, &rect, align | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    SelectObject(dc, old);
}

TGroupBox::TGroupBox(TContainer& parent, const std::string& caption) : TPanel(parent)
{
    showCaption_ = false;
    SetCaption(caption);
}

RECT TGroupBox::AlignArea()
{
    RECT area = TContainer::AlignArea();
    area.left += 2;
    area.right -= 2;
    area.bottom -= 2;
    area.top += std::max(TextLineHeight(Font()), 2) + 2;
    return area;
}

void TGroupBox::Paint(HDC dc, const RECT& client)
{
    const std::string caption = Caption();
    HGDIOBJ old = SelectObject(dc, Font());
    const int lineHeight = TextLineHeight(Font());
    RECT frame = client;
    frame.top = lineHeight / 2;
    DrawEdge(dc, &frame, EDGE_ETCHED, BF_RECT);
    if (!caption.empty()) {
        const SIZE size = TextExtent(Font(), caption, true);
        RECT text{6, 0, 6 + size.cx + 4, lineHeight};
        FillWith(dc, text, Color());
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, EffectiveEnabled() ? FontColor() : GetSysColor(COLOR_GRAYTEXT));
        text.left += 2;
        DrawTextA(dc, caption.c_str(), -1, &text, DT_LEFT | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old);
}

// One radio button of a radio group.
class TRadioItem : public TControl {
public:
    TRadioItem(TContainer& parent, TRadioGroup& group, const std::string& caption, bool first)
        : TControl(parent), group_(group)
    {
        CreateHandle("BUTTON", BS_AUTORADIOBUTTON | (first ? WS_GROUP | WS_TABSTOP : 0));
        SetCaption(caption);
    }
    bool Command(WORD code) override
    {
        if (code != BN_CLICKED) return false;
        group_.ItemClicked();
        return true;
    }

private:
    TRadioGroup& group_;
};

TRadioGroup::TRadioGroup(TContainer& parent, const std::string& caption) : TGroupBox(parent, caption) {}

void TRadioGroup::SetItems(const std::vector<std::string>& items)
{
    for (TControl* button : buttons_) Destroy(button);
    buttons_.clear();
    for (size_t i = 0; i < items.size(); ++i) buttons_.push_back(Make<TRadioItem>(*this, items[i], i == 0));
    last_ = -1;
    Realign();
}

int TRadioGroup::ItemIndex() const
{
    for (size_t i = 0; i < buttons_.size(); ++i)
        if (SendMessageA(buttons_[i]->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED) return static_cast<int>(i);
    return -1;
}

void TRadioGroup::SetItemIndex(int index)
{
    for (size_t i = 0; i < buttons_.size(); ++i)
        SendMessageA(buttons_[i]->Handle(), BM_SETCHECK, static_cast<int>(i) == index ? BST_CHECKED : BST_UNCHECKED,
                     0);
    last_ = ItemIndex();
}

HWND TRadioGroup::ItemHandle(int index) const
{
    return index >= 0 && index < Count() ? buttons_[static_cast<size_t>(index)]->Handle() : nullptr;
}

void TRadioGroup::Realign()
{
    TContainer::Realign();
    if (buttons_.empty() || !Handle()) return;
    const RECT area = AlignArea();
    const int cell = (area.bottom - area.top) / static_cast<int>(buttons_.size());
    const int itemHeight = std::min(cell, TextLineHeight(Font()) + 6);
    for (size_t i = 0; i < buttons_.size(); ++i) {
        const int top = area.top + static_cast<int>(i) * cell + (cell - itemHeight) / 2;
        SetWindowPos(buttons_[i]->Handle(), nullptr, area.left + 6, top, area.right - area.left - 10, itemHeight,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TRadioGroup::ItemClicked()
{
    const int index = ItemIndex();
    if (index == last_) return;
    last_ = index;
    if (OnClick) OnClick();
}

TImage::TImage(TContainer& parent) : TCustomControl(parent) {}

void TImage::SetPicture(HBITMAP bitmap)
{
    bitmap_.Reset(bitmap);
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TImage::SetStretch(bool stretch)
{
    stretch_ = stretch;
    if (Handle()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TImage::Paint(HDC dc, const RECT& client)
{
    if (!bitmap_) return;
    BITMAP info{};
    GetObjectA(bitmap_.Get(), sizeof(info), &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap_.Get());
    if (stretch_) {
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    } else {
        BitBlt(dc, 0, 0, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
}

// --- edits and lists --------------------------------------------------------

TEdit::TEdit(TContainer& parent, DWORD extraStyle) : TControl(parent)
{
    CreateHandle("EDIT", WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, WS_EX_CLIENTEDGE);
}

TEdit::TEdit(TContainer& parent, DWORD style, bool) : TControl(parent)
{
    CreateHandle("EDIT", style, WS_EX_CLIENTEDGE);
}

void TEdit::SetText(const std::string& text)
{
    settingText_ = true;
    SetCaption(text);
    settingText_ = false;
}

void TEdit::SetReadOnly(bool readOnly)
{
    if (Handle()) SendMessageA(Handle(), EM_SETREADONLY, readOnly ? TRUE : FALSE, 0);
}

void TEdit::SetPasswordChar(char c)
{
    if (!Handle()) return;
    SendMessageA(Handle(), EM_SETPASSWORDCHAR, static_cast<unsigned char>(c), 0);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void TEdit::SetMaxLength(int length)
{
    if (Handle()) SendMessageA(Handle(), EM_LIMITTEXT, static_cast<WPARAM>(std::max(length, 0)), 0);
}

bool TEdit::Command(WORD code)
{
    if (code != EN_CHANGE) return false;
    if (!settingText_ && OnChange) OnChange();
    return true;
}

HBRUSH TEdit::ColorBrush(HDC dc)
{
    // An edit keeps the system's window colours unless given its own.
    if (Color() == Parent().ContainerColor() && FontColor() == GetSysColor(COLOR_BTNTEXT)) return nullptr;
    return TControl::ColorBrush(dc);
}

namespace {

DWORD MemoStyle(TScrollStyle scrollBars, bool wordWrap, TAlignment alignment)
{
    DWORD style = WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL;
    if (!wordWrap) style |= ES_AUTOHSCROLL;
    if (scrollBars == TScrollStyle::Vertical || scrollBars == TScrollStyle::Both) style |= WS_VSCROLL;
    if (scrollBars == TScrollStyle::Horizontal || scrollBars == TScrollStyle::Both) style |= WS_HSCROLL;
    if (alignment == TAlignment::Center) style |= ES_CENTER;
    if (alignment == TAlignment::Right) style |= ES_RIGHT;
    return style;
}

}  // namespace

TMemo::TMemo(TContainer& parent, TScrollStyle scrollBars, bool wordWrap, TAlignment alignment)
    : TEdit(parent, MemoStyle(scrollBars, wordWrap, alignment), true)
{
    // The edit control's own limit (about 32 K) would refuse every key and
    // paste once a longer text is in, such as a large hosts copy.
    SetMaxLength(0);
}

void TMemo::AddLine(const std::string& line)
{
    const std::string text = Text();
    SetText(text.empty() ? line : text + "\r\n" + line);
}

TComboBox::TComboBox(TContainer& parent, int dropDownHeight) : TControl(parent), dropDownHeight_(dropDownHeight)
{
    CreateHandle("COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
}

void TComboBox::SetBounds(int left, int top, int width, int height)
{
    TControl::SetBounds(left, top, width, height + dropDownHeight_);
}

void TComboBox::Clear()
{
    if (Handle()) SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
}

void TComboBox::AddItem(const std::string& item)
{
    if (Handle()) SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int TComboBox::Count() const { return Handle() ? static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0)) : 0; }

std::string TComboBox::Item(int index) const
{
    if (!Handle() || index < 0 || index >= Count()) return {};
    const LRESULT length = SendMessageA(Handle(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(Handle(), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

int TComboBox::ItemIndex() const
{
    return Handle() ? static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0)) : -1;
}

void TComboBox::SetItemIndex(int index)
{
    if (Handle()) SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TComboBox::Command(WORD code)
{
    if (code != CBN_SELCHANGE) return false;
    if (OnChange) OnChange();
    return true;
}

TListBox::TListBox(TContainer& parent) : TControl(parent)
{
    CreateHandle("LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE);
}

void TListBox::Clear()
{
    if (Handle()) SendMessageA(Handle(), LB_RESETCONTENT, 0, 0);
}

void TListBox::AddItem(const std::string& item)
{
    if (Handle()) SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

int TListBox::Count() const { return Handle() ? static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0)) : 0; }

std::string TListBox::Item(int index) const
{
    if (!Handle() || index < 0 || index >= Count()) return {};
    const LRESULT length = SendMessageA(Handle(), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0) return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    SendMessageA(Handle(), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

int TListBox::ItemIndex() const
{
    return Handle() ? static_cast<int>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0)) : -1;
}

void TListBox::SetItemIndex(int index)
{
    if (Handle()) SendMessageA(Handle(), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

bool TListBox::Command(WORD code)
{
    if (code == LBN_SELCHANGE && OnClick) OnClick();
    else if (code == LBN_DBLCLK && OnDblClick) OnDblClick();
    else return false;
    return true;
}

}  // namespace gui
