#pragma once
// Settings page 0, the about page TfrmAbout: the logo, the about text, and a
// picture at the bottom whose double click opens (and closes) the 15-puzzle.
// Solving it shows a reward picture and retires the puzzle until the tray
// ends; closing it unsolved discards the game, and the next opening deals a
// new board.
#include <memory>

#include "frSettingsPage.h"
#include "qvApplication.h"
#include "uGame15.h"

class TfrmAbout : public TSettingsPage {
public:
    explicit TfrmAbout(gui::TContainer& host);
    ~TfrmAbout() override;
    void LoadPage() override;
    // The about page has nothing to protect.
    void ApplyLock(bool) override {}

    gui::TPanel* pnGame = nullptr;
    gui::TImage* imMe = nullptr;
    gui::TMemo* meAboutMain = nullptr;
    gui::TImage* meAbout = nullptr;
    TGame15* CurrentGame() const { return game_.get(); }
    bool EggTimerRunning() const { return tmEgg.Enabled(); }

private:
    void imEggDblClick();
    void tmEggTimer();
    void imMeClick();

    gui::TPanel* pnMain = nullptr;
    gui::TImage* imLogo = nullptr;
    gui::TLabel* lbNotice = nullptr;
    std::unique_ptr<TGame15> game_;
    gui::TTimer tmEgg;
};

// True once the puzzle was solved in this run of the tray.
bool PuzzleSolved();

void RegisterAboutPage();
