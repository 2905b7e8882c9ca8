#pragma once
// Forms: top-level windows of the tray, each a class derived from TForm whose
// window class name is the form's class name ("TfmStatusForm", ...). Form
// classes register a factory under that name; the form manager creates
// windows by name, so a form that is not registered simply cannot be opened.
// Every form is owned by the application (its window by the application
// window) and lives until it is freed. Main thread only.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "qvGraphics.h"

namespace gui {

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
};

class TForm {
public:
    explicit TForm(std::string className);
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    const std::string& ClassName() const { return className_; }
    HWND Handle();  // creates the window on first use (nullptr when that fails)
    bool HandleAllocated() const { return window_ != nullptr; }

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
    // frees the form afterwards.
    int ShowModal();
    int ModalResult = 0;

    void SetColor(TColor color);
    TColor Color() const { return color_; }
    void SetCaption(const std::string& caption);

    // Free values that the owner of a form may set, as the class library's forms carry them.
    int Tag = 0;
    int HelpContext = 0;

protected:
    virtual void CreateParams(TCreateParams& params) {}
    virtual void OnCreate() {}  // the window exists
    virtual void OnClose(TCloseAction& action) {}
    virtual void OnDestroy() {}  // the window is going
    // Every message of the window; return true when handled, with `result` set.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) { return false; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    std::string className_;
    HWND window_ = nullptr;
    TColor color_ = clBtnFace;
    UniqueGdiObject brush_;
    int showCommand_ = SW_SHOW;
    bool releasing_ = false;
};

using TFormFactory = std::function<std::unique_ptr<TForm>()>;

// The registry of form classes by name.
void RegisterFormClass(const std::string& className, TFormFactory factory);
void UnregisterFormClass(const std::string& className);
bool IsFormClassRegistered(const std::string& className);

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

}  // namespace gui
