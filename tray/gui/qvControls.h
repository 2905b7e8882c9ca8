#pragma once
// Controls of the tray's windows: thin classes over the Win32 common controls
// (comctl32 v6) and a few drawn by this frame (panel, group box, image).
//
// How a form uses them:
// - A container (the form, a panel, a group box, a tab sheet) owns its
//   controls. Create them in the form's OnCreate (the window exists then):
//       cbShell = gbMain->Make<gui::TCheckBox>();
//       cbShell->SetBounds(16, 24, 300, 17);
//       cbShell->OnClick = [this] { cbShellClick(); };
//   Keep the returned raw pointers; the container frees the controls with
//   itself. Container::Destroy frees one earlier.
// - Positions are client pixels of the container, DPI unaware on purpose:
//   the windows are laid out in pixels and the program asks for no scaling.
//   SetAlign docks a control to a side (top, bottom, left, right, client) in
//   creation order, as the class library's Align does; the rest keep their
//   bounds, or keep their distance to the edges SetAnchors names (a button
//   anchored right and bottom stays in the corner of a growing window; one
//   anchored left and right grows with it). Set anchors after the bounds. A form gets its font (Tahoma 11 unless TCreateParams::Font says
//   otherwise) and every control takes its container's font unless given its
//   own (SetFont). Colours: SetColor is the background of panels, labels and
//   check boxes (default: the container's), SetFontColor their text.
// - Notifications (WM_COMMAND, WM_NOTIFY, WM_CTLCOLOR*) reach the control
//   that sent them, which calls its handler (OnClick, OnChange, ...). A value
//   set from code (SetChecked, SetItemIndex, SetText ...) never calls a change
//   handler: loading a settings page sends nothing to the service. Tree view
//   and page control selections are navigation, not values: their OnChange
//   runs whoever selects.
// - Enabled is the control's own wish AND its containers': a disabled panel
//   disables everything inside it, and a child enabled later stays disabled
//   until the panel is enabled again.
// - Tab, Enter and Esc work as in dialogs (the message loops pass messages to
//   IsDialogMessage): Enter clicks TForm::DefaultButton, Esc CancelButton.
// Main thread only.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qvGraphics.h"

namespace gui {

class TControl;
class TForm;
class TPopupMenu;

enum class TAlign { None, Top, Bottom, Left, Right, Client };
enum class TAlignment { Left, Center, Right };
enum class TBevel { None, Lowered, Raised };
// Edges of the container a control keeps its distance to when it resizes.
enum TAnchor : unsigned { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clDefault = 0x1FFFFFFF;  // take the container's colour

// Owner of controls: the form, panels, group boxes, tab sheets.
class TContainer {
public:
    TContainer() = default;
    virtual ~TContainer();
    TContainer(const TContainer&) = delete;
    TContainer& operator=(const TContainer&) = delete;

    // The window the children live in (created on demand for forms).
    virtual HWND ContainerHandle() = 0;
    // The font and background colour children take by default.
    virtual HFONT ContainerFont() = 0;
    virtual TColor ContainerColor() = 0;
    // Whether children may be enabled at all.
    virtual bool ContainerEnabled() = 0;

    template <class T, class... Args>
    T* Make(Args&&... args)
    {
        auto control = std::make_unique<T>(*this, std::forward<Args>(args)...);
        T* raw = control.get();
        Adopt(std::move(control));
        return raw;
    }
    // Frees a child now (its window goes with it).
    void Destroy(TControl* child);
    const std::vector<std::unique_ptr<TControl>>& Controls() const { return children_; }
    // Places the aligned children in the client area.
    virtual void Realign();
    // The client area less any frame (a group box's caption and edge).
    virtual RECT AlignArea();
    // Applies the containers' enabled state to every child again.
    void UpdateChildrenEnabled();
    // A brush of ContainerColor, kept by the container.
    HBRUSH ContainerBrush();

protected:
    void DestroyControls();

private:
    void Adopt(std::unique_ptr<TControl> control);
    std::vector<std::unique_ptr<TControl>> children_;
    UniqueGdiObject brush_;
    TColor brushColor_ = 0;
};

class TControl {
public:
    explicit TControl(TContainer& parent);
    virtual ~TControl();
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;

    HWND Handle() const { return window_; }
    TContainer& Parent() const { return parent_; }
    int Id() const { return id_; }
    // The control of a window made by this frame (nullptr otherwise).
    static TControl* FromHandle(HWND window);

    std::string Name;
    int Tag = 0;

