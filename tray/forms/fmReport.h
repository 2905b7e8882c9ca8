#pragma once
// TfmReportFrm: the event report. It asks the service for its report
// (Type 17) and lists the rows as the receiver stores them (TrayApp().ReportRows, a
// virtual list: only the count goes to the list view, the texts are made
// when a row is drawn). A double click or Enter on a row shows it in the one
// properties window. Clear asks the service to delete the report (Type 41)
// and loads again. Every Load starts a fresh list: rows still coming from an
// earlier dump are dropped, and a dump that stops part-way keeps what came,
// the status saying so. The form frees itself once closed. Main thread only.
#include <string>

#include "qvApplication.h"
#include "qvForms.h"
#include "qvListControls.h"
#include "qvMenus.h"
#include "qvPageControl.h"
#include "uMailSlots.h"

constexpr int kReportClientWidth = 935;
constexpr int kReportClientHeight = 448;

// The texts of a row's columns: time, event kind, message id, path.
std::string ReportColumnText(const TMSlotMessage& row, int column);

class TfmReportFrm : public gui::TForm {
public:
    TfmReportFrm();
    ~TfmReportFrm() override;

    void Load();
    void mnClearClick();
    void mnRefreshClick();
    // Shows the selected row in the properties window (nothing without one).
    void OpenProperties();

    gui::TListView* lvReport = nullptr;
    gui::TStatusBar* sbReport = nullptr;
    gui::TMenuItem* mnClear = nullptr;
    gui::TMenuItem* mnRefresh = nullptr;
    gui::TMenuItem* mnExit = nullptr;

protected:
    void CreateParams(gui::TCreateParams& params) override;
    void OnCreate() override;
    void OnClose(gui::TCloseAction& action) override;

private:
    void RowsChanged();
    void ShowRows();

    gui::TMainMenu mmReport;
    // While a dump arrives the list and the status follow at most every
    // kReportRedrawMs (thousands of rows come in a second); once it is in,
    // at once.
    gui::TTimer tmRedraw_;
    gui::TTimer tmStall_;  // looks for a dump that stopped part-way
    DWORD lastShown_ = 0;
    int shownDump_ = 0;
    bool hourglass_ = false;
};

constexpr DWORD kReportRedrawMs = 100;

void RegisterReportForm();
