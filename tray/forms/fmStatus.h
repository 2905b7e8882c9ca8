#pragma once
// TfmStatusForm: the tray's main window. It rates how much of each of the
// five protection areas is switched on (a percentage with a traffic-light
// colour, asked afresh from the service at every activation), jumps to the
// area's settings page on a click, and offers buttons for the other windows
// and for stopping the protection. At most one exists; the form manager
// opens it, and it frees itself once closed, so the next one reads every
// text again. Main thread only; each rating blocks it while the service
// answers (about 20 requests).
#include <array>
#include <string>

#include "qvControls.h"
#include "qvForms.h"
#include "qvPageControl.h"
#include "uStatusRating.h"

constexpr int kStatusClientWidth = 565;
constexpr int kStatusClientHeight = 413;
constexpr int kStatusAreaWidth = 231;
constexpr int kStatusPercentWidth = 49;
constexpr int kStatusRowHeight = 25;

// The maker's addresses and the OEM defaults, kept scrambled in the program.
std::string StatusHomePage();
std::string StatusManualPage();
// The OEM notice shown when `OEMinfo` is answered empty: one for the Russian
// language file (any letter case), one for every other.
std::string DefaultOemInfo(const std::string& languageSetting);
std::string DefaultOemUrl();

class TfmStatusForm : public gui::TForm {
public:
    TfmStatusForm();

    // The rows of the rating, in the order of kRatingOrder.
    struct TAreaRow {
        gui::TPanel* Area = nullptr;
        gui::TPanel* Percent = nullptr;
    };
    const TAreaRow& Row(TRatingArea area) const { return rows_[static_cast<size_t>(area)]; }
    int Ratings() const { return ratings_; }  // ratings taken so far

    gui::TPanel* pnTop = nullptr;
    gui::TImage* imLogo = nullptr;
    gui::TLabel* lbName = nullptr;
    gui::TLabel* lbVer = nullptr;
    gui::TLabel* lbOemInfo = nullptr;
    gui::TLabel* lbOemUrl = nullptr;
    gui::TGroupBox* gbGuards = nullptr;
    gui::TGroupBox* gbTools = nullptr;
    gui::TButton* btEvents = nullptr;
    gui::TButton* btTrust = nullptr;
    gui::TButton* btAutorun = nullptr;
    gui::TButton* btSetting = nullptr;
    gui::TButton* btFirst = nullptr;
    gui::TButton* btHostsShow = nullptr;
    gui::TButton* btStop = nullptr;
    gui::TButton* btHome = nullptr;
    gui::TButton* btHelp = nullptr;
    gui::TStatusBar* sbStat = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void MakeTop();
    void MakeGuards();
    void MakeTools();
    void initForm();
    void InitOemLabels();
    void getProc();
    void ShowRating(TRatingArea area, const TRating& rating);
    void lbOemUrlClick();

    std::array<TAreaRow, 5> rows_{};
    TRatingGate gate_;
    int ratings_ = 0;
};

void RegisterStatusForm();