    virtual void SetBounds(int left, int top, int width, int height);
    RECT Bounds() const;  // in the container's client coordinates
    int Left() const { return Bounds().left; }
    int Top() const { return Bounds().top; }
    int Width() const;
    int Height() const;
    void SetAlign(TAlign align);
    TAlign Align() const { return align_; }
    // akLeft | akTop unless set; the distances are taken from the present bounds.
    void SetAnchors(unsigned anchors);
    // Moves the control as its anchors ask, for the container's area.
    void FollowAnchors(const RECT& area);

    void SetVisible(bool visible);
    bool Visible() const { return visible_; }
    void SetEnabled(bool enabled);
    bool Enabled() const { return enabled_; }
    // Enabled and every container enabled too.
    bool EffectiveEnabled();
    virtual void SetCaption(const std::string& caption);
    std::string Caption() const;
    void SetFont(const TFontDesc& font);
    HFONT Font();
    void SetColor(TColor color);
    TColor Color();
    void SetFontColor(TColor color);
    TColor FontColor() const;  // the text colour to draw with
    void SetCursor(LPCSTR cursor) { cursor_ = cursor; }  // IDC_HAND for links
    void SetFocus();
    bool Focused() const;
    void SetPopupMenu(TPopupMenu* menu) { popupMenu_ = menu; }
    TForm* Form();

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    // Keys while the control has the focus; Enter then no longer goes to the default button.
    std::function<void(WORD key)> OnKeyDown;

    // Messages the control's container passes on (WM_COMMAND code, WM_NOTIFY).
    virtual bool Command(WORD code) { return false; }
    virtual bool Notify(NMHDR& header, LRESULT& result) { return false; }
    // WM_CTLCOLOR* for this control: the brush for its background.
    virtual HBRUSH ColorBrush(HDC dc);
    // Applies the enabled state of the control and of its containers.
    virtual void UpdateEnabled();
    // Messages of the control's own window; true when handled.
    virtual bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Makes the window: a class of the system or of the common controls.
    void CreateHandle(const char* windowClass, DWORD style, DWORD exStyle = 0);
    // Makes a window of the frame's own drawn class (panels, images).
    void CreateDrawnHandle(DWORD style, DWORD exStyle = 0);
    void ApplyFont();
    // Cuts the window loose from the object (it may no longer call it).
    void Detach();
    bool drawn_ = false;

private:
    friend LRESULT CALLBACK ControlSubclassProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    friend LRESULT CALLBACK DrawnControlProc(HWND, UINT, WPARAM, LPARAM);
    void Attach(HWND window);

    TContainer& parent_;
    HWND window_ = nullptr;
    int id_;
    TAlign align_ = TAlign::None;
    unsigned anchors_ = akLeft | akTop;
    RECT anchorMargins_{};  // distances to the area's edges when the anchors were set
    bool visible_ = true;
    bool enabled_ = true;
    UniqueGdiObject font_;
    TColor color_ = clDefault;
    TColor fontColor_ = clDefault;
    UniqueGdiObject brush_;
    LPCSTR cursor_ = nullptr;
    TPopupMenu* popupMenu_ = nullptr;
};

// Static text; AutoSize fits the bounds to the caption.
class TLabel : public TControl {
public:
    explicit TLabel(TContainer& parent, const std::string& caption = {});
    void SetCaption(const std::string& caption) override;
    void SetAutoSize(bool autoSize);
    void SetAlignment(TAlignment alignment);
    void SetWordWrap(bool wrap);
    bool Command(WORD code) override;

private:
    void FitToCaption();
    bool autoSize_ = true;
};

// Push button. A ModalResult other than 0 sets the form's on click.
class TButton : public TControl {
public:
    explicit TButton(TContainer& parent, const std::string& caption = {});
    int ModalResult = 0;
    void Click();  // as the user would
    bool Command(WORD code) override;
};

// A button that takes no keyboard focus and no tab stop (the puzzle's tiles).
class TSpeedButton : public TButton {
public:
    explicit TSpeedButton(TContainer& parent, const std::string& caption = {});
    bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

class TCheckBox : public TControl {
public:
    explicit TCheckBox(TContainer& parent, const std::string& caption = {});
    bool Checked() const;
    void SetChecked(bool checked);  // no OnClick
    bool Command(WORD code) override;
};

// A drawn window: panels, images.
class TCustomControl : public TControl {
public:
    explicit TCustomControl(TContainer& parent, DWORD style = 0, DWORD exStyle = 0);
    bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    virtual void Paint(HDC dc, const RECT& client) {}
};

// Panel: colour, bevel, a centred caption (headings), children.
class TPanel : public TCustomControl, public TContainer {
public:
    explicit TPanel(TContainer& parent);
    ~TPanel() override;
    void SetBevel(TBevel bevel, int width = 1);
    void SetAlignment(TAlignment alignment) { alignment_ = alignment; }
    void SetCaption(const std::string& caption) override;

