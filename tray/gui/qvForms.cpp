#include "qvForms.h"

#include <algorithm>

#include "qvApplication.h"
#include "qvFrame.h"

namespace gui {

namespace {

// Pop-ups take input whatever dialog is open.
constexpr const char* kPopupClassName = "TfmMessage";

bool KeepsInputDuringModal(const TForm& form) { return form.ClassName() == kPopupClassName; }

bool RegisterWindowClass(const std::string& name, WNDPROC proc)
{
    WNDCLASSEXA existing{sizeof(existing)};
    if (GetClassInfoExA(Instance(), name.c_str(), &existing)) return true;
    WNDCLASSEXA windowClass{sizeof(windowClass)};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = proc;
    windowClass.hInstance = Instance();
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.lpszClassName = name.c_str();
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

TForm::TForm(std::string className) : className_(std::move(className))
{
    serial_ = ++Frame().LastFormSerial;
}

TForm::~TForm()
{
    // Normally gone already (FreeForm destroys the window first); a form
    // deleted some other way still loses its window, and its controls after it.
    DestroyHandle();
    DestroyControls();
}

void TForm::DestroyHandle()
{
    if (window_) DestroyWindow(window_);  // clears window_ through WM_NCDESTROY
    window_ = nullptr;
}

void TForm::SetOwnerWindow(HWND owner)
{
    owner_ = owner;
    if (window_) SetWindowLongPtrA(window_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
}

HFONT TForm::ContainerFont()
{
    if (!font_) font_ = MakeFont(TFontDesc{});
    return static_cast<HFONT>(font_.Get());
}

HWND TForm::Handle()
{
    if (window_) return window_;
    if (!RegisterWindowClass(className_, &TForm::WindowProc)) return nullptr;
    TCreateParams params;
    CreateParams(params);
    showCommand_ = params.ShowCommand;
    font_ = MakeFont(params.Font);
    minWidth_ = params.MinWidth;
    minHeight_ = params.MinHeight;
    if (params.Owner) owner_ = params.Owner;
    RECT frame{0, 0, params.Width, params.Height};
    AdjustWindowRectEx(&frame, params.Style, FALSE, params.ExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    int left = params.Left;
    int top = params.Top;
    if (params.CenterOnDesktop) {
        RECT desktop{};
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
        left = desktop.left + (desktop.right - desktop.left - width) / 2;
        top = desktop.top + (desktop.bottom - desktop.top - height) / 2;
    }
    CreateWindowExA(params.ExStyle | WS_EX_CONTROLPARENT, className_.c_str(), params.Caption.c_str(), params.Style,
                    left, top, width, height, owner_ ? owner_ : ApplicationWindow(), nullptr, Instance(), this);
    if (window_) OnCreate();
    if (window_) Realign();
    return window_;
}

void TForm::Show()
{
    HWND window = Handle();
    if (!window) return;
    if (!IsWindowVisible(window) && !RunOnShow()) return;
    if (window_) ShowWindow(window_, showCommand_);
}

bool TForm::RunOnShow()
{
    ++busy_;
    OnShow();
    --busy_;
    if (!freePending_) return true;
    // Freed while it was showing (a dialog of OnShow let other code run): now.
    freePending_ = false;
    releasing_ = false;
    Hide();
    Release();
    return false;
}

void TForm::Hide()
{
    if (window_) ShowWindow(window_, SW_HIDE);
}

bool TForm::Visible() const { return window_ && IsWindowVisible(window_); }

void TForm::BringToFront()
{
    if (!Handle()) return;
    if (!IsWindowVisible(window_) && !RunOnShow()) return;
    if (!window_) return;
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

void TForm::Close()
{
    TCloseAction action = TCloseAction::Hide;
    OnClose(action);
    if (action == TCloseAction::None) return;
    Hide();
    if (action == TCloseAction::Free) Release();
}

void TForm::Release()
{
    if (releasing_) return;
    releasing_ = true;
    TForm* self = this;
    const uint64_t serial = serial_;
    auto freeIfStillThisForm = [self, serial] {
        if (FormExists(self) && self->serial_ == serial) FreeForm(self);
    };
    if (!PostToMainThread(freeIfStillThisForm)) releasing_ = false;
}

int TForm::ShowModal()
{
    ModalResult = 0;
    std::vector<HWND> disabled;
    for (TForm* form : LiveForms())
        if (form != this && form->window_ && !KeepsInputDuringModal(*form) && IsWindowEnabled(form->window_)) {
            EnableWindow(form->window_, FALSE);
            disabled.push_back(form->window_);
        }
    Show();
    HWND self = window_;
    // The form may free itself while closing: look at it only while it lives.
    while (self && FormExists(this) && ModalResult == 0 && IsWindowVisible(self)) {
        MSG message;
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(message.wParam));  // for the loop that owns it
            break;
        }
        if (got == -1) break;
        if (HandleDialogMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    for (HWND window : disabled)
        if (IsWindow(window)) EnableWindow(window, TRUE);
    if (!FormExists(this)) return IDCANCEL;
    if (ModalResult == 0) ModalResult = IDCANCEL;
    if (Visible()) Close();
    return ModalResult;
}

void TForm::SetColor(TColor color)
{
    color_ = color;
    brush_.Reset();
    if (window_) InvalidateRect(window_, nullptr, TRUE);
}

void TForm::SetCaption(const std::string& caption)
{
    if (Handle()) SetWindowTextA(window_, caption.c_str());
}

TForm* TForm::FromHandle(HWND window)
{
    if (!window || reinterpret_cast<WNDPROC>(GetWindowLongPtrA(window, GWLP_WNDPROC)) != &TForm::WindowProc)
        return nullptr;
    return reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK TForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    TForm* form = nullptr;
    if (message == WM_NCCREATE) {
        form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (!form) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = form->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        form->window_ = nullptr;
    }
    return result;
}

LRESULT TForm::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnMessage(message, wParam, lParam, result)) return result;
    if (RouteControlMessage(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_CLOSE: Close(); return 0;
    case WM_SIZE: Realign(); break;
    case WM_GETMINMAXINFO:
        if (minWidth_ > 0 || minHeight_ > 0) {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = std::max<LONG>(info->ptMinTrackSize.x, minWidth_);
            info->ptMinTrackSize.y = std::max<LONG>(info->ptMinTrackSize.y, minHeight_);
            return 0;
        }
        break;
    case WM_DESTROY: OnDestroy(); break;
    case WM_ERASEBKGND: {
        if (!brush_) brush_ = MakeSolidBrush(color_);
        RECT client;
        GetClientRect(window_, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(brush_.Get()));
        return 1;
    }
    default: break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void RegisterFormClass(const std::string& className, TFormFactory factory)
{
    Frame().FormClasses[className] = std::move(factory);
}

void UnregisterFormClass(const std::string& className) { Frame().FormClasses.erase(className); }

TForm* CreateForm(const std::string& className)
{
    auto it = Frame().FormClasses.find(className);
    if (it == Frame().FormClasses.end() || !it->second) return nullptr;
    std::unique_ptr<TForm> form = it->second();
    if (!form) return nullptr;
    Frame().Forms.push_back(std::move(form));
    return Frame().Forms.back().get();
}

TForm* FindForm(const std::string& className)
{
    for (auto& form : Frame().Forms)
        if (form->ClassName() == className) return form.get();
    return nullptr;
}

bool FormExists(const TForm* form)
{
    return std::any_of(Frame().Forms.begin(), Frame().Forms.end(), [form](const auto& f) { return f.get() == form; });
}

std::vector<TForm*> LiveForms()
{
    std::vector<TForm*> list;
    for (auto& form : Frame().Forms) list.push_back(form.get());
    return list;
}

void FreeForm(TForm* form)
{
    auto& forms = Frame().Forms;
    auto it = std::find_if(forms.begin(), forms.end(), [form](const auto& f) { return f.get() == form; });
    if (it == forms.end()) return;
    if (form->busy_ > 0) {  // its OnShow is still on the stack
        form->freePending_ = true;
        return;
    }
    // The window goes while the whole form lives: its OnDestroy is the derived one.
    form->DestroyHandle();
    it = std::find_if(forms.begin(), forms.end(), [form](const auto& f) { return f.get() == form; });
    if (it == forms.end()) return;
    std::unique_ptr<TForm> owned = std::move(*it);
    forms.erase(it);
    owned.reset();  // after the list no longer names it: its destructor may look at the list
}

void FreeAllForms()
{
    while (!Frame().Forms.empty()) FreeForm(Frame().Forms.back().get());
}

bool HandleDialogMessage(MSG& message)
{
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST || !message.hwnd) return false;
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    TForm* form = TForm::FromHandle(root);
    if (!form) return false;
    if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_ESCAPE)) {
        HWND focus = GetFocus();
        const UINT code = focus ? static_cast<UINT>(SendMessageA(focus, WM_GETDLGCODE, message.wParam,
                                                                 reinterpret_cast<LPARAM>(&message)))
                                : 0;
        TControl* control = TControl::FromHandle(focus);
        if (!control && focus) control = TControl::FromHandle(GetParent(focus));  // the edit of a combo box
        const bool takesKey = (code & DLGC_WANTALLKEYS) || (code & DLGC_WANTMESSAGE) ||
                              (control && control->OnKeyDown && message.wParam == VK_RETURN);
        if (takesKey) return false;
        TButton* button = message.wParam == VK_RETURN ? form->DefaultButton : form->CancelButton;
        // Enter on a focused push button presses that one.
        if (message.wParam == VK_RETURN && (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)))
            if (auto* focused = dynamic_cast<TButton*>(control)) button = focused;
        if (button && button->Handle()) {
            button->Click();
            return true;
        }
    }
    return IsDialogMessageA(root, &message) != FALSE;
}

}  // namespace gui
