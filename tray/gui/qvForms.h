#pragma once
// Forms: top-level windows of the tray, each a class derived from TForm whose
// window class name is the form's class name ("TfmStatusForm", ...). Form
// classes register a factory under that name; the form manager creates
// windows by name, so a form that is not registered simply cannot be opened.
// Every form is owned by the application (its window by the application
// window) and lives until it is freed. Main thread only.
//
// A form is the container of its controls (qvControls.h says how a form lays
// them out and routes their handlers). Its window is destroyed before the
// object is: OnDestroy and the controls' last messages still reach the whole
// form.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qvControls.h"
#include "qvGraphics.h"

namespace gui {

class TButton;

enum class TCloseAction { None, Hide, Free };

struct TCreateParams {
    DWORD Style = WS_OVERLAPPEDWINDOW;
    DWORD ExStyle = 0;
    int Left = CW_USEDEFAULT;
    int Top = CW_USEDEFAULT;
    int Width = 400;   // client size
    int Height = 300;
    std::string Caption;
    int ShowCommand = SW_SHOW;  // how Show shows it: SW_SHOWNA for windows that must not take the focus
    TFontDesc Font;             // the one font of the form's controls
    bool CenterOnDesktop = false;
    int MinWidth = 0;  // smallest window size, 0: none
    int MinHeight = 0;
    HWND Owner = nullptr;  // nullptr: the application window
};

class TForm : public TContainer {
public:
    explicit TForm(std::string className);
    ~TForm() override;
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    const std::string& ClassName() const { return className_; }
    // The form of a window (nullptr when it is no form's).
    static TForm* FromHandle(HWND window);
    HWND Handle();  // creates the window on first use (nullptr when that fails)
    bool HandleAllocated() const { return window_ != nullptr; }
    // Destroys the window now (OnDestroy runs); the form object stays.
    void DestroyHandle();
    // The window that owns this one (before or after the window exists):
    // a dialog opened from a form shows above it.
    void SetOwnerWindow(HWND owner);

    void Show();
    void Hide();
    bool Visible() const;
    void BringToFront();
    // Asks the form to close: OnClose picks the action (Hide unless changed);
    // Free hides the window and frees the form once the current message is done.
    void Close();
    // Frees the form once the current message is done (never from inside its own handlers).
    void Release();
    // Shows the form and handles messages until it sets ModalResult or is
    // closed; the other forms take no input meanwhile. The result is
    // ModalResult, IDCANCEL when the form closed without one. The caller
    // frees the form afterwards. Pop-ups ("TfmMessage") stay usable: a
    // killer confirmation must be answerable during a dialog.
    int ShowModal();
    int ModalResult = 0;

    // Enter clicks the default button, Esc the cancel button (when set).
    TButton* DefaultButton = nullptr;
    TButton* CancelButton = nullptr;

    HWND ContainerHandle() override { return Handle(); }
    HFONT ContainerFont() override;
    TColor ContainerColor() override { return color_; }
    bool ContainerEnabled() override { return true; }

    void SetColor(TColor color);
    TColor Color() const { return color_; }
    void SetCaption(const std::string& caption);

    // Free values that the owner of a form may set, as the class library's forms carry them.
    int Tag = 0;
    int HelpContext = 0;

protected:
    virtual void CreateParams(TCreateParams& params) {}
    virtual void OnCreate() {}  // the window exists: make the controls here
    virtual void OnShow() {}    // the form is about to become visible
    virtual void OnClose(TCloseAction& action) {}
    virtual void OnDestroy() {}  // the window is going
    // Every message of the window; return true when handled, with `result` set.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

private:
    friend void FreeForm(TForm* form);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool RunOnShow();  // false when the form was freed meanwhile
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    std::string className_;
    HWND window_ = nullptr;
    TColor color_ = clBtnFace;
    UniqueGdiObject brush_;
    UniqueGdiObject font_;
    HWND owner_ = nullptr;
    int minWidth_ = 0;
    int minHeight_ = 0;
    int showCommand_ = SW_SHOW;
    bool releasing_ = false;
    // Told apart from a later form that the allocator gives the same address:
    // a free posted for this form must never free that one.
    uint64_t serial_ = 0;
    int busy_ = 0;             // inside OnShow
    bool freePending_ = false;  // freed while busy
};

using TFormFactory = std::function<std::unique_ptr<TForm>()>;

// The registry of form classes by name.
void RegisterFormClass(const std::string& className, TFormFactory factory);
void UnregisterFormClass(const std::string& className);

// Creates a form of a registered class and hands it to the application, which
// owns it until it is freed; nullptr when the class is not registered.
TForm* CreateForm(const std::string& className);
// The first live form of the class (nullptr when none).
TForm* FindForm(const std::string& className);
// True while the form has not been freed.
bool FormExists(const TForm* form);
std::vector<TForm*> LiveForms();
// Frees a form at once (not from inside its own handlers: use Release there).
void FreeForm(TForm* form);
// Frees every form; at the end of the program.
void FreeAllForms();

// For message loops: dialog keys (Tab, Enter, Esc) of a form's controls.
// True when the message was handled and must not be dispatched again.
bool HandleDialogMessage(MSG& message);

}  // namespace gui
