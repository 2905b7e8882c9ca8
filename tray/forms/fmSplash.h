#pragma once
// TfmSplashForm: the picture shown at the tray's start, a borderless
// rounded window in the middle of the desktop that fades in, stays a second
// and fades out, then frees itself. Its three timers stop when it closes.
#include <windows.h>

#include "qvApplication.h"
#include "qvForms.h"
#include "qvJpeg.h"
#include "uSplashFade.h"

constexpr int kSplashWidth = 448;
constexpr int kSplashHeight = 207;
constexpr int kSplashCorner = 20;

class TfmSplashForm : public gui::TForm {
public:
    TfmSplashForm();

    const TSplashFade& Fade() const { return fade_; }

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ApplyAlpha();
    void StopTimers();
    void Paint(HDC dc);

    TSplashFade fade_;
    gui::TTimer tmShow_;
    gui::TTimer tmWait_;
    gui::TTimer tmHide_;
    TJpegPicture picture_;
    UniqueGdiObject font_;
    std::string version_;
};

void RegisterSplashForm();
