#include "frAbout.h"

#include "fmSetting.h"
#include "qvJpeg.h"
#include "uLangUtils.h"
#include "uTrayApplication.h"

namespace {

constexpr int kLogoHeight = 140;
constexpr int kEggHeight = 42;
constexpr int kGameWidth = 219;
constexpr int kTileSize = 46;
constexpr UINT kEggTickMs = 500;

gui::TImage* MakePicture(gui::TContainer& parent, const char* resource)
{
    gui::TImage* image = parent.Make<gui::TImage>();
    TJpegPicture picture;
    if (LoadJpegResource(nullptr, resource, picture)) image->SetPicture(picture.Release());
    image->SetStretch(true);
    return image;
}

void MakeLine(gui::TContainer& parent, gui::TAlign align)
{
    gui::TPanel* line = parent.Make<gui::TPanel>();
    line->SetColor(clGray);
    line->SetBounds(0, 0, 10, 2);
    line->SetAlign(align);
}

}  // namespace

bool PuzzleSolved() { return TrayApp().Session.PuzzleSolved; }

TfrmAbout::TfrmAbout(gui::TContainer& host) : TSettingsPage(host)
{
    pnMain = Body->Make<gui::TPanel>();
    pnMain->SetAlign(gui::TAlign::Client);
    pnMain->SetColor(clBlack);
    pnMain->SetBevel(gui::TBevel::Lowered, 4);

    imLogo = MakePicture(*pnMain, "STATUS");
    imLogo->SetBounds(0, 0, 10, kLogoHeight);
    imLogo->SetAlign(gui::TAlign::Top);
    MakeLine(*pnMain, gui::TAlign::Top);

    lbNotice = pnMain->Make<gui::TLabel>(kMakerNotice);
    lbNotice->SetAutoSize(false);
    lbNotice->SetAlignment(gui::TAlignment::Center);
    lbNotice->SetColor(clBlack);
    lbNotice->SetFontColor(clSilver);
    lbNotice->SetBounds(0, 0, 10, 16);
    lbNotice->SetAlign(gui::TAlign::Bottom);
    meAbout = MakePicture(*pnMain, "LOGO");
    meAbout->SetBounds(0, 0, 10, kEggHeight);
    meAbout->SetAlign(gui::TAlign::Bottom);
    meAbout->OnDblClick = [this] { imEggDblClick(); };
    MakeLine(*pnMain, gui::TAlign::Bottom);

    pnGame = pnMain->Make<gui::TPanel>();
    pnGame->SetBounds(0, 0, kGameWidth, 10);
    pnGame->SetAlign(gui::TAlign::Left);
    pnGame->SetColor(clGray);
    imMe = MakePicture(*pnGame, "ABOUT");
    imMe->SetAlign(gui::TAlign::Client);
    imMe->OnClick = [this] { imMeClick(); };
    pnGame->SetVisible(false);

    meAboutMain = pnMain->Make<gui::TMemo>(gui::TScrollStyle::None, false, gui::TAlignment::Center);
    meAboutMain->SetAlign(gui::TAlign::Client);
    meAboutMain->SetReadOnly(true);
    meAboutMain->SetColor(clGray);
    meAboutMain->SetFontColor(clSilver);
    meAboutMain->SetFont({11, true});
    meAboutMain->SetCursor(IDC_HAND);

    tmEgg.SetInterval(kEggTickMs);
    tmEgg.OnTimer = [this] { tmEggTimer(); };
}

TfrmAbout::~TfrmAbout()
{
    tmEgg.SetEnabled(false);
    game_.reset();
}

void TfrmAbout::LoadPage()
{
    meAboutMain->Clear();
    meAboutMain->SetText(BarsToLineBreaks(GetLangText(kLangGui, "Ab_memo")));
}

void TfrmAbout::imEggDblClick()
{
    if (TrayApp().Session.PuzzleSolved) return;
    pnGame->SetVisible(!pnGame->Visible());
    imMe->SetVisible(false);
    if (pnGame->Visible())
        game_ = std::make_unique<TGame15>(*pnGame, kTileSize);
    else
        game_.reset();
    tmEgg.SetEnabled(pnGame->Visible());
}

void TfrmAbout::tmEggTimer()
{
    if (!game_ || !game_->IsSolved()) return;
    tmEgg.SetEnabled(false);
    game_.reset();
    imMe->SetVisible(true);
    TrayApp().Session.PuzzleSolved = true;
}

void TfrmAbout::imMeClick() { pnGame->SetVisible(false); }

void RegisterAboutPage()
{
    RegisterSettingsPage(kPageAbout, [](gui::TContainer& host) { return host.Make<TfrmAbout>(); });
}