    HWND ContainerHandle() override { return Handle(); }
    HFONT ContainerFont() override { return Font(); }
    TColor ContainerColor() override { return Color(); }
    bool ContainerEnabled() override { return EffectiveEnabled(); }
    RECT AlignArea() override;
    void UpdateEnabled() override;
    bool WindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

protected:
    void Paint(HDC dc, const RECT& client) override;
    TBevel bevel_ = TBevel::None;
    int bevelWidth_ = 1;
    TAlignment alignment_ = TAlignment::Center;
    bool showCaption_ = true;
};

// Group box: an etched frame with its caption at the top left.
class TGroupBox : public TPanel {
public:
    explicit TGroupBox(TContainer& parent, const std::string& caption = {});
    RECT AlignArea() override;

protected:
    void Paint(HDC dc, const RECT& client) override;
};

// Radio buttons in a group box, one column. ItemIndex -1: none chosen.
class TRadioGroup : public TGroupBox {
public:
    explicit TRadioGroup(TContainer& parent, const std::string& caption = {});
    void SetItems(const std::vector<std::string>& items);
    int Count() const { return static_cast<int>(buttons_.size()); }
    int ItemIndex() const;
    // No OnClick; an index outside the items leaves none chosen.
    void SetItemIndex(int index);
    HWND ItemHandle(int index) const;
    void Realign() override;

private:
    friend class TRadioItem;
    void ItemClicked();
    std::vector<TControl*> buttons_;
    int last_ = -1;
};

// A picture, optionally stretched to the bounds; clicks as any control.
class TImage : public TCustomControl {
public:
    explicit TImage(TContainer& parent);
    void SetPicture(HBITMAP bitmap);  // the image owns it from now on
    void SetStretch(bool stretch);

protected:
    void Paint(HDC dc, const RECT& client) override;

private:
    UniqueGdiObject bitmap_;
    bool stretch_ = false;
};

// Single-line edit.
class TEdit : public TControl {
public:
    explicit TEdit(TContainer& parent, DWORD extraStyle = 0);
    std::string Text() const { return Caption(); }
    void SetText(const std::string& text);  // no OnChange
    void SetReadOnly(bool readOnly);
    void SetPasswordChar(char c);
    void SetMaxLength(int length);
    std::function<void()> OnChange;
    bool Command(WORD code) override;
    HBRUSH ColorBrush(HDC dc) override;

protected:
    TEdit(TContainer& parent, DWORD style, bool);
    bool settingText_ = false;
};

enum class TScrollStyle { None, Vertical, Horizontal, Both };

// Multi-line edit (memo).
class TMemo : public TEdit {
public:
    explicit TMemo(TContainer& parent, TScrollStyle scrollBars = TScrollStyle::Vertical, bool wordWrap = true,
                   TAlignment alignment = TAlignment::Left);
    void Clear() { SetText({}); }
    void AddLine(const std::string& line);
};

// Drop-down list: a choice from the list only.
class TComboBox : public TControl {
public:
    explicit TComboBox(TContainer& parent, int dropDownHeight = 200);
    // The height is that of the closed box; the open list adds its own.
    void SetBounds(int left, int top, int width, int height) override;
    void Clear();
    void AddItem(const std::string& item);
    int Count() const;
    std::string Item(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);  // no OnChange
    std::string Text() const { return Item(ItemIndex()); }
    std::function<void()> OnChange;
    bool Command(WORD code) override;

private:
    int dropDownHeight_;
};

class TListBox : public TControl {
public:
    explicit TListBox(TContainer& parent);
    void Clear();
    void AddItem(const std::string& item);
    int Count() const;
    std::string Item(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index);  // no OnClick
    bool Command(WORD code) override;
};

// For the windows that host controls (forms, panels): hands WM_COMMAND,
// WM_NOTIFY and WM_CTLCOLOR* to the control (or menu item) they concern.
bool RouteControlMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Height in pixels of a line of text in the font.
int TextLineHeight(HFONT font);

}  // namespace gui
