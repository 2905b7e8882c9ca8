#pragma once
// TfmRepProp: one event of the report, with where and when it happened and
// its path; "Show" opens the file in Explorer or, for a quarantined hosts
// copy, asks for the hosts manager on a copy of it. One window at a time:
// showing another row brings the open one to the front with that row.
// Stays on top; frees itself once closed. Main thread only.
#include <string>

#include "qvControls.h"
#include "qvForms.h"
#include "uMailSlots.h"

constexpr int kReportPropWidth = 460;
constexpr int kReportPropHeight = 190;

// Shows the row in the properties window, opening it (centred on `over`)
// when none is open.
void ShowReportProperties(const TMSlotMessage& row, HWND over);

class TfmRepProp : public gui::TForm {
public:
    TfmRepProp();

    void SetRow(const TMSlotMessage& row);
    const TMSlotMessage& Row() const { return row_; }
    void btGotoClick();
    // The name of the last hosts copy handed to the service (empty when none).
    const std::string& HostsCopyName() const { return hostsCopy_; }

    gui::TGroupBox* gbShells = nullptr;
    gui::TLabel* lbSource = nullptr;
    gui::TLabel* lbFrom = nullptr;
    gui::TLabel* lbEvent = nullptr;
    gui::TLabel* lbHappen = nullptr;
    gui::TLabel* lbTime = nullptr;
    gui::TLabel* lbDTime = nullptr;
    gui::TLabel* lbPath = nullptr;  // the caption of the labelled edit
    gui::TEdit* lePath = nullptr;
    gui::TButton* btGoto = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    void ShowHostsCopy(const std::string& jailed);

    TMSlotMessage row_{};
    std::string hostsCopy_;
};

void RegisterReportPropForm();
