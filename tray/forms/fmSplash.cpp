#include "fmSplash.h"

#include <memory>

#include "uCommonUtils.h"
#include "uFormUtils.h"
#include "uLangUtils.h"

namespace {

constexpr TColor kSplashGrey = 0x808080;
constexpr int kVersionMargin = 8;

}  // namespace

TfmSplashForm::TfmSplashForm() : TForm(kSplashForm)
{
    tmShow_.SetInterval(1);
    tmWait_.SetInterval(TSplashFade::kHoldMs);
    tmHide_.SetInterval(1);
    tmShow_.OnTimer = [this] {
        if (fade_.TickIn()) {
            tmShow_.SetEnabled(false);
            tmWait_.SetEnabled(true);
        }
        ApplyAlpha();
    };
    tmWait_.OnTimer = [this] {
        tmWait_.SetEnabled(false);
        fade_.EndHold();
        tmHide_.SetEnabled(true);
    };
    tmHide_.OnTimer = [this] {
        if (fade_.TickOut()) {
            Close();
            return;
        }
        ApplyAlpha();
    };
}

void TfmSplashForm::CreateParams(gui::TCreateParams& params)
{
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TOOLWINDOW;
    params.Width = kSplashWidth;
    params.Height = kSplashHeight;
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    params.Left = (screenWidth - kSplashWidth) / 2;
    params.Top = (screenHeight - kSplashHeight) / 2;
    params.ShowCommand = SW_SHOWNA;
}

void TfmSplashForm::OnCreate()
{
    SetColor(kSplashGrey);
    version_ = GetLangText(kLangGui, "st_ver") + " " + GetVersionText();
    LoadJpegResource(nullptr, "SPLASH", picture_);
    font_ = MakeFont(11, true);
    HWND window = Handle();
    // The window owns the region once it is set.
    SetWindowRgn(window, CreateRoundRectRgn(0, 0, kSplashWidth + 1, kSplashHeight + 1, kSplashCorner, kSplashCorner),
                 FALSE);
    fade_.Start();
    ApplyAlpha();
    tmShow_.SetEnabled(true);
}

void TfmSplashForm::ApplyAlpha()
{
    if (HandleAllocated()) SetLayeredWindowAttributes(Handle(), 0, fade_.Alpha(), LWA_ALPHA);
}

void TfmSplashForm::StopTimers()
{
    tmShow_.SetEnabled(false);
    tmWait_.SetEnabled(false);
    tmHide_.SetEnabled(false);
}

void TfmSplashForm::OnClose(gui::TCloseAction& action)
{
    StopTimers();
    fade_.Close();
    action = gui::TCloseAction::Free;
}

void TfmSplashForm::Paint(HDC dc)
{
    RECT client{};
    GetClientRect(Handle(), &client);
    if (!picture_.Empty()) {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(memory, picture_.Bitmap());
        SetStretchBltMode(dc, HALFTONE);
        StretchBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, picture_.Width(), picture_.Height(), SRCCOPY);
        SelectObject(memory, old);
        DeleteDC(memory);
    }
    HGDIOBJ oldFont = SelectObject(dc, font_.Get());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, clSilver);
    RECT text = client;
    text.right -= kVersionMargin;
    text.bottom -= kVersionMargin;
    DrawTextA(dc, version_.c_str(), -1, &text, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, oldFont);
}

bool TfmSplashForm::OnMessage(UINT message, WPARAM, LPARAM, LRESULT& result)
{
    if (message != WM_PAINT) return false;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(Handle(), &paint);
    Paint(dc);
    EndPaint(Handle(), &paint);
    result = 0;
    return true;
}

void RegisterSplashForm()
{
    gui::RegisterFormClass(kSplashForm, [] { return std::make_unique<TfmSplashForm>(); });
}
