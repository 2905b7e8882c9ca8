#include "fmMessage.h"

#include <windowsx.h>

#include "uFormUtils.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"
#include "uTrayModels.h"

namespace {

constexpr int kPanelWidth = 52;
constexpr int kTextLeft = 0;
constexpr int kTextRight = kPopupWidth - kPanelWidth;
constexpr int kCaptionTop = 6;
constexpr int kFirstTextTop = 26;
constexpr int kTextPitch = 20;
constexpr int kButtonsTop = 108;
constexpr int kYesLeft = 128;
constexpr int kNoLeft = 204;
constexpr int kCrossSize = 16;
constexpr int kLogoSize = 44;
constexpr int kKillerKind = proto::kAnswerKiller;

RECT MakeRect(int left, int top, int width, int height) { return RECT{left, top, left + width, top + height}; }

RECT DesktopRect()
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace

int TaskbarEdge(const RECT& window, int screenWidth, int screenHeight)
{
    if (window.top > 0) return teBottom;
    if (screenHeight > window.bottom) return teTop;
    if (screenWidth > window.right) return teLeft;
    return teRight;
}

POINT PopupPosition(const TTaskbarMeasure& bar, int width, int height, int place, const RECT& desktop)
{
    if (!bar.Found)
        return POINT{desktop.left + (desktop.right - desktop.left - width) / 2,
                     desktop.top + (desktop.bottom - desktop.top - height) / 2};
    const RECT& w = bar.Window;
    const int shift = place * kPopupStep;
    switch (bar.Edge) {
    case teTop: return POINT{w.right - width - 4, bar.ClientHeight + 5 + shift};
    case teLeft: return POINT{bar.ClientWidth + 9, w.bottom - height - 5 - shift};
    case teRight: return POINT{w.right - width - bar.ClientWidth - 4, w.bottom - height - 4 - shift};
    default: return POINT{w.right - width - 4, w.bottom - height - bar.ClientHeight - 4 - shift};
    }
}

void MeasureTaskbar()
{
    // Measured again while none was found: the first pop-up may come before
    // the shell has made its taskbar (at logon).
    if (TrayApp().Popups.Taskbar.Measured && TrayApp().Popups.Taskbar.Found) return;
    TTaskbarMeasure bar;
    if (HWND window = FindWindowA("Shell_TrayWnd", nullptr)) {
        RECT client{};
        GetClientRect(window, &client);
        GetWindowRect(window, &bar.Window);
        bar.ClientWidth = client.right - client.left;
        bar.ClientHeight = client.bottom - client.top;
        // A program outside a desktop with a shell sees a taskbar window with
        // an empty rectangle: nothing to place pop-ups by.
        bar.Found = !IsRectEmpty(&bar.Window);
        bar.Edge = TaskbarEdge(bar.Window, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    }
    bar.Measured = true;
    TrayApp().Popups.Taskbar = bar;
}

TTaskbarMeasure TaskbarMeasure() { return TrayApp().Popups.Taskbar; }

void ForgetTaskbarMeasure() { TrayApp().Popups.Taskbar = TTaskbarMeasure{}; }

int TakePopupPlace(TPopupStack& stack)
{
    if (stack.Next >= kPopupPlaces) stack.Next = 0;
    const int place = stack.Next;
    ++stack.Next;
    ++stack.Open;
    return place;
}

void ReleasePopupPlace(TPopupStack& stack)
{
    if (stack.Open > 0) --stack.Open;
    if (stack.Open == 0) stack.Next = 0;
}

TPopupAnswer PopupAnswer(int32_t tag, TPopupAction action)
{
    const bool killer = tag == kKillerKind;
    TPopupAnswer answer;
    answer.NewTag = tag;
    switch (action) {
    case TPopupAction::Yes:
        // The killer confirmation's yes cancels: it answers as kind 0.
        if (killer) answer.NewTag = proto::kAnswerNone;
        answer.ClearConfirmation = killer;
        answer.KeepValue = true;
        answer.Send = true;
        answer.Kind = answer.NewTag;
        answer.Yes = true;
        break;
    case TPopupAction::No:
        answer.Send = true;
        answer.Kind = killer ? kKillerKind : proto::kAnswerNone;
        break;
    case TPopupAction::Cross: answer.ClearConfirmation = killer; break;
    case TPopupAction::TimeOut:
        if (killer) {
            answer.Send = true;
            answer.Kind = kKillerKind;
            answer.Yes = true;
            answer.ClearConfirmation = true;
        }
        break;
    }
    return answer;
}

TColor PopupColor(int style)
{
    switch (style) {
    case nsWarning: return clRed;
    case nsPlain: return clPurple;
    default: return clGreen;
    }
}

TfmMessage::TfmMessage() : TForm(kMessageForm)
{
    ResetNotifyRecord(values_);
    tmShow_.OnTimer = [this] { Answer(TPopupAction::TimeOut); };
}

void TfmMessage::Present(const TNotifyRecord& record, TPopupCallbacks callbacks)
{
    values_ = record;
    callbacks_ = std::move(callbacks);
}

void TfmMessage::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_LAYERED;
    params.Width = kPopupWidth;
    params.Height = kPopupHeight;
    params.Left = 0;
    params.Top = 0;
    // a pop-up must not take the keyboard from what the user is doing
    params.ShowCommand = SW_SHOWNOACTIVATE;
}

void TfmMessage::OnCreate()
{
    HWND window = Handle();
    yesText_ = GetLangText(kLangGui, "fm_yes");
    noText_ = GetLangText(kLangGui, "fm_no");

    const TNotifyRecord& values = values_;
    switch (values.Style) {
    case nsWarning: caption_ = GetLangText(kLangGui, "fm_warn"); break;
    case nsInformation: caption_ = GetLangText(kLangGui, "im_info"); break;
    default: caption_.clear(); break;
    }
    SetColor(PopupColor(values.Style));
    texts_[0] = values.Text1.Str();
    texts_[1] = values.Text2.Str();
    texts_[2] = values.Text3.Str();
    texts_[3] = values.Text4.Str();
    buttons_ = values.Buttons;
    seconds_ = values.Seconds;
    if (seconds_ > 0) {
        tmShow_.SetInterval(static_cast<UINT>(seconds_) * 1000);
        tmShow_.SetEnabled(true);
    }

    // The texts as the window's text, for screen readers.
    std::string title = caption_;
    for (const std::string& text : texts_)
        if (!text.empty()) title += (title.empty() ? "" : "\n") + text;
    SetWindowTextA(window, title.c_str());

    captionFont_ = MakeFont(13, true);
    textFont_ = MakeFont(12);
    boldTextFont_ = MakeFont(12, true);
    buttonFont_ = MakeFont(16, true);
    LoadJpegResource(nullptr, "LOGO", logo_);
    if (HDC dc = GetDC(window)) {
        Layout(dc);
        ReleaseDC(window, dc);
    }

    MeasureTaskbar();
    place_ = TakePopupPlace(TrayApp().Popups.Stack);
    const POINT at = PopupPosition(TrayApp().Popups.Taskbar, kPopupWidth, kPopupHeight, place_, DesktopRect());
    SetWindowPos(window, HWND_TOPMOST, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    SetLayeredWindowAttributes(window, 0, kPopupAlpha, LWA_ALPHA);
    SetWindowRgn(window, CreateRoundRectRgn(0, 0, kPopupWidth, kPopupHeight, kPopupCorner, kPopupCorner), TRUE);
}

void TfmMessage::Layout(HDC dc)
{
    captionRect_ = MakeRect(kTextLeft, kCaptionTop, kTextRight - kTextLeft, 16);
    for (int i = 0; i < 4; ++i)
        textRects_[i] = MakeRect(kTextLeft, kFirstTextTop + i * kTextPitch, kTextRight - kTextLeft, 16);
    // The labels are as wide as their texts.
    HGDIOBJ old = SelectObject(dc, buttonFont_.Get());
    SIZE size{};
    GetTextExtentPoint32A(dc, yesText_.c_str(), static_cast<int>(yesText_.size()), &size);
    yesRect_ = MakeRect(kYesLeft, kButtonsTop, size.cx, size.cy);
    GetTextExtentPoint32A(dc, noText_.c_str(), static_cast<int>(noText_.size()), &size);
    noRect_ = MakeRect(kNoLeft, kButtonsTop, size.cx, size.cy);
    SelectObject(dc, old);
    panelRect_ = RECT{kTextRight, 0, kPopupWidth, kPopupHeight};
    crossRect_ = MakeRect(kTextRight + (kPanelWidth - kCrossSize) / 2, 10, kCrossSize, kCrossSize);
    logoRect_ = MakeRect(kTextRight + (kPanelWidth - kLogoSize) / 2, (kPopupHeight - kLogoSize) / 2 + 8, kLogoSize,
                         kLogoSize);
}

void TfmMessage::Paint(HDC dc)
{
    UniqueGdiObject black = MakeSolidBrush(clBlack);
    FillRect(dc, &panelRect_, static_cast<HBRUSH>(black.Get()));
    if (!logo_.Empty()) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, logo_.Bitmap());
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, logoRect_.left, logoRect_.top, kLogoSize, kLogoSize, memory, 0, 0, logo_.Width(),
                   logo_.Height(), SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    // The close mark: a white cross.
    {
        UniqueGdiObject pen(CreatePen(PS_SOLID, 3, clWhite));
        HGDIOBJ old = SelectObject(dc, pen.Get());
        const RECT& c = crossRect_;
        MoveToEx(dc, c.left + 2, c.top + 2, nullptr);
        LineTo(dc, c.right - 3, c.bottom - 3);
        MoveToEx(dc, c.right - 3, c.top + 2, nullptr);
        LineTo(dc, c.left + 2, c.bottom - 3);
        SelectObject(dc, old);
    }

    SetBkMode(dc, TRANSPARENT);
    auto text = [dc](const std::string& s, RECT r, HGDIOBJ font, TColor color, UINT format) {
        if (s.empty()) return;
        HGDIOBJ old = SelectObject(dc, font);
        SetTextColor(dc, color);
        DrawTextA(dc, s.c_str(), static_cast<int>(s.size()), &r, format | DT_SINGLELINE | DT_NOPREFIX);
        SelectObject(dc, old);
    };
    text(caption_, captionRect_, captionFont_.Get(), clWhite, DT_CENTER);
    for (int i = 0; i < 4; ++i)
        text(texts_[i], textRects_[i], i == 3 ? boldTextFont_.Get() : textFont_.Get(), clWhite, DT_CENTER);
    if (buttons_) {
        text(yesText_, yesRect_, buttonFont_.Get(), yesColor_, DT_LEFT);
        text(noText_, noRect_, buttonFont_.Get(), noColor_, DT_LEFT);
    }
}

TfmMessage::TPart TfmMessage::PartAt(POINT p) const
{
    if (buttons_ && PtInRect(&yesRect_, p)) return TPart::Yes;
    if (buttons_ && PtInRect(&noRect_, p)) return TPart::No;
    if (PtInRect(&crossRect_, p)) return TPart::Cross;
    if (PtInRect(&panelRect_, p)) return TPart::Panel;  // the logo lies on it
    return TPart::None;
}

void TfmMessage::SetHot(TPart part)
{
    hot_ = part;
    const TColor yes = part == TPart::Yes ? clBlack : clWhite;
    const TColor no = part == TPart::No ? clBlack : clWhite;
    if (yes == yesColor_ && no == noColor_) return;
    yesColor_ = yes;
    noColor_ = no;
    if (HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TfmMessage::MouseDown(POINT client)
{
    pressed_ = PartAt(client);
    if (pressed_ != TPart::Panel) return;
    // The black side panel carries the pop-up with the cursor.
    dragging_ = true;
    grab_ = client;
    SetCapture(Handle());
}

void TfmMessage::MouseMove(POINT client)
{
    if (dragging_) {
        POINT cursor{};
        GetCursorPos(&cursor);
        SetWindowPos(Handle(), nullptr, cursor.x - grab_.x, cursor.y - grab_.y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return;
    }
    SetHot(PartAt(client));
    if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, Handle(), 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
    }
}

void TfmMessage::MouseUp(POINT client)
{
    if (dragging_) {
        dragging_ = false;
        ReleaseCapture();
        pressed_ = TPart::None;
        return;
    }
    const TPart pressed = pressed_;
    pressed_ = TPart::None;
    if (pressed != PartAt(client)) return;  // a click is down and up on the same part
    switch (pressed) {
    case TPart::Yes: Answer(TPopupAction::Yes); break;
    case TPart::No: Answer(TPopupAction::No); break;
    case TPart::Cross: Answer(TPopupAction::Cross); break;
    default: break;
    }
}

void TfmMessage::Answer(TPopupAction action)
{
    if (closing_) return;
    tmShow_.SetEnabled(false);
    const TPopupAnswer answer = PopupAnswer(Tag, action);
    Tag = answer.NewTag;
    if (answer.ClearConfirmation) TrayApp().Popups.ConfirmationPending = false;
    if (answer.KeepValue) TrayApp().Popups.AnsweredValue = HelpContext;
    if (answer.Send && callbacks_.Answered) callbacks_.Answered(answer.Kind, answer.Yes);
    Close();
}

void TfmMessage::OnClose(gui::TCloseAction& action)
{
    if (closing_) {
        action = gui::TCloseAction::None;
        return;
    }
    closing_ = true;
    action = gui::TCloseAction::Free;
    tmShow_.SetEnabled(false);
    ReleasePopupPlace(TrayApp().Popups.Stack);
    if (Tag == kKillerKind) TrayApp().Popups.ConfirmationPending = false;  // the no label: the answer follows below
    if (TrayApp().Popups.ServicePopupPending.load()) TrayApp().Popups.ServicePopupPending = false;
    if (callbacks_.Closed) callbacks_.Closed();
}

bool TfmMessage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    const POINT client{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(Handle(), &paint);
        Paint(dc);
        EndPaint(Handle(), &paint);
        result = 0;
        return true;
    }
    case WM_MOUSEACTIVATE: result = MA_NOACTIVATE; return true;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            POINT cursor{};
            GetCursorPos(&cursor);
            ScreenToClient(Handle(), &cursor);
            const TPart part = PartAt(cursor);
            if (part == TPart::Yes || part == TPart::No || part == TPart::Cross) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                result = TRUE;
                return true;
            }
        }
        return false;
    case WM_LBUTTONDOWN: MouseDown(client); result = 0; return true;
    case WM_MOUSEMOVE: MouseMove(client); result = 0; return true;
    case WM_LBUTTONUP: MouseUp(client); result = 0; return true;
    case WM_MOUSELEAVE:
        tracking_ = false;
        SetHot(TPart::None);
        result = 0;
        return true;
    case WM_CAPTURECHANGED: dragging_ = false; return false;
    case WM_DESTROY:
        // Gone without closing (the end of the program): no longer open.
        if (!closing_) {
            ReleasePopupPlace(TrayApp().Popups.Stack);
            if (Tag == kKillerKind) TrayApp().Popups.ConfirmationPending = false;
        }
        closing_ = true;
        return false;
    default: return false;
    }
}

void RegisterMessageForm()
{
    gui::RegisterFormClass(kMessageForm, [] { return std::make_unique<TfmMessage>(); });
}
