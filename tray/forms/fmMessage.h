#pragma once
// The notification pop-up TfmMessage: a small borderless, semi-transparent
// window just above the taskbar at the notification-area end, that stacks
// with other pop-ups, may close itself after some seconds and may offer a yes
// and a no label. It is given its record and two callbacks when it is made:
// its answer goes to the first, and its closing to the second, upon which a
// yes is acted on.
//
// The placement, the stack and the answer rules are plain functions so that
// they can be checked without a window.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <string>

#include "qvApplication.h"
#include "qvForms.h"
#include "qvJpeg.h"
#include "uNotifyRecord.h"
#include "uPopupOwner.h"

constexpr int kPopupWidth = 401;
constexpr int kPopupHeight = 139;
constexpr int kPopupStep = 139;   // from one place of the stack to the next
constexpr int kPopupPlaces = 5;   // places 0-4; the sixth goes back to 0
constexpr BYTE kPopupAlpha = 210;
constexpr int kPopupCorner = 20;  // ellipse of the rounded corners

// The edge of the screen the taskbar's window rectangle lies on.
int TaskbarEdge(const RECT& window, int screenWidth, int screenHeight);
// Top-left corner of a pop-up at place `place` of the stack. Without a
// usable taskbar every pop-up is centred on `desktop`.
POINT PopupPosition(const TTaskbarMeasure& bar, int width, int height, int place, const RECT& desktop);

void MeasureTaskbar();
TTaskbarMeasure TaskbarMeasure();
// The next pop-up measures the taskbar again (tests; a moved taskbar).
void ForgetTaskbarMeasure();

// The place of a new pop-up, counted open.
int TakePopupPlace(TPopupStack& stack);
// A pop-up closed; the last one to close lets the next start next to the taskbar.
void ReleasePopupPlace(TPopupStack& stack);

// What the user did with a pop-up.
enum class TPopupAction { Yes, No, Cross, TimeOut };
struct TPopupAnswer {
    bool Send = false;  // the answer goes back...
    int32_t Kind = 0;   // ...with this kind
    bool Yes = false;   // ...as a yes
    int32_t NewTag = 0;
    bool ClearConfirmation = false;  // the killer confirmation is no longer pending
    bool KeepValue = false;          // the pop-up's value becomes the answered value
};
TPopupAnswer PopupAnswer(int32_t tag, TPopupAction action);

// Form colours by style: 0 red, 1 green, 2 purple, other green.
TColor PopupColor(int style);

class TfmMessage : public gui::TForm, public TPopupWindow {
public:
    TfmMessage();
    void Present(const TNotifyRecord& record, TPopupCallbacks callbacks) override;

    // What the pop-up shows, for tests and for the accessibility text.
    const std::string& CaptionText() const { return caption_; }
    const std::string& Text(int index) const { return texts_[index]; }  // 0-3
    bool ButtonsShown() const { return buttons_; }
    TColor YesColor() const { return yesColor_; }
    TColor NoColor() const { return noColor_; }
    UINT TimerInterval() const { return tmShow_.Interval(); }
    bool TimerEnabled() const { return tmShow_.Enabled(); }
    // Client rectangles of the parts a user points at.
    RECT YesRect() const { return yesRect_; }
    RECT NoRect() const { return noRect_; }
    RECT CrossRect() const { return crossRect_; }
    RECT LogoRect() const { return logoRect_; }
    RECT PanelRect() const { return panelRect_; }

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    enum class TPart { None, Yes, No, Cross, Panel };
    TPart PartAt(POINT client) const;
    void Layout(HDC dc);
    void Paint(HDC dc);
    void Answer(TPopupAction action);
    void SetHot(TPart part);
    void MouseDown(POINT client);
    void MouseMove(POINT client);
    void MouseUp(POINT client);

    TNotifyRecord values_;
    TPopupCallbacks callbacks_;
    std::string caption_;
    std::string texts_[4];
    std::string yesText_;
    std::string noText_;
    bool buttons_ = false;
    int seconds_ = 0;
    int place_ = 0;
    TColor yesColor_ = clWhite;
    TColor noColor_ = clWhite;
    TPart hot_ = TPart::None;
    TPart pressed_ = TPart::None;
    bool tracking_ = false;
    bool closing_ = false;
    bool dragging_ = false;
    POINT grab_{};
    RECT yesRect_{};
    RECT noRect_{};
    RECT crossRect_{};
    RECT logoRect_{};
    RECT panelRect_{};
    RECT captionRect_{};
    RECT textRects_[4]{};
    gui::TTimer tmShow_;
    TJpegPicture logo_;
    UniqueGdiObject captionFont_;
    UniqueGdiObject textFont_;
    UniqueGdiObject boldTextFont_;
    UniqueGdiObject buttonFont_;
};

// Registers TfmMessage with the form classes (at program start).
void RegisterMessageForm();
